// The checks before installing, pass by pass: the Internet question in both
// forms, the applications to close, the runtimes with their remedies and the
// warning that lets the setup go on, the package's own messages, and what a
// silent run does instead of asking.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "actions/system_checks.h"
#include "base/result.h"
#include "config/utilities.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "recording_host.h"
#include "setup_fixture.h"

using namespace ek;
using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;
using platform::RegRoot;
using platform::RegView;

namespace {

std::wstring BinFolder() { return FolderPart(platform::ModulePath()); }

class SystemChecks : public test::SetupStateTest {
 protected:
  void SetUp() override {
    test::SetupStateTest::SetUp();
    LoadLanguageTexts(
        L"[Messages]\r\n"
        L"5=This installation requires an Active Internet Connection.<#><#>Do you want to continue anyway?\r\n"
        L"6=Please close \"%s\", then click Retry to continue.\r\n"
        L"7=%s or newer is required to run <AppName>.<#><#>Would you like to install it now?\r\n"
        L"33=\"%s\" was not installed on your computer.\r\n"
        L"37=Click Retry to continue, or Cancel to exit.\r\n");
    State().Is64BitOS = true;
    base_ = L"SOFTWARE\\EkTest" + NewGuidText();
    folder_ = std::make_unique<test::ScratchFolder>(L"checks");
    Ignore(platform::SetEnvironmentValue(L"EK_ARGDUMP_DIR", folder_->path()));
  }
  void TearDown() override {
    Ignore(platform::SetEnvironmentValue(L"EK_ARGDUMP_DIR", L""));
    for (RegView v : {RegView::View64, RegView::View32}) Ignore(platform::DeleteKeyTree(RegRoot::LocalMachine, base_, v));
    Ignore(platform::DeleteFileAt(folder_->path() + L"\\argdump.log"));
    folder_.reset();
    test::SetupStateTest::TearDown();
  }

  ChecksResult Check() {
    SystemProbes probes{[this] {
                          ++internetProbes_;
                          return online_;
                        },
                        MachineRegistry(base_)};
    return CheckSystem(probes);
  }
  void Setup(const std::wstring& keys) { LoadConfig(L"[Setup]\r\nAppName=Demo\r\n" + keys); }
  // A command that writes Java 17 into the private layout.
  std::wstring InstallJava17() const {
    return platform::ShellFolder(37) + L"\\cmd.exe /C reg add \"HKLM\\" + base_ +
           L"\\SOFTWARE\\JavaSoft\\JRE\" /v CurrentVersion /d 17 /f /reg:64";
  }
  std::wstring JavaInstalled() const {
    platform::RegKey k;
    if (!k.Open(RegRoot::LocalMachine, base_ + L"\\SOFTWARE\\JavaSoft\\JRE", RegView::View64, false)) return L"";
    return k.ReadString(L"CurrentVersion").value_or(L"");
  }
  size_t RemedyRuns() const {
    const std::string log = platform::ReadWholeFile(folder_->path() + L"\\argdump.log").value_or("");
    return static_cast<size_t>(std::count(log.begin(), log.end(), '\n'));
  }

