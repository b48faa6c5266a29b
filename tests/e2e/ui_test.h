// The frame of the end-to-end tests that drive the windows: a product with
// a payload file and a desktop-shortcut task, and the checks every window
// passes (no overlapping controls, no cut texts, a name for every control a
// screen reader reaches).
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "setup_run_test.h"
#include "ui_session.h"

namespace e2e {

const std::string kRoleLink = "30", kRoleStaticText = "41";

class UiTest : public SetupRunTest {
 protected:
  // A product with one payload file, a desktop shortcut task and the given
  // [Setup] lines and sections; the keys of `extraSetup` replace those of
  // the standard [Setup]. A product built again keeps its payload records.
  std::string Package(Product& p, const std::string& extraSetup = "", const std::string& sections = "",
                      const std::string& fileName = "setup.exe") {
    std::string base = Product::StandardSetup();
    for (size_t start = 0; start < extraSetup.size();) {
      const size_t end = extraSetup.find("\r\n", start);
      const std::string line = extraSetup.substr(start, end - start);
      const size_t eq = line.find('=');
      if (eq != std::string::npos)
        for (size_t at = base.find("\n" + line.substr(0, eq + 1)); at != std::string::npos;
             at = base.find("\n" + line.substr(0, eq + 1)))
          base.erase(at + 1, base.find("\r\n", at + 1) + 2 - (at + 1));
      if (end == std::string::npos) break;
      start = end + 2;
    }
    p.SetIni(base + extraSetup + "MainExe=<InstallDir>\\readme.txt\r\nUninstall=1\r\n" +
             "\r\n[Shortcuts]\r\n"
             "0=<Desktop>*?EkTest {NAME}*?<InstallDir>\\readme.txt*?*?*?<InstallDir>*?*?0*?Normal*?No\r\n" + sections);
    if (!Exists(p.dir() + "/config/Englishek.lng")) p.AddEnglish();
    if (!Exists(p.dir() + "/files/readme.txt")) {
      p.AddPayload("files/readme.txt", "hello\r\n");
      p.AddRecord("files/readme.txt|<InstallDir>\\readme.txt|11");
      cleanup_.push_back(p.installDirUnix());
    }
    return p.Build(fileName);
  }

  // The window has no overlapping controls, no cut text, and every control a
  // screen reader reaches has a name.
  static void ExpectSound(UiSession& ui, const std::string& form) {
    SCOPED_TRACE(form);
    for (const auto& problem : ui.LayoutProblems(form)) ADD_FAILURE() << problem;
    auto controls = ui.Controls(form);
    for (const auto& [name, a] : ui.Accessibility(form)) {
      // An empty text has nothing to announce.
      if (a.role == kRoleStaticText && controls[name]["text"].empty()) continue;
      if (a.tabstop == "1" || a.role == kRoleStaticText) {
        EXPECT_FALSE(a.name.empty()) << name << " has no name";
      }
    }
  }

  // Install on the welcome screen, Finish on the completion screen; the
  // setup's exit code.
  static int InstallAndFinish(UiSession& ui) {
    ui.Click("TFormMain", "BInstall");
    EXPECT_TRUE(ui.Wait("TFormMain", "BInstall", "text", "&Finish"));
    ui.Click("TFormMain", "BInstall");
    return ui.WaitExit();
  }

  // Answers Retry on the box that asks `question` and waits for the same
  // question once more (the answered box closes first); the new box, or
  // nothing when Retry was not offered or the question did not come back.
  static std::optional<MessageBox> RetryAndWaitAgain(UiSession& ui, const std::string& question) {
    if (!ui.Answer("Retry", question)) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    return ui.WaitBoxWith(question);
  }

  static std::string Desktop() { return UnixPath("C:\\users\\" + WineUser() + "\\Desktop"); }
};

}  // namespace e2e
