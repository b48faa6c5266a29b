// The completion button: the custom action accepted and declined, the launch
// with its current directory, the restart question and the forced restart
// (recorded through the test seam instead of restarting Wine), and the
// components check.
#include <gtest/gtest.h>

#include <string>

#include "actions/completion.h"
#include "base/result.h"
#include "config/utilities.h"
#include "platform/system.h"
#include "recording_host.h"
#include "setup_fixture.h"

using namespace ek;
using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

namespace {

class Completion : public test::SetupStateTest {
 protected:
  void SetUp() override {
    test::SetupStateTest::SetUp();
    LoadLanguageTexts(
        L"[Messages]\r\n30=Would you like to\r\n34=Please select at least one component.\r\n"
        L"[SetupComplete]\r\n6=Before you can use <AppName>, you must restart your computer.\r\n"
        L"7=Restart the computer\r\n");
    folder_ = std::make_unique<test::ScratchFolder>(L"completion");
    app_ = folder_->path() + L"\\bin";
    ASSERT_TRUE(platform::CreateDirectoryTree(app_));
    ASSERT_TRUE(platform::CopyFileTo(FolderPart(platform::ModulePath()) + L"\\argdump.exe", app_ + L"\\app.exe", false));
    restartRecord_ = folder_->path() + L"\\restart.txt";
    cwd_ = platform::CurrentDirectory();
    for (const auto& [name, value] : {std::pair{L"EK_ARGDUMP_DIR", folder_->path()}, {L"EK_ARGDUMP_CWD", std::wstring(L"1")},
                                      {L"EK_TEST_RESTART_RECORD", restartRecord_}})
      Ignore(platform::SetEnvironmentValue(name, value));
    auto& s = State();
    s.InstallationCompleted = true;
    s.InstallDir = folder_->path();
  }
  void TearDown() override {
    Ignore(platform::SetCurrentDir(cwd_));
    for (const wchar_t* name : {L"EK_ARGDUMP_DIR", L"EK_ARGDUMP_CWD", L"EK_TEST_RESTART_RECORD"})
      Ignore(platform::SetEnvironmentValue(name, L""));
    for (const wchar_t* f : {L"\\argdump.log", L"\\restart.txt", L"\\bin\\app.exe"})
      Ignore(platform::DeleteFileAt(folder_->path() + f));
    Ignore(platform::RemoveDirectoryAt(app_));
    folder_.reset();
    test::SetupStateTest::TearDown();
  }
  void Setup(const std::wstring& keys) { LoadConfig(L"[Setup]\r\nAppName=Demo\r\n" + keys); }
  // The started programs' lines (they are not waited for).
  std::string Started(size_t expectedLines) const {
    std::string log;
    for (int i = 0; i < 50; ++i) {
      log = platform::ReadWholeFile(folder_->path() + L"\\argdump.log").value_or("");
      if (static_cast<size_t>(std::count(log.begin(), log.end(), '\n')) >= expectedLines) break;
      platform::SleepMs(100);
    }
    if (expectedLines == 0) platform::SleepMs(1000);
    return platform::ReadWholeFile(folder_->path() + L"\\argdump.log").value_or("");
  }
  std::string Restarts() const { return platform::ReadWholeFile(restartRecord_).value_or(""); }

  std::unique_ptr<test::ScratchFolder> folder_;
  std::wstring app_, restartRecord_, cwd_;
};

TEST_F(Completion, CustomActionAcceptedAndDeclined) {
  Setup(L"CustomAction=1\r\nCustomActionName=open the readme?\r\nCustomActionCommand=" + app_ +
        L"\\app.exe /readme\r\n");
  {
    test::RecordingHost host;
    host.answers.insert(host.answers.end(), {MsgResult::No});
    RunCompletionActions();
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].request.text, L"Would you like to open the readme?");
    EXPECT_EQ(host.boxes[0].request.icon, MsgIcon::Question);
    EXPECT_EQ(host.boxes[0].request.buttons, MsgButtons::YesNo);
    EXPECT_EQ(Started(0), "");
  }
  test::RecordingHost host;
  host.answers.insert(host.answers.end(), {MsgResult::Yes});
  RunCompletionActions();
  const std::string log = Started(1);
  EXPECT_NE(log.find("app.exe\t"), std::string::npos) << log;
  EXPECT_NE(log.find("/readme"), std::string::npos) << log;
}

