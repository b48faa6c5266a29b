// The questions of the checks before installing and of the completion
// button, answered in their windows as a user answers them: each box offers
// the buttons its text speaks of, it belongs to the installer's window, and
// each answer leads on where it should (the session presses a button only
// when the box has it).
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "proxy.h"
#include "ui_test.h"

using namespace e2e;

namespace {

class UiChecks : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    dump_ = BuildDir() + "/e2e-work/uichecks-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++);
    RemoveAll(dump_);
    std::filesystem::create_directories(dump_);
    cleanup_.push_back(dump_);
  }
  std::string DumpWin() const { return WinPath(dump_); }
  std::string DumpLog() const { return ReadFile(dump_ + "/argdump.log"); }
  size_t DumpLines() const {
    const std::string log = DumpLog();
    return static_cast<size_t>(std::count(log.begin(), log.end(), '\n'));
  }
  static std::string Caption(const std::string& name) { return "EkTest " + name + " 1.0.0 Setup"; }
  static bool Installed(const Product& p) { return Exists(p.installDirUnix() + "/readme.txt"); }

  std::string dump_;
  static inline int counter_ = 0;
};

TEST_F(UiChecks, RunningApplicationAskedUntilTheUserClosesIt) {
  const std::string exe = dump_ + "/ekbusy" + std::to_string(::getpid()) + ".exe";
  const std::string name = std::filesystem::path(exe).filename().string();
  auto startBusy = [&] {
    auto b = StartRunningProgram(exe, dump_);
    EXPECT_TRUE(b);
    return b;
  };
  const std::string question = "Please close \"Busy Tool\", then click Retry to continue.";
  Product p("uicloseapp");
  const std::string pkg = Package(p, "CloseApp=1\r\nCloseAppFile=<InstallDir>\\" + name + "\r\nCloseAppText=Busy Tool\r\n");
  {
    SCOPED_TRACE("Cancel ends the setup and leaves the application alone");
    auto busy = startBusy();
    UiSession ui(pkg);
    auto box = ui.WaitBoxWith(question);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->buttons, "Retry|Cancel");
    EXPECT_EQ(box->caption, Caption("uicloseapp"));
    ASSERT_TRUE(ui.Answer("Cancel"));
    EXPECT_EQ(ui.WaitExit(), 5);
    EXPECT_FALSE(Installed(p));
    EXPECT_FALSE(busy->EndsWithin(0));
  }
  SCOPED_TRACE("Retry asks again while it runs; once the user has closed it, the setup goes on");
  auto busy = startBusy();
  UiSession ui(pkg);
  ASSERT_TRUE(ui.WaitBoxWith(question));
  auto again = RetryAndWaitAgain(ui, question);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->buttons, "Retry|Cancel");
  busy.reset();  // the user closes the application
  ASSERT_TRUE(ui.Answer("Retry"));
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
  EXPECT_FALSE(ui.WaitBox(1500)) << "asked once more although the application was closed";
  EXPECT_EQ(InstallAndFinish(ui), 0);
  EXPECT_TRUE(Installed(p));
}