  std::wstring base_;
  std::unique_ptr<test::ScratchFolder> folder_;
  bool online_ = true;
  int internetProbes_ = 0;
};

TEST_F(SystemChecks, NothingRequiredAsksNothing) {
  test::RecordingHost host;
  Setup(L"Internet=0\r\nCloseApp=0\r\nJava=0\r\n");
  online_ = false;
  EXPECT_EQ(Check(), ChecksResult::Passed);
  EXPECT_EQ(internetProbes_, 0);
  EXPECT_TRUE(host.boxes.empty());
}

TEST_F(SystemChecks, InternetQuestionInBothForms) {
  online_ = false;
  const std::wstring statement = L"[Messages]\r\n5=No Internet connection was found.\r\n";
  struct Case {
    const char* what;
    const wchar_t* messages;  // nullptr: the one that asks
    bool allow;
    std::vector<MsgResult> answers;
    ChecksResult expected;
  } cases[] = {
      {"asked: Yes goes on without allow", nullptr, false, {MsgResult::Yes}, ChecksResult::Passed},
      {"asked: No ends setup even with allow", nullptr, true, {MsgResult::No}, ChecksResult::Refused},
      {"stated: Cancel ends setup", statement.c_str(), false, {MsgResult::Cancel}, ChecksResult::Refused},
      {"stated: Cancel goes on with allow", statement.c_str(), true, {MsgResult::Cancel}, ChecksResult::Passed},
      {"stated: Retry checks again", statement.c_str(), false, {MsgResult::Retry, MsgResult::Retry, MsgResult::Cancel},
       ChecksResult::Refused},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.messages) LoadLanguageTexts(c.messages);
    Setup(std::wstring(L"Internet=1\r\nAllowInstallIfPrereqFailed=") + (c.allow ? L"1" : L"0") + L"\r\n");
    test::RecordingHost host;
    for (MsgResult a : c.answers) host.answers.insert(host.answers.end(), {a});
    internetProbes_ = 0;
    EXPECT_EQ(Check(), c.expected);
    ASSERT_EQ(host.boxes.size(), c.answers.size());
    EXPECT_EQ(internetProbes_, static_cast<int>(c.answers.size()));
    const auto& box = host.boxes[0].request;
    EXPECT_EQ(box.icon, MsgIcon::Warning);
    if (c.messages) {
      EXPECT_EQ(box.buttons, MsgButtons::RetryCancel);
      EXPECT_EQ(box.text, L"No Internet connection was found.");
    } else {
      EXPECT_EQ(box.buttons, MsgButtons::YesNo);
      EXPECT_EQ(box.defaultButton, 2);
      EXPECT_EQ(box.text, L"This installation requires an Active Internet Connection.\r\n\r\nDo you want to continue anyway?");
    }
  }
  // Online: nothing to ask; a silent run offline ends without a question.
  test::RecordingHost host;
  online_ = true;
  EXPECT_EQ(Check(), ChecksResult::Passed);
  online_ = false;
  State().Silent = true;
  EXPECT_EQ(Check(), ChecksResult::Refused);
  EXPECT_TRUE(host.boxes.empty());
}

TEST_F(SystemChecks, RunningApplications) {
  // The test program itself is the application that runs.
  const std::wstring self = FileNamePart(platform::ModulePath());
  {
    SCOPED_TRACE("first application: three Retry answers, then no more questions");
    test::RecordingHost host;
    Setup(L"CloseApp=1\r\nCloseAppFile=C:\\Program Files\\X\\" + self + L"\r\nCloseAppText=The Tool\r\n");
    host.answers.insert(host.answers.end(), {MsgResult::Retry, MsgResult::Retry, MsgResult::Retry});
    EXPECT_EQ(Check(), ChecksResult::Passed);
    ASSERT_EQ(host.boxes.size(), 3u);
    EXPECT_EQ(host.boxes[0].request.text, L"Please close \"The Tool\", then click Retry to continue.");
    EXPECT_EQ(host.boxes[0].request.buttons, MsgButtons::RetryCancel);
  }
  {
    SCOPED_TRACE("first application: Cancel ends setup unless allowed; the name is the file without a text");
    test::RecordingHost host;
    Setup(L"CloseApp=1\r\nCloseAppFile=" + self + L"\r\n");
    host.answers.insert(host.answers.end(), {MsgResult::Cancel});
    EXPECT_EQ(Check(), ChecksResult::Refused);
    EXPECT_EQ(host.boxes.at(0).request.text, L"Please close \"" + self + L"\", then click Retry to continue.");
    Setup(L"CloseApp=1\r\nCloseAppFile=" + self + L"\r\nAllowInstallIfPrereqFailed=1\r\n");
    host.answers.insert(host.answers.end(), {MsgResult::Cancel});
    EXPECT_EQ(Check(), ChecksResult::Passed);
  }
  {
    SCOPED_TRACE("second application: no limit, and Cancel always ends setup");
    test::RecordingHost host;
    Setup(L"CloseApp2=1\r\nCloseAppFile2=" + self + L"\r\nCloseAppText2=Other\r\nAllowInstallIfPrereqFailed=1\r\n");
    host.answers.insert(host.answers.end(), {MsgResult::Retry, MsgResult::Retry, MsgResult::Retry, MsgResult::Retry, MsgResult::Cancel});
    EXPECT_EQ(Check(), ChecksResult::Refused);
    EXPECT_EQ(host.boxes.size(), 5u);
  }
  {
    SCOPED_TRACE("a program that does not run");
    test::RecordingHost host;
    Setup(L"CloseApp=1\r\nCloseAppFile=ek-not-running.exe\r\nCloseApp2=1\r\nCloseAppFile2=ek-not-running.exe\r\n");
    EXPECT_EQ(Check(), ChecksResult::Passed);
    EXPECT_TRUE(host.boxes.empty());
  }
}

