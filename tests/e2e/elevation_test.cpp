// The two ways the engine starts an elevated copy of itself: the relaunch at
// start-up that the trailer or /RUNAS demands, and the hand-off at the
// Install button to an instance started with /RAD. A standard user is
// simulated for the first process only (EK_TEST_AS_STANDARD_USER).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "harness.h"
#include "setup_run_test.h"
#include "ui_session.h"

using namespace e2e;

namespace {

class Elevation : public SetupRunTest {
 protected:
  std::string Package(Product& p, const std::string& extraSetup = "") {
    p.AddEnglish();
    p.SetIni(Product::StandardSetup() + "Uninstall=1\r\n" + extraSetup);
    p.AddPayload("a.txt", "elevated\r\n");
    p.AddRecord("a.txt|<InstallDir>\\a.txt|11");
    cleanup_.push_back(p.installDirUnix());
    return p.Build();
  }

  // The relaunched copy runs on its own: wait until its log says it ended.
  static bool WaitForLogLine(const std::string& line, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
      for (const auto& l : LogLines())
        if (l == line && EktmpFolders().empty()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }
};

TEST_F(Elevation, TrailerFlagOrRunasRelaunchesOnceAndTheCopyInstalls) {
  for (bool viaSwitch : {false, true}) {
    SCOPED_TRACE(viaSwitch ? "/RUNAS" : "trailer flag");
    ClearSetupLog();
    Product p("relaunch");
    p.tweak.adminFlag = !viaSwitch;
    const std::string pkg = Package(p);
    RunOptions o;
    o.args = {"/S", "/L"};
    if (viaSwitch) o.args.push_back("/RUNAS");
    o.env = {{"EK_TEST_AS_STANDARD_USER", "1"}};
    RunResult r = RunSetup(pkg, o);
    EXPECT_EQ(r.exitCode, 0);
    ASSERT_TRUE(WaitForLogLine("InstallationCompleted=1", 60)) << ReadSetupLog();
    EXPECT_EQ(ReadFile(p.installDirUnix() + "/a.txt"), "elevated\r\n");
    // The copy learned who started it; the same user leaves InvokingUserName empty.
    bool sawFile = false;
    for (const auto& l : LogLines())
      if (l.rfind("File=", 0) == 0) {
        sawFile = true;
        EXPECT_TRUE(Contains(l, "/U \"" + WineUser() + "\"")) << l;
      }
    EXPECT_TRUE(sawFile);
    EXPECT_TRUE(Contains(ReadSetupLog(), "AdminRights=1"));
    EXPECT_EQ(ReadIni(p.installDirUnix() + "/Uninstall.ini")["General"]["Admin"], "1");
  }
}

TEST_F(Elevation, AdministratorIsNotRelaunched) {
  Product p("norelaunch");
  p.tweak.adminFlag = true;
  RunResult r = RunSetup(Package(p), {{"/S", "/L"}});
  EXPECT_EQ(r.exitCode, 0);
  // Installed by this very process: its log is complete when it exits.
  EXPECT_TRUE(Contains(ReadSetupLog(), "InstallationCompleted=1"));
  EXPECT_TRUE(Exists(p.installDirUnix() + "/a.txt"));
}

TEST_F(Elevation, InstallButtonHandsOffToAnElevatedInstance) {
  Product p("handoff");
  const std::string pkg = Package(p);
  RunOptions o;
  o.args = {"/S", "/L"};
  o.env = {{"EK_TEST_AS_STANDARD_USER", "1"}};
  RunResult r = RunSetup(pkg, o);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_TRUE(r.dialogs.empty());
  EXPECT_EQ(ReadFile(p.installDirUnix() + "/a.txt"), "elevated\r\n");
  // The elevated instance installed (with rights) for all users.
  Ini u = ReadIni(p.installDirUnix() + "/Uninstall.ini");
  EXPECT_EQ(u["General"]["Admin"], "1");
  EXPECT_EQ(u["General"]["AllUsers"], "1");
  // One log: the first instance's lines (it saw no rights) and the copy's.
  EXPECT_TRUE(Contains(ReadSetupLog(), "AdminRights=0")) << ReadSetupLog();
  EXPECT_TRUE(Contains(ReadSetupLog(), "Elevated=1"));
  EXPECT_TRUE(Contains(ReadSetupLog(), "InstallationCompleted=1"));
}

TEST_F(Elevation, ElevatedErrorsReachTheFirstInstance) {
  Product p("handofferr");
  const std::string pkg = Package(p, "SetupParameters=-silentignoreerror\r\n");
  std::filesystem::create_directories(p.installDirUnix() + "/a.txt");  // cannot be written
  RunOptions o;
  o.args = {"/S"};
  o.env = {{"EK_TEST_AS_STANDARD_USER", "1"}};
  RunResult r = RunSetup(pkg, o);
  // The elevated copy ends with 10; the first instance completes with errors
  // and keeps the log.
  EXPECT_EQ(r.exitCode, 0);
  const std::string log = ReadSetupLog();
  EXPECT_TRUE(Contains(log, "Elevated=1")) << log;
  EXPECT_TRUE(Contains(log, "Unable to create file: " + p.installDirWin() + "\\a.txt")) << log;
  EXPECT_TRUE(Contains(log, "CompletedWithError=1")) << log;
}

TEST_F(Elevation, HandOffThatCannotStartEndsWith11OrStaysOnTheWelcomeScreen) {
  Product p("handofffail");
  // The hand-off goes through the package's launcher, which is no program:
  // the elevated copy cannot start, as when the user declines the prompt.
  p.AddConfigFile("Launcher.exe", "not a program\r\n");
  const std::string pkg = Package(p, "SetupParameters=-runvialauncher\r\n");
  const std::vector<std::pair<std::string, std::string>> standardUser = {{"EK_TEST_AS_STANDARD_USER", "1"}};
  {
    SCOPED_TRACE("silent: 11, nothing installed, no message");
    RunResult r = RunSetup(pkg, {{"/S"}, 120, "default", false, standardUser});
    EXPECT_EQ(r.exitCode, 11);
    EXPECT_TRUE(r.dialogs.empty());
    EXPECT_FALSE(Exists(p.installDirUnix() + "/a.txt"));
  }
  SCOPED_TRACE("interactive: the message, then the welcome screen again");
  UiSession ui(pkg, {{}, 120, "default", false, standardUser});
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
  ui.Click("TFormMain", "BInstall");
  auto box = ui.WaitBoxWith("You don't have enough rights to perform this operation.");
  ASSERT_TRUE(box);
  EXPECT_TRUE(Contains(box->text, "Log in as an administrator or contact your system administrator.")) << box->text;
  EXPECT_EQ(box->buttons, "OK");
  EXPECT_EQ(box->caption, "EkTest handofffail 1.0.0");
  ASSERT_TRUE(ui.Answer("OK"));
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
  EXPECT_EQ(ui.Control("TFormMain", "BInstall")["text"], "&Install");
  EXPECT_EQ(ui.Control("TFormMain", "LOptions")["visible"], "1");
  EXPECT_FALSE(Exists(p.installDirUnix() + "/a.txt"));
  ui.Close("TFormMain");
  EXPECT_EQ(ui.WaitExit(), 11);
}

}  // namespace
