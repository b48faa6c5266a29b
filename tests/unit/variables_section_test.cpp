// The [Variables] section: every source against the real registry and real
// files, the dialogs through a host that answers them, the reserved names,
// the MSG( and HALT( defaults that stay quiet or speak, and the section's
// evaluation at start-up, at first activation and through GETVARIABLES.
#include <gtest/gtest.h>

#include "actions/command_list.h"
#include "actions/variables_section.h"
#include "config/utilities.h"
#include "config/variables.h"
#include "platform/registry.h"
#include "recording_host.h"
#include "setup_fixture.h"

namespace ek {
namespace {

using platform::MsgIcon;
using platform::RegRoot;
using platform::RegView;
using test::RecordingHost;
using test::ScratchFolder;
using test::SetupStateTest;

std::wstring Record(std::wstring_view name, std::wstring_view source, std::wstring_view argument,
                    std::wstring_view type, std::wstring_view fallback, std::wstring_view view = L"") {
  std::wstring r;
  for (std::wstring_view f : {name, source, argument, type, fallback}) r += std::wstring(f) + L"*?";
  return r + std::wstring(view);
}

class VariablesSection : public SetupStateTest {
 protected:
  void SetUp() override {
    SetupStateTest::SetUp();
    LoadConfig(L"[Setup]\r\nAppName=Demo\r\nAppVersion=2.0\r\n");
    State().AppNameVersion = L"Demo 2.0";
  }
  // The value <V> takes after one record whose default is "default".
  static std::wstring Value(std::wstring_view source, std::wstring_view argument, std::wstring_view type = L"STRING",
                            std::wstring_view view = L"") {
    DefineVariable(Record(L"<V>", source, argument, type, L"default", view));
    return ExpandVariables(L"<V>");
  }
  RecordingHost host_;
};

// A private key below HKLM (both views) and HKCU, removed afterwards.
class RegistrySource : public VariablesSection {
 protected:
  void SetUp() override {
    VariablesSection::SetUp();
    key_ = L"Software\\EkTest" + NewGuidText();
    Write(RegRoot::LocalMachine, RegView::View64, L"Where", L"native view");
    Write(RegRoot::LocalMachine, RegView::View32, L"Where", L"32-bit view");
    Write(RegRoot::CurrentUser, RegView::View64, L"Where", L"current user");
    platform::RegKey k;
    ASSERT_TRUE(k.Create(RegRoot::LocalMachine, key_, RegView::View64));
    ASSERT_TRUE(k.WriteDword(L"Count", 4294967295u));
    ASSERT_TRUE(k.WriteString(L"Path", L"%SystemRoot%\\x", true));
    ASSERT_TRUE(k.WriteBinary(L"Bytes", {0x0a, 0x1b, 0xff}));
    ASSERT_TRUE(k.WriteString(L"", L"the default value"));
  }
  void TearDown() override {
    for (auto [root, view] : {std::pair{RegRoot::LocalMachine, RegView::View64},
                              std::pair{RegRoot::LocalMachine, RegView::View32},
                              std::pair{RegRoot::CurrentUser, RegView::View64}})
      Ignore(platform::DeleteKeyTree(root, key_, view));
    VariablesSection::TearDown();
  }
  void Write(RegRoot root, RegView view, const std::wstring& name, const std::wstring& value,
             const std::wstring& sub = L"") {
    platform::RegKey k;
    ASSERT_TRUE(k.Create(root, sub.empty() ? key_ : key_ + L"\\" + sub, view));
    ASSERT_TRUE(k.WriteString(name, value));
  }
  void SubKeys(const std::wstring& parent, std::initializer_list<const wchar_t*> names) {
    for (const wchar_t* n : names) {
      platform::RegKey k;
      ASSERT_TRUE(k.Create(RegRoot::LocalMachine, key_ + L"\\" + parent + L"\\" + n, RegView::View64));
    }
  }
  std::wstring key_;
};

TEST_F(RegistrySource, ValuesByTypeViewAndRoot) {
  const std::wstring lm = L"HKLM\\" + key_;
  struct Case {
    std::wstring source, argument, type, view, want;
  } cases[] = {
      {lm, L"Where", L"STRING", L"64-BIT", L"native view"},
      {lm, L"Where", L"string", L"Default", L"native view"},  // the engine's own view
      {lm, L"Where", L"STRING", L"32-BIT", L"32-bit view"},
      {lm, L"Where", L"STRING", L"", L"32-bit view"},         // no view: the 32-bit one
      {L"HKEY_LOCAL_MACHINE\\" + key_, L"Where", L"STRING", L"64-BIT", L"native view"},
      {L"hkcu\\" + key_, L"Where", L"STRING", L"64-BIT", L"current user"},  // the root in any case
      {lm, L"Count", L"INTEGER", L"64-BIT", L"4294967295"},                  // unsigned
      {lm, L"Path", L"STRING", L"64-BIT", L"%SystemRoot%\\x"},              // not expanded
      {lm, L"", L"STRING", L"64-BIT", L"the default value"},
      // Reads that fail keep the default.
      {lm, L"Count", L"STRING", L"64-BIT", L"default"},
      {lm, L"Where", L"INTEGER", L"64-BIT", L"default"},
      {lm, L"Bytes", L"INTEGER", L"64-BIT", L"default"},
      {lm, L"Missing", L"STRING", L"64-BIT", L"default"},
      {lm + L"\\NoSuchKey", L"Where", L"STRING", L"64-BIT", L"default"},
      {L"HKXX\\" + key_, L"Where", L"STRING", L"64-BIT", L"default"},
      {L"HKLM", L"Where", L"STRING", L"64-BIT", L"default"},
  };
  for (const auto& c : cases) EXPECT_EQ(Value(c.source, c.argument, c.type, c.view), c.want) << c.source << L" " << c.argument;
}

TEST_F(RegistrySource, DefaultRootFollowsTheInstallScope) {
  State().AllUsers = true;
  EXPECT_EQ(Value(L"HKDE\\" + key_, L"Where", L"STRING", L"64-BIT"), L"native view");
  State().AllUsers = false;
  EXPECT_EQ(Value(L"HKEY_DEFAULT\\" + key_, L"Where", L"STRING", L"64-BIT"), L"current user");
}

TEST_F(RegistrySource, AnyTypeAsTextWithTheSwitch) {
  LoadConfig(L"[Setup]\r\nSetupParameters=-getasstr\r\n");
  const std::wstring lm = L"HKLM\\" + key_;
  EXPECT_EQ(Value(lm, L"Count", L"STRING", L"64-BIT"), L"4294967295");
  EXPECT_EQ(Value(lm, L"Bytes", L"STRING", L"64-BIT"), L"0A1BFF");
  EXPECT_EQ(Value(lm, L"Where", L"INTEGER", L"64-BIT"), L"native view");
}

TEST_F(RegistrySource, GreatestVersionAmongSubkeysAndValues) {
  SubKeys(L"Versions", {L"1.2", L"1.10", L"1.9"});
  SubKeys(L"Single", {L"latest"});
  SubKeys(L"Words", {L"alpha", L"beta"});
  Write(RegRoot::LocalMachine, RegView::View64, L"2.0.1", L"", L"Values");
  Write(RegRoot::LocalMachine, RegView::View64, L"10.0", L"", L"Values");
  Write(RegRoot::LocalMachine, RegView::View64, L"9.9.9", L"", L"Values");
  SubKeys(L"Empty", {});
  platform::RegKey empty;
  ASSERT_TRUE(empty.Create(RegRoot::LocalMachine, key_ + L"\\Empty", RegView::View64));
  const std::wstring lm = L"HKLM\\" + key_ + L"\\";
  EXPECT_EQ(Value(lm + L"Versions", L"GETMAXREGKEY", L"STRING", L"64-BIT"), L"1.10");
  EXPECT_EQ(Value(lm + L"Single", L"getmaxregkey", L"STRING", L"64-BIT"), L"latest");
  EXPECT_EQ(Value(lm + L"Words", L"GETMAXREGKEY", L"STRING", L"64-BIT"), L"0");
  EXPECT_EQ(Value(lm + L"Values", L"GETMAXREGVAL", L"STRING", L"64-BIT"), L"10.0");
  EXPECT_EQ(Value(lm + L"Empty", L"GETMAXREGKEY", L"STRING", L"64-BIT"), L"default");
}

TEST(MaxVersionNameRule, OrderAndTies) {
  State() = SetupState{};
  EXPECT_EQ(MaxVersionName({}), L"");
  EXPECT_EQ(MaxVersionName({L"x"}), L"x");
  EXPECT_EQ(MaxVersionName({L"1.2", L"1.10", L"1.9"}), L"1.10");
  EXPECT_EQ(MaxVersionName({L"v2", L"2.0", L"1.5"}), L"v2");  // equal greatest: the first wins
  EXPECT_EQ(MaxVersionName({L"a", L"b"}), L"0");
  EXPECT_EQ(MaxVersionName({L"0.0.0.1", L"0"}), L"0.0.0.1");
}

class FileSource : public VariablesSection {
 protected:
  ScratchFolder dir_{L"varfile"};
};

TEST_F(FileSource, IniValuesAndTextLines) {
  const std::wstring ini = dir_.Write(L"app.ini", L"[Main]\r\nName = Alice \r\nCount=42\r\nWord=many\r\n", TextEncoding::Ansi);
  const std::wstring text = dir_.Write(L"lines.txt", L"first\r\nsecond\nthird\rfourth\r\n", TextEncoding::Utf16Le);
  const std::wstring empty = dir_.Write(L"empty.txt", L"", TextEncoding::Ansi);
  struct Case {
    std::wstring source, argument, type, want;
  } cases[] = {
      {ini, L"Main;Name", L"STRING", L"Alice"},
      {ini, L"main;count", L"INTEGER", L"42"},
      {ini, L"Main;Word", L"INTEGER", L"0"},  // not a number
      {ini, L"Main;Missing", L"STRING", L"default"},
      {ini, L"Other;Name", L"STRING", L"default"},
      {text, L"2", L"STRING", L"third"},
      {text, L"", L"STRING", L"first"},
      {text, L"3", L"STRING", L"fourth"},
      {text, L"4", L"STRING", L"default"},  // past the end
      {text, L"-1", L"STRING", L"default"},
      {empty, L"0", L"STRING", L"default"},
      {dir_.path() + L"\\missing.txt", L"0", L"STRING", L"default"},  // then the registry, which has no such root
  };
  for (const auto& c : cases) EXPECT_EQ(Value(c.source, c.argument, c.type), c.want) << c.source << L" " << c.argument;
}

TEST_F(FileSource, WholeTextWithoutLineBreaksWithTheSwitch) {
  LoadConfig(L"[Setup]\r\nSetupParameters=-geturlremnl\r\n");
  const std::wstring text = dir_.Write(L"lines.txt", L"ab\r\ncd\nef\r\n", TextEncoding::Utf8Bom);
  EXPECT_EQ(Value(text, L"1"), L"abcdef");
}

TEST_F(FileSource, SourceAndArgumentAreLanguagePickedAndExpanded) {
  State().LanguageName = L"German";
  State().SetupTempDir = dir_.path();
  dir_.Write(L"de.txt", L"Hallo\r\nWelt\r\n", TextEncoding::Ansi);
  dir_.Write(L"en.txt", L"Hello\r\nWorld\r\n", TextEncoding::Ansi);
  EXPECT_EQ(Value(L"<SetupTempDir>\\en.txt#German[<SetupTempDir>\\de.txt]", L"0#German[1]"), L"Welt");
}

TEST_F(VariablesSection, RecordsOfOtherShapesDoNothingAndTheLaterDefinitionWins) {
  DefineVariable(L"<A>*?HKXX*?*?STRING*?five fields");
  DefineVariable(L"<A>*?HKXX*?*?STRING*?seven fields*?*?");
  EXPECT_EQ(ExpandVariables(L"<A>"), L"<A>");
  EXPECT_EQ(State().VariablesResultCount, 0);
  DefineVariable(Record(L"<A>", L"HKXX", L"", L"STRING", L"first"));
  DefineVariable(Record(L"<a>", L"HKXX", L"", L"STRING", L"second <AppName>"));
  EXPECT_EQ(ExpandVariables(L"[<A>]"), L"[second Demo]");
  EXPECT_EQ(Config().ReadString(L"VariablesResult", L"0"), L"<A>=first");
  EXPECT_EQ(Config().ReadString(L"VariablesResult", L"1"), L"<a>=second Demo");
  EXPECT_EQ(State().VariablesResultCount, 2);
}

TEST_F(VariablesSection, ScrambledRecordsBehaveLikeTheirPlainTwins) {
  // The scrambled form of a text: the character whose descrambled form it is.
  auto scramble = [](std::wstring_view plain) {
    std::wstring out;
    for (wchar_t c : plain) {
      for (wchar_t s = 32; s < 127; ++s)
        if (DescrambleField(std::wstring(1, s)) == std::wstring(1, c)) {
          out += s;
          break;
        }
    }
    return out;
  };
  ScratchFolder dir(L"scrambled");
  const std::wstring ini = dir.Write(L"a b.ini", L"[Main]\r\nName=Scrambled 7\r\n", TextEncoding::Ansi);
  std::wstring record;
  for (std::wstring_view f : {std::wstring_view(L"<Secret>"), std::wstring_view(ini), std::wstring_view(L"Main;Name"),
                              std::wstring_view(L"STRING"), std::wstring_view(L"none")})
    record += scramble(f) + L"*?";
  record += scramble(L"64-BIT");
  LoadConfig(L"[Setup]\r\nDataSens=1\r\n");
  DefineVariable(record);
  EXPECT_EQ(ExpandVariables(L"<Secret>"), L"Scrambled 7");
}

TEST_F(VariablesSection, ReservedNamesPresetTheSetup) {
  auto& s = State();
  auto define = [](std::wstring_view name, std::wstring_view value) {
    DefineVariable(Record(name, L"HKXX", L"", L"STRING", value));
  };
  define(L"<QueryText>", L"Alice");
  define(L"<querycustom>", L"ACME");
  define(L"<ComboBox>", L"Blue");
  define(L"<ComboBoxIndex>", L"2");
  define(L"<CheckBox>", L"0");
  define(L"<IfInstalled>", L"3");
  EXPECT_EQ(s.QueryText, L"Alice");
  EXPECT_EQ(ExpandVariables(L"<QueryText>"), L"Alice");
  EXPECT_EQ(s.QueryCustom, L"ACME");
  EXPECT_EQ(s.ComboBox, L"Blue");
  EXPECT_EQ(s.ComboBoxIndex, 2);
  EXPECT_EQ(s.CheckBoxPreset, 0);
  EXPECT_EQ(SetupInt(L"IfInstalled", -1), 3);
  define(L"<ComboBoxIndex>", L"none");
  define(L"<CheckBox>", L"none");
  EXPECT_EQ(s.ComboBoxIndex, -1);
  EXPECT_EQ(s.CheckBoxPreset, 1);
  for (auto [level, allUsers] : {std::pair{L"3", false}, std::pair{L"1", true}, std::pair{L"0", false},
                                 std::pair{L"2", true}, std::pair{L"x", false}}) {
    define(L"<InstallLevel>", level);
    EXPECT_EQ(s.AllUsers, allUsers) << level;
  }
  EXPECT_EQ(SetupInt(L"InstallLevel", -1), 0);
  s.TotalSize = 100;
  define(L"<ExtraDataFileSize>", L"50");
  EXPECT_EQ(s.TotalSize, 150);
  define(L"<TotalSize>", L"4294967296");
  EXPECT_EQ(s.TotalSize, 4294967296);
  EXPECT_EQ(SetupString(L"TotalSize"), L"4294967296");
  define(L"<ExtraDataFileSize>", L"lots");
  EXPECT_EQ(s.TotalSize, 4294967296);
  // None of them is a variable of its own.
  EXPECT_EQ(s.VariablesResultCount, 0);
}

TEST_F(VariablesSection, LanguageIsLoadedAgainAndTheWindowTextsFollow) {
  ScratchFolder dir(L"varlang");
  dir.Write(L"Englishek.lng", L"[Messages]\r\n38=Please wait\r\n", TextEncoding::Ansi);
  dir.Write(L"Germanek.lng", L"[Messages]\r\n38=Bitte warten\r\n", TextEncoding::Ansi);
  LoadConfig(L"[Setup]\r\nLanguage=English\r\n");
  State().SetupTempDir = dir.path();
  State().LanguageName = L"English";
  DefineVariable(Record(L"<Language>", L"HKXX", L"", L"STRING", L"German"));
  EXPECT_EQ(State().LanguageName, L"German");
  EXPECT_EQ(Language().ReadString(L"Messages", L"38"), L"Bitte warten");
  EXPECT_EQ(host_.languageTextsApplied, 1);
}

TEST_F(VariablesSection, MessageDefaultSpeaksOnlyWhenNothingIsFound) {
  ScratchFolder dir(L"varmsg");
  const std::wstring ini = dir.Write(L"a.ini", L"[S]\r\nK=found\r\n", TextEncoding::Ansi);
  DefineVariable(Record(L"<V>", ini, L"S;Missing", L"STRING", L"MSG(Not found, using <AppName>)[fallback]"));
  EXPECT_EQ(ExpandVariables(L"<V>"), L"fallback");
  ASSERT_EQ(host_.boxes.size(), 1u);
  const auto& box = host_.boxes[0];
  EXPECT_FALSE(box.owned);
  EXPECT_EQ(box.request.text, L"Not found, using Demo");
  EXPECT_EQ(box.request.caption, L"Demo 2.0");
  EXPECT_EQ(box.request.icon, MsgIcon::Information);
  EXPECT_TRUE(box.request.topmost);

  DefineVariable(Record(L"<V>", ini, L"S;K", L"STRING", L"MSG(Not found)[fallback]"));
  EXPECT_EQ(ExpandVariables(L"<V>"), L"found");
  DefineVariable(Record(L"<W>", ini, L"S;K", L"STRING", L"HALT(Cannot go on)"));  // found: harmless
  EXPECT_EQ(ExpandVariables(L"<W>"), L"found");
  EXPECT_EQ(host_.boxes.size(), 1u);

  // Without a fallback the value becomes empty; a silent run shows nothing.
  State().Silent = true;
  DefineVariable(Record(L"<X>", ini, L"S;Missing", L"STRING", L"MSG(Quiet)"));
  EXPECT_EQ(ExpandVariables(L"[<X>]"), L"[]");
  EXPECT_EQ(host_.boxes.size(), 1u);
  // Short defaults are plain values.
  DefineVariable(Record(L"<Y>", ini, L"S;Missing", L"STRING", L"MSG()"));
  EXPECT_EQ(ExpandVariables(L"<Y>"), L"MSG()");
}

TEST_F(VariablesSection, InputBoxAsksWithTheProductNameAndTakesTheAnswer) {
  host_.inputAnswer = L"  typed  ";
  EXPECT_EQ(Value(L"InputBox", L"Your <AppName> key:"), L"  typed  ");
  ASSERT_EQ(host_.inputs.size(), 1u);
  EXPECT_EQ(host_.inputs[0].title, L"Demo 2.0");
  EXPECT_EQ(host_.inputs[0].prompt, L"Your Demo key:");
  EXPECT_EQ(host_.inputs[0].initial, L"");
  host_.inputAnswer = std::nullopt;  // cancelled
  EXPECT_EQ(Value(L"INPUTBOX", L"?"), L"default");
  host_.inputAnswer = L" ";
  EXPECT_EQ(Value(L"INPUTBOX", L"?"), L" ");
  LoadConfig(L"[Setup]\r\nSetupParameters=-noemptyanswer\r\n");
  EXPECT_EQ(Value(L"INPUTBOX", L"?"), L"default");
  // Also in a silent run: the box is the only way to the value.
  State().Silent = true;
  host_.inputAnswer = L"silent answer";
  EXPECT_EQ(Value(L"INPUTBOX", L"?"), L"silent answer");
}

TEST_F(VariablesSection, FileChoiceTellsOrAsksFirst) {
  host_.fileAnswer = L"C:\\chosen.txt";
  EXPECT_EQ(Value(L"SELECTFILE", L"Pick the licence file"), L"C:\\chosen.txt");
  ASSERT_EQ(host_.boxes.size(), 1u);
  EXPECT_EQ(host_.boxes[0].request.text, L"Pick the licence file");
  EXPECT_EQ(host_.boxes[0].request.caption, L"Demo 2.0");
  EXPECT_EQ(host_.boxes[0].request.icon, MsgIcon::Information);
  EXPECT_FALSE(host_.boxes[0].owned);

  host_.answers = {platform::MsgResult::No};
  EXPECT_EQ(Value(L"SelectFileAsk", L"Choose one?"), L"default");
  EXPECT_EQ(host_.boxes.back().request.icon, MsgIcon::Question);
  EXPECT_EQ(host_.fileDialogs, 1);
  host_.answers = {platform::MsgResult::Yes};
  EXPECT_EQ(Value(L"SELECTFILEASK", L"Choose one?"), L"C:\\chosen.txt");
  EXPECT_EQ(host_.fileDialogs, 2);
  host_.fileAnswer = std::nullopt;
  EXPECT_EQ(Value(L"SELECTFILE", L""), L"default");
  EXPECT_EQ(host_.fileDialogs, 3);
  EXPECT_EQ(host_.boxes.size(), 3u);  // no box for an empty text

  // Silent: the plain form still shows its dialog, the asking form nothing.
  State().Silent = true;
  host_.fileAnswer = L"C:\\quiet.txt";
  EXPECT_EQ(Value(L"SELECTFILE", L"Pick"), L"C:\\quiet.txt");
  EXPECT_EQ(Value(L"SELECTFILEASK", L"Pick?"), L"default");
  EXPECT_EQ(host_.fileDialogs, 4);
  EXPECT_EQ(host_.boxes.size(), 3u);
}

TEST_F(VariablesSection, FolderChoiceStartsNearTheDefault) {
  ScratchFolder dir(L"varfolder");
  const std::wstring deep = dir.path() + L"\\missing\\deeper";
  host_.folderAnswer = dir.path() + L"\\";
  DefineVariable(Record(L"<Dir>", L"SELECTDIR", L"", L"STRING", deep));
  EXPECT_EQ(ExpandVariables(L"<Dir>"), dir.path());  // without the backslash
  ASSERT_EQ(host_.folderRequests.size(), 1u);
  EXPECT_EQ(host_.folderRequests[0].title, L"Select Folder");
  EXPECT_EQ(host_.folderRequests[0].initialFolder, dir.path());
  EXPECT_FALSE(host_.folderRequests[0].legacyBrowser);

  // Cancelled: nothing found, so the default stays.
  host_.folderAnswer = std::nullopt;
  DefineVariable(Record(L"<Dir>", L"SELECTDIR", L"", L"STRING", L"C:\\kept"));
  EXPECT_EQ(ExpandVariables(L"<Dir>"), L"C:\\kept");
  EXPECT_TRUE(host_.boxes.empty());
  host_.answers = {platform::MsgResult::No};
  DefineVariable(Record(L"<Dir>", L"SELECTDIRASK", L"Another folder?", L"STRING", L"C:\\asked"));
  EXPECT_EQ(ExpandVariables(L"<Dir>"), L"C:\\asked");
  EXPECT_EQ(host_.folderRequests.size(), 2u);
}

TEST_F(VariablesSection, BrowseForFolderKeepsOrClearsTheStart) {
  ScratchFolder dir(L"browse");
  const std::wstring start = dir.path() + L"\\sub\\deeper\\deepest";
  EXPECT_EQ(BrowseForFolder(start, false), start);
  EXPECT_EQ(BrowseForFolder(start, true), L"");
  // Three levels up is too far: the dialog chooses its own start.
  EXPECT_EQ(host_.folderRequests.back().initialFolder, L"");
  EXPECT_EQ(BrowseForFolder(dir.path() + L"\\sub", false), dir.path() + L"\\sub");
  EXPECT_EQ(host_.folderRequests.back().initialFolder, dir.path());
}

class SectionEvaluation : public VariablesSection {
 protected:
  static constexpr const wchar_t* kConfig =
      L"[Setup]\r\nAppName=Demo\r\nInstallDir=<Base>\\App\r\n%ls"
      L"[Variables]\r\n0=<Base>*?HKXX*?*?STRING*?C:\\From variables*?\r\n1=<Two>*?HKXX*?*?STRING*?<Base>-2*?\r\n";
  static void Load(const wchar_t* switches) {
    std::wstring text = kConfig;
    text.replace(text.find(L"%ls"), 3, switches);
    LoadConfig(text);
  }
};

TEST_F(SectionEvaluation, AtStartUpUnlessDeferredToTheFirstActivation) {
  Load(L"");
  EvaluateStartupVariables();
  EXPECT_EQ(ExpandVariables(L"<Two>"), L"C:\\From variables-2");
  EXPECT_TRUE(host_.waitShows.empty());

  State() = SetupState{};
  Load(L"SetupParameters=-varonactivate\r\n");
  EvaluateStartupVariables();
  EXPECT_EQ(ExpandVariables(L"<Base>"), L"<Base>");
  host_.waitCaption = L"Please wait";
  EvaluateDeferredVariables();
  EXPECT_EQ(ExpandVariables(L"<Two>"), L"C:\\From variables-2");
  EXPECT_EQ(host_.waitShows, std::vector<bool>{true});
  EXPECT_EQ(host_.waitCaption, L"Please wait..");  // one dot per record
  // The destination defaults are worked out again with the new values.
  EXPECT_EQ(State().InstallDir, L"C:\\From variables\\App");
}

TEST_F(SectionEvaluation, GetVariablesAddsNewerEntriesAndRefreshesTheOptions) {
  LoadConfig(L"[Setup]\r\n");
  EXPECT_FALSE(ReevaluateVariables());
  Load(L"");
  EvaluateStartupVariables();
  MutableConfig().WriteString(L"Variables", L"0", L"<Base>*?HKXX*?*?STRING*?D:\\Later*?");
  EXPECT_TRUE(ReevaluateVariables());
  EXPECT_EQ(ExpandVariables(L"<Two>"), L"D:\\Later-2");
  EXPECT_EQ(State().VariablesResultCount, 4);
  EXPECT_EQ(host_.optionsRefreshed, 1);
}

}  // namespace
}  // namespace ek
