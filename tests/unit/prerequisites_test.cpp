// The package's own prerequisites: every condition type against real files
// and registry entries (absent, older, equal, newer, a value of another
// type, the other registry view), the record's fields, the all/any walk, and
// the offers of a remedy with the user's answers and the silent rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "actions/prerequisites.h"
#include "actions/runtime_detection.h"
#include "base/result.h"
#include "config/utilities.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "recording_host.h"
#include "setup_fixture.h"

using namespace ek;
using platform::MsgButtons;
using platform::MsgResult;
using platform::RegRoot;
using platform::RegView;

namespace {

std::wstring BinFolder() { return FolderPart(platform::ModulePath()); }

// The inverse of the scrambling that [Setup] DataSens undoes.
std::wstring Scramble(std::wstring_view text) {
  std::wstring out(text);
  for (auto& c : out) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(L'A' + (c - L'A' + 13) % 26);
    else if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(L'a' + (c - L'a' + 13) % 26);
    else if (c >= L'0' && c <= L'9') c = static_cast<wchar_t>(L'0' + (c - L'0' + 5) % 10);
  }
  for (auto& c : out)
    if (c != L'"' && c != L' ') c = static_cast<wchar_t>(c ^ 2);
  return out;
}

struct ConditionCase {
  int type;
  std::wstring value, parameter;
  bool expected;
  std::wstring platform = L"64-BIT";
};

void ExpectConditions(const std::vector<ConditionCase>& cases) {
  for (const auto& c : cases) {
    const auto held = ConditionHolds({c.type, c.value, c.parameter}, c.platform);
    ASSERT_TRUE(held.has_value()) << c.type;
    EXPECT_EQ(*held, c.expected) << "type " << c.type << " " << testing::PrintToString(c.value) << " "
                                 << testing::PrintToString(c.parameter) << " " << testing::PrintToString(c.platform);
  }
}

class Prerequisites : public test::SetupStateTest {
 protected:
  void SetUp() override {
    test::SetupStateTest::SetUp();
    LoadConfig(L"[Setup]\r\n");
    LoadLanguageTexts(
        L"[Messages]\r\n"
        L"8=This installation requires %s.<#>Installation cannot continue.<#><#>Would you like to install it now?\r\n"
        L"33=\"%s\" was not installed.\r\n");
    auto& s = State();
    s.Is64BitOS = true;
    s.Silent = false;
    key_ = L"SOFTWARE\\EkTest" + NewGuidText();
    folder_ = std::make_unique<test::ScratchFolder>(L"prereq");
    Ignore(platform::SetEnvironmentValue(L"EK_ARGDUMP_DIR", folder_->path()));
  }
  void TearDown() override {
    Ignore(platform::SetEnvironmentValue(L"EK_ARGDUMP_DIR", L""));
    for (RegView v : {RegView::View64, RegView::View32}) {
      Ignore(platform::DeleteKeyTree(RegRoot::LocalMachine, key_, v));
      Ignore(platform::DeleteKeyTree(RegRoot::CurrentUser, key_, v));
    }
    Ignore(platform::DeleteFileAt(Dir() + L"\\argdump.log"));
    folder_.reset();
    test::SetupStateTest::TearDown();
  }

  const std::wstring& Dir() const { return folder_->path(); }
  platform::RegKey Create(RegRoot root, const std::wstring& sub, RegView view) {
    platform::RegKey k;
    EXPECT_TRUE(k.Create(root, key_ + sub, view));
    return k;
  }
  // How often the stand-in installer ran.
  size_t RemedyRuns() const {
    const std::string log = platform::ReadWholeFile(Dir() + L"\\argdump.log").value_or("");
    return static_cast<size_t>(std::count(log.begin(), log.end(), '\n'));
  }

  std::wstring key_;
  std::unique_ptr<test::ScratchFolder> folder_;
};

