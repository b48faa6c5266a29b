// An installed version of the product met by a new setup: each answer to the
// questions of an interactive run, and the silent defaults.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "ui_test.h"

using namespace e2e;

namespace {

class UiExisting : public UiTest {
 protected:
  // Version 1.0.0 installed silently; the second setup of the same product
  // (same GUID and folder) with this version and these keys.
  std::string InstallFirstThenBuild(Product& p, const std::string& version, const std::string& extraSetup) {
    EXPECT_EQ(RunSetup(Package(p, "ShowAddRemove=1\r\n", "", "first.exe"), {{"/S"}}).exitCode, 0);
    EXPECT_TRUE(Exists(p.installDirUnix() + "/Uninstall.exe"));
    p.AddPayload("files/readme.txt", "version " + version + "\r\n");
    return Package(p, "ShowAddRemove=1\r\nAppVersion=" + version + "\r\n" + extraSetup, "", "second.exe");
  }
  // Removes what a test installed beside the first folder and in the registry.
  void TearDown() override {
    const auto folders = cleanup_;
    for (const auto& d : folders) cleanup_.push_back(d + " 2.0.0");
    UiTest::TearDown();
  }
};

TEST_F(UiExisting, AskAnsweredCancelInstallsBeside) {
  Product p("uibeside");
  const std::string pkg = InstallFirstThenBuild(p, "2.0.0", "IfInstalled=4\r\n");
  UiSession ui(pkg);
  auto box = ui.WaitBoxWith("Currently, you have");
  ASSERT_TRUE(box);
  EXPECT_TRUE(Contains(box->text, "\"EkTest uibeside v1.0.0\" installed")) << box->text;
  EXPECT_EQ(box->buttons, "Yes|No|Cancel");
  ui.Answer("Cancel");
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
  ui.Click("TFormMain", "LOptions");
  ASSERT_TRUE(ui.WaitForm("TFormOptions"));
  EXPECT_EQ(ui.Control("TFormOptions", "EInstallDir")["text"], p.installDirWin() + " 2.0.0");
  ui.Click("TFormOptions", "ButtonOK");
  ASSERT_TRUE(ui.WaitGone("TFormOptions"));
  EXPECT_EQ(InstallAndFinish(ui), 0);
  EXPECT_EQ(ReadFile(p.installDirUnix() + "/readme.txt"), "hello\r\n");
  EXPECT_EQ(ReadFile(p.installDirUnix() + " 2.0.0/readme.txt"), "version 2.0.0\r\n");
}

TEST_F(UiExisting, AskAnsweredNoUpdatesInPlace) {
  Product p("uiupdate");
  const std::string pkg = InstallFirstThenBuild(p, "2.0.0", "IfInstalled=4\r\n");
  UiSession ui(pkg);
  ASSERT_TRUE(ui.WaitBoxWith("Currently, you have"));
  ui.Answer("No");
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
  // In update mode the folder is the installed one and cannot be changed.
  ui.Click("TFormMain", "LOptions");
  ASSERT_TRUE(ui.WaitForm("TFormOptions"));
  auto opt = ui.Controls("TFormOptions");
  EXPECT_EQ(opt["EInstallDir"]["text"], p.installDirWin());
  EXPECT_EQ(opt["EInstallDir"]["enabled"], "0");
  EXPECT_EQ(opt["Button1"]["enabled"], "0");
  ui.Close("TFormOptions");
  ASSERT_TRUE(ui.WaitGone("TFormOptions"));
  EXPECT_EQ(InstallAndFinish(ui), 0);
  EXPECT_EQ(ReadFile(p.installDirUnix() + "/readme.txt"), "version 2.0.0\r\n");
  EXPECT_FALSE(Exists(p.installDirUnix() + " 2.0.0"));
}

TEST_F(UiExisting, AskAnsweredYesUninstallsFirst) {
  Product p("uiuninstall");
  const std::string pkg = InstallFirstThenBuild(p, "2.0.0", "IfInstalled=4\r\n");
  // The installed uninstaller asks and reports in windows of its own.
  UiSession ui(pkg, {}, {p.installDirWin() + "\\Uninstall.exe"});
  ASSERT_TRUE(ui.WaitBoxWith("Currently, you have"));
  ui.Answer("Yes");
  // Yes was the confirmation: the setup does not ask a second time.
  auto box = ui.WaitBox();
  ASSERT_TRUE(box);
  EXPECT_FALSE(Contains(box->text, "you must first uninstall")) << box->text;
  for (int i = 0; i < 3 && box; ++i) {
    ui.Answer(Contains(box->buttons, "Yes") ? "Yes" : "OK");
    if (ui.Wait("TFormMain", "BInstall", "enabled", "1", 4000)) break;
    box = ui.WaitBox(10000);
  }
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
  EXPECT_FALSE(Exists(p.installDirUnix() + "/readme.txt"));
  EXPECT_EQ(InstallAndFinish(ui), 0);
  EXPECT_EQ(ReadFile(p.installDirUnix() + "/readme.txt"), "version 2.0.0\r\n");
}

TEST_F(UiExisting, OlderVersionQuestion) {
  for (const char* answer : {"No", "Yes"}) {
    SCOPED_TRACE(answer);
    Product p(std::string("uiolder") + answer);
    // Installed 1.0.0 as "2.0.0"; the package is 1.5.0.
    EXPECT_EQ(RunSetup(Package(p, "ShowAddRemove=1\r\nAppVersion=2.0.0\r\n", "", "first.exe"), {{"/S"}}).exitCode, 0);
    const std::string pkg = Package(p, "ShowAddRemove=1\r\nAppVersion=1.5.0\r\nIfInstalled=2\r\n", "", "older.exe");
    UiSession ui(pkg);
    auto box = ui.WaitBoxWith("is already installed on your computer");
    ASSERT_TRUE(box);
    EXPECT_TRUE(Contains(box->text, "\"EkTest uiolder" + std::string(answer) + " 2.0.0\"")) << box->text;
    EXPECT_TRUE(Contains(box->text, "older version (1.5.0)")) << box->text;
    ui.Answer(answer);
    if (std::string(answer) == "No") {
      EXPECT_EQ(ui.WaitExit(), 11);
      continue;
    }
    ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
    EXPECT_EQ(InstallAndFinish(ui), 0);
  }
}

TEST_F(UiExisting, UninstallQuestionDeclinedEndsWith11) {
  Product p("uideclined");
  const std::string pkg = InstallFirstThenBuild(p, "2.0.0", "IfInstalled=0\r\n");
  UiSession ui(pkg);
  auto box = ui.WaitBoxWith("you must first uninstall");
  ASSERT_TRUE(box);
  EXPECT_TRUE(Contains(box->text, "\"EkTest uideclined 2.0.0\"")) << box->text;
  ui.Answer("No");
  EXPECT_EQ(ui.WaitExit(), 11);
  EXPECT_EQ(ReadFile(p.installDirUnix() + "/readme.txt"), "hello\r\n");
}

TEST_F(UiExisting, UninstallQuestionAcceptedRunsTheUninstallerFirst) {
  Product p("uiaccepted");
  const std::string pkg = InstallFirstThenBuild(p, "2.0.0", "IfInstalled=0\r\n");
  UiSession ui(pkg, {}, {p.installDirWin() + "\\Uninstall.exe"});
  auto box = ui.WaitBoxWith("you must first uninstall");
  ASSERT_TRUE(box);
  EXPECT_EQ(box->buttons, "Yes|No");
  ASSERT_TRUE(ui.Answer("Yes"));
  // The uninstaller's own boxes are confirmed (the question itself may still
  // be closing when the next look is taken).
  for (int i = 0; i < 8 && !ui.Wait("TFormMain", "BInstall", "enabled", "1", 3000); ++i) {
    auto next = ui.WaitBox(10000);
    if (next && !Contains(next->text, "you must first uninstall"))
      ui.Answer(Contains(next->buttons, "Yes") ? "Yes" : "OK");
  }
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
  EXPECT_FALSE(Exists(p.installDirUnix() + "/readme.txt"));
  EXPECT_EQ(InstallAndFinish(ui), 0);
  EXPECT_EQ(ReadFile(p.installDirUnix() + "/readme.txt"), "version 2.0.0\r\n");
}

TEST_F(UiExisting, RunningProgramIsAskedAboutBeforeTheSilentUninstall) {
  Product p("uirunning");
  const std::string pkg = InstallFirstThenBuild(p, "2.0.0", "IfInstalled=1\r\n");
  // A program under the installed main program's file name is running.
  const std::string dump = BuildDir() + "/e2e-work/uirunning-" + std::to_string(::getpid());
  RemoveAll(dump);
  std::filesystem::create_directories(dump);
  cleanup_.push_back(dump);
  auto busy = StartRunningProgram(dump + "/readme.txt", dump);
  ASSERT_TRUE(busy);
  UiSession ui(pkg, {}, {p.installDirWin() + "\\Uninstall.exe"});
  const std::string question = "Please close \"EkTest uirunning\", then click Retry to continue.";
  auto box = ui.WaitBoxWith(question);
  ASSERT_TRUE(box);
  EXPECT_EQ(box->buttons, "Retry|Cancel");
  // Retry looks again: it still runs.
  ASSERT_TRUE(RetryAndWaitAgain(ui, question));
  // Cancel goes on regardless: the old version is removed without a question.
  ASSERT_TRUE(ui.Answer("Cancel"));
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
  EXPECT_FALSE(Exists(p.installDirUnix() + "/readme.txt"));
  EXPECT_EQ(InstallAndFinish(ui), 0);
  EXPECT_EQ(ReadFile(p.installDirUnix() + "/readme.txt"), "version 2.0.0\r\n");
}

TEST_F(UiExisting, UpdatePackageNeedsItsInstalledVersion) {
  // Nothing installed: 12, with the message only in an interactive run.
  Product none("uinoupdate");
  const std::string update = Package(none, "UpgradeMode=1\r\n");
  RunResult silent = RunSetup(update, {{"/S"}});
  EXPECT_EQ(silent.exitCode, 12);
  EXPECT_TRUE(silent.dialogs.empty());
  {
    UiSession ui(update);
    auto box = ui.WaitBoxWith("is not installed on your computer");
    ASSERT_TRUE(box);
    EXPECT_TRUE(Contains(box->text, "This update program cannot continue.")) << box->text;
    EXPECT_TRUE(Contains(box->text, "https://example.com/ektest")) << box->text;
    ui.Answer("OK");
    EXPECT_EQ(ui.WaitExit(), 12);
  }
  // Installed, but outside the versions the update is for.
  Product p("uirange");
  const std::string pkg =
      InstallFirstThenBuild(p, "3.0.0", "UpgradeMode=1\r\nCheckVersions=1\r\nCheckMinVer=2.0\r\nCheckMaxVer=2.9\r\n");
  RunResult out = RunSetup(pkg, {{"/S"}});
  EXPECT_EQ(out.exitCode, 12);
  EXPECT_TRUE(out.dialogs.empty());
  UiSession ui(pkg);
  auto box = ui.WaitBoxWith("is not installed on your computer");
  ASSERT_TRUE(box);
  EXPECT_TRUE(Contains(box->text, "\"EkTest uirange v.2.0 - 2.9\"")) << box->text;
  ui.Answer("OK");
  EXPECT_EQ(ui.WaitExit(), 12);
  EXPECT_EQ(ReadFile(p.installDirUnix() + "/readme.txt"), "hello\r\n");
}

TEST_F(UiExisting, MissingDataFileIsAskedForOrEndsWith11) {
  Product p("uidatafile");
  const std::string pkg = Package(p, "PackageType=1\r\nDataFileName=ekdata-missing.zip\r\n");
  RunResult silent = RunSetup(pkg, {{"/S"}});
  EXPECT_EQ(silent.exitCode, 11);
  EXPECT_TRUE(silent.dialogs.empty());
  UiSession ui(pkg);
  auto box = ui.WaitBoxWith("Data file not found");
  ASSERT_TRUE(box);
  EXPECT_TRUE(Contains(box->text, "ekdata-missing.zip")) << box->text;
  ui.Answer("OK");
  // The file-open dialog follows; cancelled, the run ends.
  box = ui.WaitBox();
  ASSERT_TRUE(box);
  ui.Answer("Cancel");
  EXPECT_EQ(ui.WaitExit(), 11);
}

}  // namespace