TEST_F(UiChecks, MissingRuntimeQuestionYesRunsTheInstallerNoEndsTheSetup) {
  ASSERT_FALSE(RegKeyExists("HKLM", "SOFTWARE\\JavaSoft")) << "the prefix has Java";
  regKeys_.push_back("HKLM\\SOFTWARE\\JavaSoft");
  const std::string installer =
      "C:\\windows\\system32\\cmd.exe /C reg add \"HKLM\\SOFTWARE\\JavaSoft\\JRE\" /v CurrentVersion /d 17 /f";
  struct Case {
    const char* answer;
    int exitCode;
  } cases[] = {{"No", 5}, {"Yes", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    Product p(std::string("uijava") + c.answer);
    const std::string pkg = Package(p, "Java=1\r\nJavaVersion=17\r\nLinkJR=" + installer + "\r\n");
    UiSession ui(pkg);
    auto box = ui.WaitBoxWith("Java (JRE) 17 or newer is required to run EkTest uijava" + std::string(c.answer));
    ASSERT_TRUE(box);
    EXPECT_TRUE(Contains(box->text, "Would you like to install it now?")) << box->text;
    EXPECT_EQ(box->buttons, "Yes|No");
    EXPECT_EQ(box->caption, Caption(std::string("uijava") + c.answer));
    ASSERT_TRUE(ui.Answer(c.answer));
    if (c.exitCode == 5) {
      EXPECT_EQ(ui.WaitExit(), 5);
      EXPECT_FALSE(Installed(p));
      EXPECT_FALSE(RegKeyExists("HKLM", "SOFTWARE\\JavaSoft\\JRE"));
      continue;
    }
    // The installer ran and was waited for; the checks, made again, pass.
    ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
    EXPECT_FALSE(ui.WaitBox(1500));
    EXPECT_EQ(RegValue("HKLM", "SOFTWARE\\JavaSoft\\JRE", "CurrentVersion"), "17");
    EXPECT_EQ(InstallAndFinish(ui), 0);
    EXPECT_TRUE(Installed(p));
  }
}

TEST_F(UiChecks, CompletionQuestionsAnsweredEachWay) {
  const std::string record = dump_ + "/restart.txt";
  RunOptions o;
  o.env = {{"EK_ARGDUMP_DIR", DumpWin()}, {"EK_ARGDUMP_CWD", "1"}, {"EK_TEST_RESTART_RECORD", WinPath(record)}};
  struct Case {
    const char* what;
    const char* custom;   // the answer to the custom action's question
    const char* restart;  // the answer to the restart question
  } cases[] = {{"custom action accepted, restart declined", "Yes", "No"},
               {"custom action declined, restart accepted", "No", "Yes"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RemoveAll(dump_ + "/argdump.log");
    RemoveAll(record);
    Product p("uicompletion");
    p.AddPayload("files/app.exe", ReadFile(BuildDir() + "/bin/argdump.exe"));
    p.AddRecord("files/app.exe|<InstallDir>\\bin\\app.exe|11");
    const std::string pkg = Package(p,
                                    "CustomAction=1\r\nCustomActionName=open the readme?\r\n"
                                    "CustomActionCommand=<InstallDir>\\bin\\app.exe /readme\r\n"
                                    "LaunchFile=1\r\nLaunchFileName=<InstallDir>\\bin\\app.exe /launched\r\n"
                                    "FinishCurrentDir=1\r\nRestartComputer=1\r\n");
    UiSession ui(pkg, o);
    ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
    ui.Click("TFormMain", "BInstall");
    ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "text", "Launch EkTest uicompletion"));
    EXPECT_EQ(DumpLines(), 0u) << "started before the completion button";
    ui.Click("TFormMain", "BInstall");
    auto custom = ui.WaitBoxWith("Would you like to open the readme?");
    ASSERT_TRUE(custom);
    EXPECT_EQ(custom->buttons, "Yes|No");
    EXPECT_EQ(custom->caption, Caption("uicompletion"));
    ASSERT_TRUE(ui.Answer(c.custom));
    auto restart = ui.WaitBoxWith("you must restart your computer");
    ASSERT_TRUE(restart);
    EXPECT_TRUE(Contains(restart->text, "Before you can use EkTest uicompletion, you must restart your computer."))
        << restart->text;
    EXPECT_TRUE(Contains(restart->text, "Restart the computer?")) << restart->text;
    EXPECT_EQ(restart->buttons, "Yes|No");
    ASSERT_TRUE(ui.Answer(c.restart));
    EXPECT_EQ(ui.WaitExit(), 0);
    const bool accepted = std::string(c.custom) == "Yes";
    const size_t started = accepted ? 2u : 1u;
    for (int i = 0; i < 50 && DumpLines() < started; ++i) ::usleep(100000);
    ::usleep(500000);
    const std::string log = DumpLog();
    const std::string bin = p.installDirWin() + "\\bin";
    EXPECT_EQ(DumpLines(), started) << log;
    EXPECT_TRUE(Contains(log, "/launched\tcwd=" + bin)) << log;
    EXPECT_EQ(Contains(log, "/readme\tcwd=" + bin), accepted) << log;
    if (std::string(c.restart) == "Yes") {
      EXPECT_EQ(ReadFile(record), "EWX_REBOOT\r\n");
    } else {
      EXPECT_FALSE(Exists(record));
    }
  }
}