TEST_F(Prerequisites, FileFolderTextAndVersionConditions) {
  const std::wstring exe = Dir() + L"\\tool.exe";
  ASSERT_TRUE(platform::CopyFileTo(BinFolder() + L"\\Setup.exe", exe, true));
  const std::wstring v = FileVersionText(exe);
  ASSERT_FALSE(v.empty());
  const std::wstring text = folder_->Write(L"notes.txt", L"first line\r\nVersion=2.5 Final\r\nlast", TextEncoding::Utf8);
  const std::wstring missing = Dir() + L"\\missing.exe";
  ExpectConditions({
      {1, exe, L"", true},           {1, missing, L"", false},       {1, Dir(), L"", false},
      {2, missing, L"", true},       {2, exe, L"", false},
      {3, Dir(), L"", true},         {3, exe, L"", false},           {3, Dir() + L"\\none", L"", false},
      {4, Dir() + L"\\none", L"", true},                             {4, Dir(), L"", false},
      {5, exe, v, true},             {5, exe, L"0.9", true},         {5, exe, L"999.0", false},
      {5, text, L"0.1", false},      {5, text, L"0", true},          {5, missing, L"0", false},
      {6, exe, v, true},             {6, exe, L"999.0", true},       {6, exe, L"0.9", false},
      {6, missing, L"999", false},
      {7, L"2.5", L"2.5", true},     {7, L"3", L"2.5", true},        {7, L"2.4.9", L"2.5", false},
      {7, L"", L"0", false},
      {8, L"2.5", L"2.5", true},     {8, L"2.4", L"2.5", true},      {8, L"2.5.1", L"2.5", false},
      {8, L"", L"9", false},
      {9, L"Hello World", L"WORLD", true},                           {9, L"Hello", L"x", false},
      {9, L"", L"", false},          {9, L"Hello", L"", false},
      {10, L"Hello", L"x", true},    {10, L"Hello World", L"world", false},                {10, L"", L"x", false},
      {21, text, L"version=2.5", true},                              {21, text, L"2.6", false},
      {21, missing, L"x", false},
      {22, text, L"2.6", true},      {22, text, L"FINAL", false},    {22, missing, L"x", true},
      {23, L"ABC", L"abc", true},    {23, L"abc", L"abd", false},
      {24, L"abc", L"abd", true},    {24, L"ABC", L"abc", false},
      {0, exe, L"", false},          {25, exe, L"", false},
  });
}

TEST_F(Prerequisites, RegistryConditions) {
  {
    auto k = Create(RegRoot::LocalMachine, L"\\App", RegView::View64);
    ASSERT_TRUE(k.WriteString(L"Version", L"2.5.1"));
    ASSERT_TRUE(k.WriteString(L"Edition", L"Professional Edition"));
    ASSERT_TRUE(k.WriteDword(L"Build", 3));
    ASSERT_TRUE(k.WriteString(L"Empty", L""));
    ASSERT_TRUE(k.WriteBinary(L"Bytes", {0x0a, 0x1b, 0xff}));
    auto versions = Create(RegRoot::LocalMachine, L"\\App\\Versions", RegView::View64);
    ASSERT_TRUE(versions.WriteString(L"1.0", L""));
    ASSERT_TRUE(versions.WriteString(L"2.5", L""));
    Create(RegRoot::LocalMachine, L"\\App\\Versions\\1.0", RegView::View64);
    Create(RegRoot::LocalMachine, L"\\App\\Versions\\2.5", RegView::View64);
    auto old = Create(RegRoot::LocalMachine, L"\\Old", RegView::View32);
    ASSERT_TRUE(old.WriteString(L"Version", L"1.0"));
    auto user = Create(RegRoot::CurrentUser, L"", RegView::View64);
    ASSERT_TRUE(user.WriteString(L"Name", L"Ek"));
  }
  const std::wstring app = L"HKLM\\" + key_ + L"\\App";
  const std::wstring old = L"HKEY_LOCAL_MACHINE\\" + key_ + L"\\Old";
  ExpectConditions({
      {11, app, L"", true},
      {11, app + L"\\None", L"", false},
      {11, app, L"", false, L""},             // the record's default view is the 32-bit one
      {11, app, L"", true, L"ANY"},           // the native view
      {11, L"64HKLM\\" + key_ + L"\\App", L"", true, L""},
      {11, L"32hklm\\" + key_ + L"\\App", L"", false},
      {11, old, L"", true, L"32-BIT"},
      {12, app, L"", false},       {12, old, L"", true},
      {13, app + L"\\Version", L"", true},
      {13, app + L"\\Missing", L"", false},
      {13, L"HKCU\\" + key_ + L"\\Name", L"", true, L""},
      {14, app + L"\\Missing", L"", true},
      {14, app + L"\\None\\Version", L"", true},
      {14, app + L"\\Version", L"", false},
      {15, app + L"\\Edition", L"professional", true},
      {15, app + L"\\Edition", L"Standard", false},
      {15, app + L"\\Build", L"3", true},    // a number as text
      {15, app + L"\\Bytes", L"1bff", true},  // bytes as hexadecimal text
      {15, app + L"\\Missing", L"", false},
      {16, app + L"\\Edition", L"Standard", true},
      {16, app + L"\\Edition", L"EDITION", false},
      {16, app + L"\\Missing", L"x", true},
      {17, app + L"\\Version", L"2.5", true},
      {17, app + L"\\Version", L"2.5.1", true},
      {17, app + L"\\Version", L"2.6", false},
      {17, app + L"\\Build", L"2.5", true},  // 3 is newer than 2.5
      {17, app + L"\\Missing", L"0", false},
      {17, old + L"\\Version", L"1.0", false},
      {17, L"32" + old + L"\\Version", L"1.0", true},
      {18, app + L"\\Version", L"2.5.1", true},
      {18, app + L"\\Version", L"2.5", false},
      {18, app + L"\\Missing", L"9", false},
      {18, app + L"\\Empty", L"1", true},
      {19, app + L"\\Versions", L"2.0", true},
      {19, app + L"\\Versions", L"2.5", true},
      {19, app + L"\\Versions", L"3.0", false},
      {19, app + L"\\None", L"0", false},
      {20, app + L"\\Versions", L"2.0", true},
      {20, app + L"\\Versions", L"2.6", false},
  });
  // A root outside the eight names is no condition at all.
  EXPECT_FALSE(ConditionHolds({11, L"HKXX\\Software", L""}, L"").has_value());
  EXPECT_FALSE(ConditionHolds({14, L"HKEY_DEFAULT\\Software\\Value", L""}, L"").has_value());
}

