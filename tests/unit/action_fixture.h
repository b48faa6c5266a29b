// A fresh state for the install actions: silent (no message box can stop a
// test), administrator, all users, an empty uninstall information file, and
// a unique name for registry keys and folders that the test cleans up.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "config/utilities.h"
#include "setup_fixture.h"

namespace ek::test {

class ActionTest : public SetupStateTest {
 protected:
  void SetUp() override {
    SetupStateTest::SetUp();
    LoadConfig(L"[Setup]\r\n");
    auto& s = State();
    s.UninstallIni = std::make_unique<IniDocument>();
    s.CreateUninstaller = true;
    s.Silent = true;
    s.IsAdmin = true;
    s.AllUsers = true;
    unique_ = L"EkTest" + NewGuidText();
  }

  // The values of a list section of the uninstall information, in key order.
  static std::vector<std::wstring> Entries(std::wstring_view section) {
    std::vector<std::wstring> out;
    const IniDocument::Section* sec = State().UninstallIni->GetSection(section);
    if (sec)
      for (const auto& e : sec->entries) out.push_back(e.value);
    return out;
  }
  static bool Logged(const std::wstring& line) {
    for (const auto& l : State().SetupLog)
      if (l == line) return true;
    return false;
  }
  static std::wstring LogText() {
    std::wstring out;
    for (const auto& l : State().SetupLog) out += l + L"\n";
    return out;
  }

  const std::wstring& unique() const { return unique_; }

 private:
  std::wstring unique_;
};

}  // namespace ek::test