TEST_F(UiChecks, InternetQuestionInBothFormsOfTheMessage) {
  Proxy proxy;
  proxy.Use("127.0.0.1:1");  // nothing listens there: offline
  struct Case {
    const char* what;
    bool asks;  // the language's message ends in a question
    std::vector<std::string> answers;
    int exitCode;
  } cases[] = {
      {"asks: No ends the setup", true, {"No"}, 5},
      {"asks: Yes goes on", true, {"Yes"}, 0},
      {"states: Retry checks again, Cancel ends the setup", false, {"Retry", "Cancel"}, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Product p("uioffline");
    if (!c.asks) {
      std::string lng = ReadFile(SourceDir() + "/examples/demo/config/Englishek.lng");
      const std::string from =
          "5=This installation requires an Active Internet Connection.<#><#>Do you want to continue anyway?";
      ASSERT_NE(lng.find(from), std::string::npos);
      lng.replace(lng.find(from), from.size(), "5=No Internet connection was found.");
      p.AddConfigFile("Englishek.lng", lng);
    }
    const std::string pkg = Package(p, "Internet=1\r\n");
    UiSession ui(pkg);
    for (const auto& answer : c.answers) {
      auto box = ui.WaitBoxWith(c.asks ? "Do you want to continue anyway?" : "No Internet connection was found.");
      ASSERT_TRUE(box);
      EXPECT_EQ(box->buttons, c.asks ? "Yes|No" : "Retry|Cancel");
      EXPECT_EQ(box->caption, Caption("uioffline"));
      ASSERT_TRUE(ui.Answer(answer));
      ::usleep(300000);  // the answered box closes before the next look
    }
    if (c.exitCode == 5) {
      EXPECT_EQ(ui.WaitExit(), 5);
      EXPECT_FALSE(Installed(p));
      continue;
    }
    ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
    EXPECT_EQ(InstallAndFinish(ui), 0);
    EXPECT_TRUE(Installed(p));
  }
}

TEST_F(UiChecks, PackageMessageWithRetryOpensItsTargetOrIsDeclined) {
  const std::string argdump = WinPath(BuildDir() + "/bin/argdump.exe");
  const std::string message = "Ek Tool is missing. Install it from " + argdump;
  const std::string sections = "[Prerequisites]\r\n0=Ek Tool*?MSGR(" + message + ")*?ANY*?ALL*?NO*?1. File|" +
                               DumpWin() + "\\argdump.log||;\r\n";
  RunOptions o;
  o.env = {{"EK_ARGDUMP_DIR", DumpWin()}};
  for (const char* answer : {"Cancel", "Retry"}) {
    SCOPED_TRACE(answer);
    RemoveAll(dump_ + "/argdump.log");
    Product p(std::string("uimsgr") + answer);
    UiSession ui(Package(p, "", sections), o);
    auto box = ui.WaitBoxWith(message);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->buttons, "Retry|Cancel");
    ASSERT_TRUE(ui.Answer(answer));
    if (std::string(answer) == "Cancel") {
      EXPECT_EQ(ui.WaitExit(), 5);
      EXPECT_EQ(DumpLines(), 0u);
      EXPECT_FALSE(Installed(p));
      continue;
    }
    // The target starts; the check, made again, passes once it has run
    // (until then the message may come once more).
    for (int i = 0; i < 10 && !ui.Wait("TFormMain", "BInstall", "enabled", "1", 3000); ++i)
      if (ui.WaitBoxWith(message, 1000)) ui.Answer("Retry");
    ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
    EXPECT_GE(DumpLines(), 1u);
    EXPECT_EQ(InstallAndFinish(ui), 0);
    EXPECT_TRUE(Installed(p));
  }
}

TEST_F(UiChecks, SecondApplicationCancelEndsTheSetupEvenWhenFailuresAreAllowed) {
  const std::string exe = dump_ + "/ekbusy2" + std::to_string(::getpid()) + ".exe";
  const std::string name = std::filesystem::path(exe).filename().string();
  auto busy = StartRunningProgram(exe, dump_);
  ASSERT_TRUE(busy);
  Product p("uicloseapp2");
  const std::string pkg = Package(p, "CloseApp2=1\r\nCloseAppFile2=" + name +
                                         "\r\nCloseAppText2=Second Tool\r\nAllowInstallIfPrereqFailed=1\r\n");
  UiSession ui(pkg);
  const std::string question = "Please close \"Second Tool\", then click Retry to continue.";
  // No limit of Retry answers for the second application.
  auto box = ui.WaitBoxWith(question);
  for (int i = 0; i < 4 && box; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(box->buttons, "Retry|Cancel");
    box = RetryAndWaitAgain(ui, question);
  }
  ASSERT_TRUE(box);
  ASSERT_TRUE(ui.Answer("Cancel"));
  EXPECT_EQ(ui.WaitExit(), 5);
  EXPECT_FALSE(Installed(p));
}

}  // namespace