TEST_F(SystemChecks, SilentRunEndsRunningApplications) {
  const std::wstring name = L"ekvictim" + NewGuidText().substr(1, 8) + L".exe";
  const std::wstring victim = folder_->path() + L"\\" + name;
  ASSERT_TRUE(platform::CopyFileTo(BinFolder() + L"\\argdump.exe", victim, false));
  Ignore(platform::SetEnvironmentValue(L"EK_ARGDUMP_SLEEP", L"60000"));
  platform::ShellStartRequest start{nullptr, victim, L"", platform::kSwHide, false, false};
  const bool started = platform::ShellStart(start, nullptr, nullptr);
  Ignore(platform::SetEnvironmentValue(L"EK_ARGDUMP_SLEEP", L""));
  ASSERT_TRUE(started);
  for (int i = 0; i < 50 && !platform::FindProcessByExeName(name); ++i) platform::SleepMs(100);
  ASSERT_TRUE(platform::FindProcessByExeName(name));
  test::RecordingHost host;
  State().Silent = true;
  Setup(L"CloseApp2=1\r\nCloseAppFile2=" + victim + L"\r\n");
  EXPECT_EQ(Check(), ChecksResult::Passed);
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_FALSE(platform::FindProcessByExeName(name));
  Ignore(platform::DeleteFileAt(victim));
}

TEST_F(SystemChecks, MissingRuntimeOffersItsRemedy) {
  const std::wstring question =
      L"Java (JRE) 17 or newer is required to run Demo.\r\n\r\nWould you like to install it now?";
  {
    SCOPED_TRACE("Yes starts the installer and the checks run again");
    test::RecordingHost host;
    Setup(L"Java=1\r\nJavaVersion=17\r\nLinkJR=" + InstallJava17() + L"\r\n");
    host.answers.insert(host.answers.end(), {MsgResult::Yes});
    EXPECT_EQ(Check(), ChecksResult::Passed);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].request.text, question);
    EXPECT_EQ(host.boxes[0].request.buttons, MsgButtons::YesNo);
    EXPECT_EQ(JavaInstalled(), L"17");
    EXPECT_EQ(Check(), ChecksResult::Passed);  // present now: nothing more to ask
    EXPECT_EQ(host.boxes.size(), 1u);
  }
  {
    SCOPED_TRACE("an older version is missing too; No ends setup");
    test::RecordingHost host;
    Setup(L"Java=1\r\nJavaVersion=21\r\nLinkJR=C:\\setup.exe\r\n");
    host.answers.insert(host.answers.end(), {MsgResult::No});
    EXPECT_EQ(Check(), ChecksResult::Refused);
    EXPECT_EQ(host.boxes.at(0).request.text, L"Java (JRE) 21 or newer is required to run Demo.\r\n\r\nWould you like to install it now?");
  }
  {
    SCOPED_TRACE("with allow, No only warns and the checks go on");
    test::RecordingHost host;
    Setup(L"Java=1\r\nJavaVersion=21\r\nLinkJR=C:\\setup.exe\r\nAllowInstallIfPrereqFailed=1\r\n");
    host.answers.insert(host.answers.end(), {MsgResult::No, MsgResult::Ok});
    EXPECT_EQ(Check(), ChecksResult::Passed);
    ASSERT_EQ(host.boxes.size(), 2u);
    EXPECT_EQ(host.boxes[1].request.text, L"\"Java (JRE) 21\" was not installed on your computer.");
    EXPECT_EQ(host.boxes[1].request.buttons, MsgButtons::Ok);
  }
  {
    SCOPED_TRACE("an empty link informs without the final question");
    test::RecordingHost host;
    Setup(L"VisualCpp=1\r\nVisualCppVersion=6\r\n");
    host.answers.insert(host.answers.end(), {MsgResult::Ok});
    EXPECT_EQ(Check(), ChecksResult::Refused);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].request.text,
              L"Microsoft Visual C++ 2022 Redistributable Package (x64) or newer is required to run Demo.");
    EXPECT_EQ(host.boxes[0].request.buttons, MsgButtons::Ok);
    Setup(L"VisualCpp=1\r\nVisualCppVersion=6\r\nSetupParameters=-noplatform\r\n");
    host.answers.insert(host.answers.end(), {MsgResult::Ok});
    EXPECT_EQ(Check(), ChecksResult::Refused);
    EXPECT_EQ(host.boxes.at(1).request.text,
              L"Microsoft Visual C++ 2022 Redistributable Package or newer is required to run Demo.");
  }
}

