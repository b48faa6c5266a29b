#include <gtest/gtest.h>

#include <algorithm>

#include "config/language.h"
#include "config/variables.h"
#include "setup_fixture.h"

namespace ek {
namespace {

using test::ScratchFolder;
using test::SetupStateTest;

TEST(PickLanguageText, Rules) {
  struct Case {
    const wchar_t* value;
    const wchar_t* language;
    bool noSubLanguage;
    const wchar_t* want;
  } cases[] = {
      {L"Welcome#German[Willkommen]French[Bienvenue]", L"French", false, L"Bienvenue"},
      {L"Welcome#German[Willkommen]French[Bienvenue]", L"English", false, L"Welcome"},
      {L"Welcome#German[Willkommen]French[Bienvenue]", L"german", false, L"Willkommen"},  // ignoring case
      {L"Welcome#German[Willkommen]", L"German", true, L"Welcome#German[Willkommen]"},    // -nosublng
      {L"C:\\Data[1]\\Files", L"English", false, L"C:\\Data[1]\\Files"},  // no "#", no language part
      {L"Plain#text", L"English", false, L"Plain#text"},                  // no "[" at all
      {L"Default#English[no closing bracket", L"English", false, L"no closing bracket"},
      {L"English[first]#English[second]", L"English", false, L"first"},  // the whole value is searched
      {L"Default#English[E]", L"", false, L"Default"},                   // an empty name picks nothing
      {L"", L"English", false, L""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(PickLanguageTextFor(c.value, c.language, c.noSubLanguage), c.want) << "case " << (&c - cases);
}

TEST(LanguageFlagIndex, NamesInLowerCase) {
  EXPECT_EQ(LanguageFlagIndex(L"English"), 0);
  EXPECT_EQ(LanguageFlagIndex(L"german"), 1);
  EXPECT_EQ(LanguageFlagIndex(L"GERMAN"), 1);
  EXPECT_EQ(LanguageFlagIndex(L"Brazilian Portuguese"), 14);
  EXPECT_EQ(LanguageFlagIndex(L"Portuguese"), 13);
  EXPECT_EQ(LanguageFlagIndex(L"Polish"), 22);
  EXPECT_EQ(LanguageFlagIndex(L"Klingon"), 0);
  EXPECT_EQ(LanguageFlagIndex(L""), 0);
}

class LanguageFiles : public SetupStateTest {
 protected:
  void SetUp() override {
    SetupStateTest::SetUp();
    folder_.Write(L"Englishek.lng", L"[Info]\r\nid=1033\r\nlng=en\r\n[Buttons]\r\n3=&Install\r\n");
    folder_.Write(L"Germanek.lng", L"[Info]\r\nid=1031\r\nlng=de\r\n[Buttons]\r\n3=&Installieren\r\n");
    // UTF-16 with a byte-order mark is read as well as UTF-8.
    folder_.Write(L"Frenchek.lng", L"[Info]\r\nid=1036\r\nlng=fr\r\n[Buttons]\r\n3=&Installer\r\n", TextEncoding::Utf16Le);
    folder_.Write(L"eksetup.ini", L"[Setup]\r\n");
    State().SetupTempDir = folder_.path();
  }
  std::vector<std::wstring> List() const {
    auto names = FindLanguageNames(folder_.path());
    std::sort(names.begin(), names.end());
    return names;
  }

  ScratchFolder folder_{L"lang"};
};

TEST_F(LanguageFiles, FindsTheOfferedLanguages) {
  EXPECT_EQ(List(), (std::vector<std::wstring>{L"English", L"French", L"German"}));
}

TEST_F(LanguageFiles, Choice) {
  const auto list = List();
  struct Case {
    bool autoDetect;
    std::optional<uint16_t> systemId;
    bool hide;
    const wchar_t* lng;
    bool menuHidden;
    const wchar_t* wantName;
    bool wantMenu;
  } cases[] = {
      {false, std::nullopt, false, L"", false, L"English", true},  // no rule: the configured language
      {true, 1031, false, L"", false, L"German", true},
      {true, 1036, false, L"", false, L"French", true},           // found in the UTF-16 file
      {true, 3079, false, L"", false, L"English", true},          // German (Austria) is not German (Germany)
      {true, std::nullopt, false, L"", false, L"English", true},  // an unknown LangIDMethod detects nothing
      {true, 1031, true, L"French", false, L"German", false},     // HideOtherLanguages: no /LNG, no menu
      {true, 3079, true, L"French", false, L"French", true},      // nothing detected: /LNG and menu apply
      {false, std::nullopt, false, L" german ", false, L"german", true},  // trimmed, kept as typed
      {false, std::nullopt, false, L"Klingon", false, L"English", true},  // not offered: ignored
      {false, 1031, false, L"", false, L"English", true},                 // detection switched off
      {false, std::nullopt, false, L"", true, L"English", false},
  };
  for (const auto& c : cases) {
    LanguageChoiceInputs in;
    in.autoDetect = c.autoDetect;
    in.systemLanguageId = c.systemId;
    in.hideOtherLanguages = c.hide;
    in.lngArgument = c.lng;
    in.menuHidden = c.menuHidden;
    const LanguageChoice got = ChooseLanguage(list, L"English", folder_.path(), in);
    EXPECT_EQ(got.name, c.wantName) << "case " << (&c - cases);
    EXPECT_EQ(got.menuOffered, c.wantMenu) << "case " << (&c - cases);
  }
}

TEST_F(LanguageFiles, OneLanguageMeansNoChoice) {
  LanguageChoiceInputs in;
  in.autoDetect = true;
  in.systemLanguageId = 1031;
  in.lngArgument = L"German";
  const LanguageChoice got = ChooseLanguage({L"German"}, L"English", folder_.path(), in);
  EXPECT_EQ(got.name, L"English");
  EXPECT_FALSE(got.menuOffered);
}

TEST_F(LanguageFiles, BuildLanguageListDetectsTheSystemLanguage) {
  const auto id = SystemLanguageId(2);
  ASSERT_TRUE(id.has_value());
  folder_.Write(L"Englishek.lng", L"[Info]\r\nid=9999\r\n");
  folder_.Write(L"Germanek.lng", L"[Info]\r\nid=" + ToText(*id) + L"\r\n");
  LoadConfig(L"[Setup]\r\nAutoDetectLanguage=1\r\nLangIDMethod=2\r\n");
  State().LanguageName = L"English";
  ASSERT_TRUE(BuildLanguageList());
  EXPECT_EQ(State().LanguageName, L"German");
  EXPECT_EQ(State().LanguageList.size(), 3u);
  EXPECT_TRUE(LanguageMenuOffered());

  LoadConfig(L"[Setup]\r\nAutoDetectLanguage=1\r\nLangIDMethod=2\r\nSetupParameters=-hidelng\r\n");
  State().LanguageName = L"English";
  ASSERT_TRUE(BuildLanguageList());
  EXPECT_EQ(State().LanguageName, L"German");
  EXPECT_FALSE(LanguageMenuOffered());
}

TEST_F(LanguageFiles, LoadingFallsBackToTheConfiguredLanguage) {
  LoadConfig(L"[Setup]\r\nLanguage=French\r\n");
  State().LanguageName = L"german";  // file names compare without case
  ASSERT_TRUE(LoadLanguageFile());
  EXPECT_EQ(State().LanguageName, L"german");
  EXPECT_EQ(LangText(L"Buttons", 3, L"Install"), L"&Installieren");
  EXPECT_EQ(ExpandVariables(L"<LNG>/<LNGID>"), L"de/1031");

  State().LanguageName = L"Klingon";
  ASSERT_TRUE(LoadLanguageFile());
  EXPECT_EQ(State().LanguageName, L"French");
  EXPECT_EQ(LangText(L"Buttons", 3, L"Install"), L"&Installer");
}

TEST_F(LanguageFiles, MissingEntriesGiveTheBuiltInDefault) {
  State().LanguageName = L"English";
  ASSERT_TRUE(LoadLanguageFile());
  EXPECT_EQ(LangText(L"Buttons", 3, BuiltInText(L"Buttons", 3)), L"&Install");
  EXPECT_EQ(LangText(L"Buttons", 8, BuiltInText(L"Buttons", 8)), L"Finish");
  EXPECT_EQ(LangText(L"messages", 41, BuiltInText(L"messages", 41)),
            L"<AppName> cannot run on %s.<#><#>Installation cannot continue.");
  EXPECT_EQ(LangText(L"Messages", 13, BuiltInText(L"Messages", 13)), L"");  // read without a default
  // Defaults that only one reader passes are not everybody's default.
  EXPECT_EQ(BuiltInText(L"Messages", 27), L"");
  EXPECT_EQ(BuiltInText(L"Messages", 33), L"");
}

}  // namespace
}  // namespace ek