TEST_F(Completion, LaunchWithTheProgramsFolderAsCurrentDirectory) {
  test::RecordingHost host;
  Setup(L"LaunchFile=1\r\nLaunchFileName=" + app_ + L"\\app.exe\r\nFinishCurrentDir=1\r\n");
  RunCompletionActions();
  EXPECT_TRUE(host.boxes.empty());  // the button itself said it launches
  const std::string log = Started(1);
  EXPECT_NE(log.find("\tcwd=" + WideToUtf8(app_)), std::string::npos) << log;
  EXPECT_TRUE(EqualsNoCase(StripTrailingBackslash(platform::CurrentDirectory()), app_));
  // A command whose folder does not exist: the installation folder.
  EXPECT_EQ(StartFolderFor(L"C:\\no such folder\\x.exe"), folder_->path());
  EXPECT_EQ(StartFolderFor(L"\"" + app_ + L"\\app.exe\" /x"), folder_->path());  // the quote makes no folder
  EXPECT_EQ(StartFolderFor(app_ + L"\\app.exe"), app_);
}

TEST_F(Completion, RestartQuestionAndForcedRestart) {
  Setup(L"RestartComputer=1\r\n");
  {
    test::RecordingHost host;
    host.answers.insert(host.answers.end(), {MsgResult::No});
    RunCompletionActions();
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].request.text, L"Before you can use Demo, you must restart your computer.\r\n\r\nRestart the computer?");
    EXPECT_EQ(host.boxes[0].request.icon, MsgIcon::Question);
    EXPECT_EQ(host.boxes[0].request.buttons, MsgButtons::YesNo);
    EXPECT_EQ(host.boxes[0].request.defaultButton, 2);
    EXPECT_EQ(Restarts(), "");
  }
  {
    test::RecordingHost host;
    host.answers.insert(host.answers.end(), {MsgResult::Yes});
    RunCompletionActions();
    EXPECT_EQ(Restarts(), "EWX_REBOOT\r\n");
  }
  Setup(L"RestartComputer=1\r\nSetupParameters=-forcerestart\r\n");
  test::RecordingHost host;
  host.answers.insert(host.answers.end(), {MsgResult::Ok});
  RunCompletionActions();
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].request.text, L"Before you can use Demo, you must restart your computer.\r\n\r\nWARNING! Your computer "
                                L"will restart now.\r\n\r\nSave your work and click OK.");
  EXPECT_EQ(host.boxes[0].request.icon, MsgIcon::Warning);
  EXPECT_EQ(host.boxes[0].request.buttons, MsgButtons::Ok);
  EXPECT_EQ(Restarts(), "EWX_REBOOT\r\nEWX_REBOOT\r\n");
}

TEST_F(Completion, SilentRunsAndUnfinishedInstallationsDoNothing) {
  test::RecordingHost host;  // no box may appear
  Setup(L"CustomAction=1\r\nCustomActionCommand=" + app_ + L"\\app.exe\r\nLaunchFile=1\r\nLaunchFileName=" + app_ +
        L"\\app.exe\r\nRestartComputer=1\r\nSetupParameters=-forcerestart\r\n");
  State().Silent = true;
  RunCompletionActions();
  State().Silent = false;
  State().InstallationCompleted = false;
  RunCompletionActions();
  EXPECT_EQ(Started(0), "");
  EXPECT_EQ(Restarts(), "");
  EXPECT_TRUE(host.boxes.empty());
}

TEST_F(Completion, ShutdownPrivilege) { EXPECT_TRUE(platform::EnableShutdownPrivilege()); }

TEST_F(Completion, ComponentsSelected) {
  test::RecordingHost host;
  auto& s = State();
  s.Options.CheckListBox1 = {{L"Core", false, true}, {L"Extras", false, true}};
  Setup(L"");
  EXPECT_TRUE(ComponentsSelected());
  Setup(L"CompoMustSelect=1\r\n");
  host.answers.insert(host.answers.end(), {MsgResult::Ok});
  EXPECT_FALSE(ComponentsSelected());
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].request.text, L"Please select at least one component.");
  EXPECT_EQ(host.boxes[0].request.icon, MsgIcon::Warning);
  s.Silent = true;
  EXPECT_FALSE(ComponentsSelected());
  EXPECT_EQ(host.boxes.size(), 1u);
  s.Options.CheckListBox1[1].checked = true;
  EXPECT_TRUE(ComponentsSelected());
}

}  // namespace