TEST_F(Prerequisites, RegistryPaths) {
  EXPECT_EQ(SplitRegistryPath(L"Software\\Vendor\\Version", true), L"Software\\Vendor");
  EXPECT_EQ(SplitRegistryPath(L"Software\\Vendor\\Version", false), L"Version");
  EXPECT_EQ(SplitRegistryPath(L"Version", true), L"Version");
  EXPECT_EQ(SplitRegistryPath(L"Version", false), L"Version");
  auto t = ParseConditionTarget(L"64hkey_users\\S-1\\Key\\Value", true, L"");
  ASSERT_TRUE(t);
  EXPECT_EQ(t->root, RegRoot::Users);
  EXPECT_EQ(t->view, RegView::View64);
  EXPECT_EQ(t->key, L"S-1\\Key");
  EXPECT_EQ(t->valueName, L"Value");
  t = ParseConditionTarget(L"HKCR\\.txt", false, L"any");
  ASSERT_TRUE(t);
  EXPECT_EQ(t->root, RegRoot::ClassesRoot);
  EXPECT_EQ(t->view, RegView::View64);
  EXPECT_EQ(t->key, L".txt");
}

TEST_F(Prerequisites, RecordFields) {
  auto r = ParsePrerequisiteRecord(L"Tool*?C:\\setup.exe*?64-BIT*?ANY*?YES*?1. File exists|C:\\a|;5|C:\\b|1.0|;");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->name, L"Tool");
  EXPECT_EQ(r->link, L"C:\\setup.exe");
  EXPECT_FALSE(r->allMode);
  EXPECT_TRUE(r->warn);
  ASSERT_EQ(r->conditions.size(), 2u);
  EXPECT_EQ(r->conditions[0].type, 1);
  EXPECT_EQ(r->conditions[0].value, L"C:\\a");
  EXPECT_EQ(r->conditions[1].type, 0);  // "5" without its "." names no type
  EXPECT_EQ(r->conditions[1].parameter, L"1.0");
  r = ParsePrerequisiteRecord(L"Tool*?*?ANY*?all*?no*?");
  ASSERT_TRUE(r);
  EXPECT_TRUE(r->allMode);
  EXPECT_FALSE(r->warn);
  EXPECT_TRUE(r->conditions.empty());
  // Fields too short to read: all conditions, no warning.
  r = ParsePrerequisiteRecord(L"Tool*?*?*?AN*?Y*?");
  ASSERT_TRUE(r);
  EXPECT_TRUE(r->allMode);
  EXPECT_FALSE(r->warn);
  EXPECT_FALSE(ParsePrerequisiteRecord(L"Tool*?*?*?ANY*?NO"));
  EXPECT_FALSE(ParsePrerequisiteRecord(L"Tool*?*?*?ANY*?NO*?1.|x|;*?extra"));
  // A scrambled record reads like its plain twin.
  const std::wstring plain = L"Tool 7*?C:\\setup.exe*?64-BIT*?ANY*?YES*?21. Text|C:\\Notes 1.txt|Version=2|;";
  std::wstring scrambled;
  for (const auto& f : Split(plain, L"*?")) scrambled += (scrambled.empty() ? L"" : L"*?") + Scramble(f);
  LoadConfig(L"[Setup]\r\nDataSens=1\r\n");
  r = ParsePrerequisiteRecord(scrambled);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->name, L"Tool 7");
  EXPECT_EQ(r->link, L"C:\\setup.exe");
  ASSERT_EQ(r->conditions.size(), 1u);
  EXPECT_EQ(r->conditions[0].type, 21);
  EXPECT_EQ(r->conditions[0].value, L"C:\\Notes 1.txt");
  EXPECT_EQ(r->conditions[0].parameter, L"Version=2");

  EXPECT_FALSE(PrerequisiteAppliesTo(L"32-BIT", true));
  EXPECT_TRUE(PrerequisiteAppliesTo(L"32-BIT", false));
  EXPECT_FALSE(PrerequisiteAppliesTo(L"64-BIT", false));
  EXPECT_TRUE(PrerequisiteAppliesTo(L"64-BIT", true));
  EXPECT_TRUE(PrerequisiteAppliesTo(L"ANY", true));
  EXPECT_TRUE(PrerequisiteAppliesTo(L"ANY", false));
}

