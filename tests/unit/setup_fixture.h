// A fresh SetupState per test, a configuration and a language file from INI
// text, and private folders below the temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

#include "base/result.h"
#include "core/setup_state.h"
#include "base/ini_document.h"
#include "base/text.h"
#include "platform/file_system.h"
#include "platform/system.h"

namespace ek::test {

// A folder of its own below the temporary folder; removed with its files.
class ScratchFolder {
 public:
  explicit ScratchFolder(std::wstring_view tag) {
    static int counter = 0;
    path_ = platform::TempFolder() + L"\\ektest-" + std::wstring(tag) + L"-" +
            ToText(platform::CurrentProcessId()) + L"-" + ToText(++counter);
    EXPECT_TRUE(platform::CreateDirectoryTree(path_));
  }
  ~ScratchFolder() {
    for (const auto& e : platform::ListDirectory(path_))
      if (!e.isDirectory) Ignore(platform::DeleteFileAt(path_ + L"\\" + e.name));
    Ignore(platform::RemoveDirectoryAt(path_));
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::wstring& path() const { return path_; }
  std::wstring Write(std::wstring_view name, std::wstring_view text, TextEncoding encoding = TextEncoding::Utf8Bom) const {
    const std::wstring file = path_ + L"\\" + std::wstring(name);
    EXPECT_TRUE(platform::WriteTextFile(file, text, encoding));
    return file;
  }

 private:
  std::wstring path_;
};

class SetupStateTest : public ::testing::Test {
 protected:
  void SetUp() override { State() = SetupState{}; }
  void TearDown() override { State() = SetupState{}; }

  static void LoadConfig(std::wstring_view ini) {
    auto doc = std::make_unique<IniDocument>();
    doc->Parse(ini);
    State().SetupConfig = std::move(doc);
  }
  static void LoadLanguageTexts(std::wstring_view ini) {
    auto doc = std::make_unique<IniDocument>();
    doc->Parse(ini);
    State().LanguageTexts = std::move(doc);
  }
};

}  // namespace ek::test