TEST_F(SystemChecks, DotNetRequirementRemembersTheRegistrationTool) {
  platform::RegKey k;
  ASSERT_TRUE(k.Create(RegRoot::LocalMachine, base_ + L"\\SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full",
                       RegView::View64));
  ASSERT_TRUE(k.WriteDword(L"Install", 1));
  ASSERT_TRUE(k.WriteDword(L"Release", 461808));  // 4.7.2: index 5
  ASSERT_TRUE(k.WriteString(L"InstallPath", L"C:\\Framework\\v4.0.30319\\"));
  test::RecordingHost host;
  Setup(L"dotNET=1\r\ndotNETVersion=6\r\n");
  host.answers.insert(host.answers.end(), {MsgResult::Ok});
  EXPECT_EQ(Check(), ChecksResult::Refused);
  EXPECT_EQ(host.boxes.at(0).request.text, L".NET Framework 4.8 (x64) or newer is required to run Demo.");
  EXPECT_EQ(State().RegAsmPath, L"C:\\Framework\\v4.0.30319\\RegAsm.exe");
  ASSERT_TRUE(k.WriteDword(L"Release", 528040));  // 4.8: index 6
  EXPECT_EQ(Check(), ChecksResult::Passed);
  EXPECT_EQ(host.boxes.size(), 1u);
}

TEST_F(SystemChecks, SwitchesChooseWhatTheDetectorsRead) {
  platform::RegKey jdk, core;
  ASSERT_TRUE(jdk.Create(RegRoot::LocalMachine, base_ + L"\\SOFTWARE\\JavaSoft\\JDK", RegView::View64));
  ASSERT_TRUE(jdk.WriteString(L"CurrentVersion", L"17"));
  ASSERT_TRUE(core.Create(RegRoot::LocalMachine,
                          base_ + L"\\SOFTWARE\\dotnet\\Setup\\InstalledVersions\\x64\\sharedfx\\Microsoft.NETCore.App",
                          RegView::View32));
  ASSERT_TRUE(core.WriteDword(L"8.0.4", 1));
  State().Silent = true;  // a missing runtime without a link ends the checks at once
  struct Case {
    const wchar_t* keys;
    ChecksResult expected;
  } cases[] = {
      {L"Java=1\r\nJavaVersion=17\r\n", ChecksResult::Passed},
      {L"Java=1\r\nJavaVersion=17\r\nSetupParameters=-jreonly\r\n", ChecksResult::Refused},
      {L"dotNET=1\r\ndotNETVersion=10\r\n", ChecksResult::Refused},
      {L"dotNET=1\r\ndotNETVersion=10\r\nSetupParameters=-netruntime\r\n", ChecksResult::Passed},
  };
  for (const auto& c : cases) {
    Setup(c.keys);
    EXPECT_EQ(Check(), c.expected) << testing::PrintToString(std::wstring(c.keys));
  }
}