TEST_F(Prerequisites, WalkInAllAndAnyMode) {
  State().InstallDir = Dir();
  const std::wstring file = folder_->Write(L"present.txt", L"x");
  auto present = [&](const std::wstring& mode, const std::wstring& conditions) {
    auto r = ParsePrerequisiteRecord(L"Tool*?*?ANY*?" + mode + L"*?NO*?" + conditions);
    EXPECT_TRUE(r);
    return r && PrerequisitePresent(*r);
  };
  const std::wstring holds = L"1.|" + file + L"||;";
  const std::wstring fails = L"13.|HKLM\\" + key_ + L"\\Missing||;";
  const std::wstring skipped = L"11.|HKXX\\Software||;";
  EXPECT_FALSE(present(L"ALL", holds + fails));
  EXPECT_TRUE(present(L"ANY", holds + fails));
  EXPECT_TRUE(present(L"ANY", fails + holds));
  EXPECT_TRUE(present(L"ALL", holds + holds));
  EXPECT_FALSE(present(L"ANY", fails + fails));
  // An unknown root neither stops the walk nor holds.
  EXPECT_TRUE(present(L"ALL", skipped + holds));
  EXPECT_FALSE(present(L"ALL", holds + skipped));
  EXPECT_TRUE(present(L"ANY", skipped + holds));
  // No conditions: nothing is required.
  EXPECT_TRUE(present(L"ALL", L""));
  // Quotes leave the paths of the file types, and stay in the texts compared.
  EXPECT_TRUE(present(L"ALL", L"1.|\"" + file + L"\"||;"));
  EXPECT_TRUE(present(L"ALL", L"21.|\"" + file + L"\"|X|;"));
  EXPECT_FALSE(present(L"ALL", L"23.|\"abc\"|abc|;"));
  EXPECT_TRUE(present(L"ALL", L"23.|\"abc\"|\"ABC\"|;"));
  // Values and parameters are expanded.
  EXPECT_TRUE(present(L"ALL", L"3.|<InstallDir>||;"));
  EXPECT_TRUE(present(L"ALL", L"9.|<InstallDir>|" + FileNamePart(Dir()) + L"|;"));
}