TEST_F(SystemChecks, PackageMessages) {
  const std::wstring argdump = BinFolder() + L"\\argdump.exe";
  struct Case {
    const char* what;
    std::wstring link;
    MsgButtons buttons;
    MsgResult answer;
    ChecksResult expected;
    size_t targetRuns;
  } cases[] = {
      {"MSG( informs, opens its target and ends", L"MSG(Install it from " + argdump + L")", MsgButtons::Ok, MsgResult::Ok,
       ChecksResult::Refused, 1},
      {"MSGR( Cancel", L"msgr(Install it from " + argdump + L")", MsgButtons::RetryCancel, MsgResult::Cancel,
       ChecksResult::Refused, 0},
      {"MSGC( Cancel", L"MSGC(Install it from " + argdump + L")", MsgButtons::OkCancel, MsgResult::Cancel,
       ChecksResult::Refused, 0},
      {"an unknown MSG form is declined", L"MSGX(text)", MsgButtons::Ok, MsgResult::None, ChecksResult::Refused, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Ignore(platform::DeleteFileAt(folder_->path() + L"\\argdump.log"));
    test::RecordingHost host;
    Setup(L"SQL=1\r\nSQLVersion=3\r\nLinkSQL=" + c.link + L"\r\n");
    if (c.answer != MsgResult::None) host.answers.insert(host.answers.end(), {c.answer});
    EXPECT_EQ(Check(), c.expected);
    if (c.answer != MsgResult::None) {
      ASSERT_EQ(host.boxes.size(), 1u);
      EXPECT_EQ(host.boxes[0].request.buttons, c.buttons);
      EXPECT_EQ(host.boxes[0].request.text, L"Install it from " + argdump);
    } else {
      EXPECT_TRUE(host.boxes.empty());
    }
    platform::SleepMs(c.targetRuns ? 1500 : 0);  // the target is not waited for
    EXPECT_EQ(RemedyRuns(), c.targetRuns);
  }
  {
    SCOPED_TRACE("MSGC( OK opens the target and checks again; MSGR( Retry the same");
    Ignore(platform::DeleteFileAt(folder_->path() + L"\\argdump.log"));
    test::RecordingHost host;
    Setup(L"SQL=1\r\nSQLVersion=3\r\nLinkSQL=MSGC(Install it from " + argdump + L")\r\n");
    host.answers.insert(host.answers.end(), {MsgResult::Ok, MsgResult::Cancel});
    EXPECT_EQ(Check(), ChecksResult::Refused);
    EXPECT_EQ(host.boxes.size(), 2u);
    Setup(L"SQL=1\r\nSQLVersion=3\r\nLinkSQL=MSGR(Install it from " + argdump + L")\r\n");
    host.answers.insert(host.answers.end(), {MsgResult::Retry, MsgResult::Cancel});
    EXPECT_EQ(Check(), ChecksResult::Refused);
    EXPECT_EQ(host.boxes.size(), 4u);
    platform::SleepMs(1500);
    EXPECT_EQ(RemedyRuns(), 2u);
  }
  {
    SCOPED_TRACE("-noparsse: the message opens nothing");
    Ignore(platform::DeleteFileAt(folder_->path() + L"\\argdump.log"));
    test::RecordingHost host;
    Setup(L"SQL=1\r\nSQLVersion=3\r\nSetupParameters=-noparsse\r\nLinkSQL=MSG(Install it from " + argdump + L")\r\n");
    host.answers.insert(host.answers.end(), {MsgResult::Ok});
    EXPECT_EQ(Check(), ChecksResult::Refused);
    platform::SleepMs(1500);
    EXPECT_EQ(RemedyRuns(), 0u);
  }
  // The message's target: an address or a path on a drive, to the end of its line.
  EXPECT_EQ(RemedyTarget(L"Download it:\r\nhttps://example.com/get?x=1\r\nthen restart"), L"https://example.com/get?x=1");
  EXPECT_EQ(RemedyTarget(L"Run \"D:\\Setup\\vcredist.exe\"\nand retry"), L"D:\\Setup\\vcredist.exe");
  EXPECT_EQ(RemedyTarget(L"Please install the tools first."), L"");
  EXPECT_EQ(RemedyTarget(L"see http without an address"), L"");
  EXPECT_EQ(WithoutFinalQuestion(L"%s is required.<#><#>Install it now?"), L"%s is required.<#><#>");
  EXPECT_EQ(WithoutFinalQuestion(L"%s is required.\\nInstall it now?"), L"%s is required.");
  EXPECT_EQ(WithoutFinalQuestion(L"Install %s now?"), L"Install %s now?");
  EXPECT_EQ(WithoutFinalQuestion(L"%s is required."), L"%s is required.");
}

TEST_F(SystemChecks, SilentRemedies) {
  State().Silent = true;
  test::RecordingHost host;  // no box may appear
  const std::wstring argdump = BinFolder() + L"\\argdump.exe";
  // A local installer runs unattended, and the checks run again.
  Setup(L"Java=1\r\nJavaVersion=17\r\nLinkJR=" + InstallJava17() + L"\r\n");
  EXPECT_EQ(Check(), ChecksResult::Passed);
  EXPECT_EQ(JavaInstalled(), L"17");
  // One that does not bring the runtime is started once.
  Setup(L"SQLE=1\r\nSQLEVersion=18\r\nLinkSQLE=" + argdump + L"\r\n");
  EXPECT_EQ(Check(), ChecksResult::Refused);
  EXPECT_EQ(RemedyRuns(), 1u);
  Setup(L"SQLE=1\r\nSQLEVersion=18\r\nLinkSQLE=" + argdump + L"\r\nAllowInstallIfPrereqFailed=1\r\n");
  EXPECT_EQ(Check(), ChecksResult::Passed);
  EXPECT_EQ(RemedyRuns(), 2u);
  // Nothing that runs unattended: setup ends, also with allow.
  for (const wchar_t* link : {L"", L"HTTPS://example.invalid/dotnet.exe", L"MSG(Install .NET first)"}) {
    Setup(std::wstring(L"dotNET=1\r\ndotNETVersion=6\r\nAllowInstallIfPrereqFailed=1\r\nLinkDN=") + link + L"\r\n");
    EXPECT_EQ(Check(), ChecksResult::Refused) << link;
  }
  EXPECT_EQ(RemedyRuns(), 2u);
  EXPECT_TRUE(host.boxes.empty());
  const auto& log = State().SetupLog;
  EXPECT_NE(std::find(log.begin(), log.end(), L"MissingPrerequisite=.NET Framework 4.8 (x64)"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), L"MissingPrerequisite=SQL Server Express 2022 (x64)"), log.end());
}