TEST_F(Prerequisites, RemediesAndAnswers) {
  test::RecordingHost host;
  const std::wstring marker = Dir() + L"\\installed.txt";
  const std::wstring condition = L"1.|" + marker + L"||;";
  const std::wstring cmd = platform::ShellFolder(37) + L"\\cmd.exe";
  const std::wstring fixes = cmd + L" /C echo x> \"" + marker + L"\"";
  const std::wstring argdump = BinFolder() + L"\\argdump.exe";
  auto record = [&](const std::wstring& link, const std::wstring& warn) {
    return L"Tool <AppName>*?" + link + L"*?ANY*?ALL*?" + warn + L"*?" + condition;
  };
  LoadConfig(L"[Setup]\r\nAppName=Demo\r\n");

  // Already there: no question.
  folder_->Write(L"installed.txt", L"x");
  EXPECT_EQ(EvaluatePrerequisite(record(fixes, L"NO")), PrerequisiteOutcome::Present);
  EXPECT_TRUE(host.boxes.empty());
  ASSERT_TRUE(platform::DeleteFileAt(marker));

  // The offer of an installer: Yes runs it and checks again.
  host.answers.insert(host.answers.end(), {MsgResult::Yes});
  EXPECT_EQ(EvaluatePrerequisite(record(fixes, L"NO")), PrerequisiteOutcome::Present);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].request.text,
            L"This installation requires Tool Demo.\r\nInstallation cannot continue.\r\n\r\nWould you like to install it now?");
  EXPECT_EQ(host.boxes[0].request.buttons, MsgButtons::YesNo);
  EXPECT_EQ(host.boxes[0].request.icon, platform::MsgIcon::Warning);
  ASSERT_TRUE(platform::DeleteFileAt(marker));

  // No: setup ends.
  host.boxes.clear();
  host.answers.insert(host.answers.end(), {MsgResult::No});
  EXPECT_EQ(EvaluatePrerequisite(record(fixes, L"NO")), PrerequisiteOutcome::Refused);
  EXPECT_EQ(host.boxes.size(), 1u);

  // A remedy that does not help is offered again until declined ...
  host.boxes.clear();
  host.answers.insert(host.answers.end(), {MsgResult::Yes, MsgResult::Yes, MsgResult::No});
  EXPECT_EQ(EvaluatePrerequisite(record(argdump, L"NO")), PrerequisiteOutcome::Refused);
  EXPECT_EQ(host.boxes.size(), 3u);
  EXPECT_EQ(RemedyRuns(), 2u);
  // ... unless the record only warns after the first attempt.
  host.boxes.clear();
  host.answers.insert(host.answers.end(), {MsgResult::Yes, MsgResult::Ok});
  EXPECT_EQ(EvaluatePrerequisite(record(argdump, L"YES")), PrerequisiteOutcome::GoOn);
  ASSERT_EQ(host.boxes.size(), 2u);
  EXPECT_EQ(host.boxes[1].request.text, L"\"Tool Demo\" was not installed.");
  EXPECT_EQ(host.boxes[1].request.buttons, MsgButtons::Ok);
  // The warning needs an attempt first: refusing the first offer ends setup.
  host.boxes.clear();
  host.answers.insert(host.answers.end(), {MsgResult::No});
  EXPECT_EQ(EvaluatePrerequisite(record(argdump, L"YES")), PrerequisiteOutcome::Refused);

  // An empty link only informs, without the question the message ends with.
  host.boxes.clear();
  host.answers.insert(host.answers.end(), {MsgResult::Ok});
  EXPECT_EQ(EvaluatePrerequisite(record(L"", L"YES")), PrerequisiteOutcome::Refused);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].request.text, L"This installation requires Tool Demo.\r\nInstallation cannot continue.");
  EXPECT_EQ(host.boxes[0].request.buttons, MsgButtons::Ok);

  // A record for the other Windows is not evaluated.
  host.boxes.clear();
  EXPECT_EQ(EvaluatePrerequisite(L"Tool*?*?32-BIT*?ALL*?NO*?" + condition), PrerequisiteOutcome::Present);
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_EQ(host.answers.size(), 0u);
}

TEST_F(Prerequisites, SilentRunsStartAnInstallerOnce) {
  State().Silent = true;
  test::RecordingHost host;  // no box may appear
  const std::wstring marker = Dir() + L"\\installed.txt";
  const std::wstring argdump = BinFolder() + L"\\argdump.exe";
  auto record = [&](const std::wstring& link, const std::wstring& warn, const std::wstring& file) {
    return L"Tool*?" + link + L"*?ANY*?ALL*?" + warn + L"*?1.|" + file + L"||;";
  };
  // The installer brings what was missing: argdump writes its log.
  EXPECT_EQ(EvaluatePrerequisite(record(argdump, L"NO", Dir() + L"\\argdump.log")), PrerequisiteOutcome::Present);
  EXPECT_EQ(RemedyRuns(), 1u);
  // An installer that does not is started once, not for ever.
  EXPECT_EQ(EvaluatePrerequisite(record(argdump + L" /quiet", L"NO", marker)), PrerequisiteOutcome::Refused);
  EXPECT_EQ(RemedyRuns(), 2u);
  EXPECT_EQ(EvaluatePrerequisite(record(argdump, L"YES", marker)), PrerequisiteOutcome::GoOn);
  EXPECT_EQ(RemedyRuns(), 3u);
  // What cannot run unattended ends setup at once.
  for (const wchar_t* link : {L"", L"https://example.invalid/setup.exe", L"MSGC(Install it from C:\\x\\setup.exe)"})
    EXPECT_EQ(EvaluatePrerequisite(record(link, L"YES", marker)), PrerequisiteOutcome::Refused) << link;
  EXPECT_EQ(RemedyRuns(), 3u);
  EXPECT_TRUE(host.boxes.empty());
  const auto log = State().SetupLog;
  EXPECT_NE(std::find(log.begin(), log.end(), L"PrerequisiteInstaller=" + argdump + L" /quiet"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), L"MissingPrerequisite=Tool"), log.end());
}

}  // namespace