TEST_F(SystemChecks, OrderOfTheChecksAndThePackagesOwn) {
  online_ = false;
  const std::wstring self = FileNamePart(platform::ModulePath());
  const std::wstring marker = folder_->path() + L"\\own.txt";
  Setup(L"Internet=1\r\nCloseApp=1\r\nCloseAppFile=" + self + L"\r\nAR=1\r\nARVersion=DC 2021\r\n"
        L"AllowInstallIfPrereqFailed=1\r\n"
        L"[Prerequisites]\r\n0=Own*?*?ANY*?ALL*?NO*?1.|" + marker + L"||;\r\n");
  LoadLanguageTexts(L"[Messages]\r\n5=Offline?\r\n6=Close %s\r\n7=Need %s\r\n8=Own %s\r\n33=Without %s\r\n");
  test::RecordingHost host;
  // Internet, then the application (Retry starts again from the Internet
  // check), the runtime, and the package's own record last.
  host.answers.insert(host.answers.end(), {MsgResult::Yes, MsgResult::Retry, MsgResult::Yes, MsgResult::Cancel, MsgResult::Ok, MsgResult::Ok,
               MsgResult::Ok});
  EXPECT_EQ(Check(), ChecksResult::Refused);
  std::vector<std::wstring> texts;
  for (const auto& b : host.boxes) texts.push_back(b.request.text);
  EXPECT_EQ(texts, (std::vector<std::wstring>{L"Offline?", L"Close " + self, L"Offline?", L"Close " + self,
                                              L"Need Adobe Acrobat Reader DC 2021",
                                              L"Without Adobe Acrobat Reader DC 2021", L"Own Own"}));
}

}  // namespace
