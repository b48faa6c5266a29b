// The uninstall information file: list numbering in first and update
// installations, the duplicate check, KeepRegistryKey and the [General] keys.
#include <gtest/gtest.h>

#include "install/uninstall_info.h"
#include "setup_fixture.h"

using namespace ek;

namespace {

class UninstallInfo : public test::SetupStateTest {
 protected:
  void SetUp() override {
    test::SetupStateTest::SetUp();
    LoadConfig(L"[Setup]\nAppName=Prod\nAppVersion=1.0\n");
    LoadLanguageTexts(L"");
    State().UninstallIni = std::make_unique<IniDocument>();
    State().CheckUninstallDuplicates = true;
    State().LimitDuplicateCheck = true;
  }
  IniDocument& U() { return *State().UninstallIni; }
  // An update over a previous file, as the driver takes it over.
  void TakeOver(const std::wstring& previous) {
    U().Parse(previous);
    State().UpdateMode = true;
    State().FilesBase = NextListKey(U(), L"Files");
    State().RegistryValuesBase = NextListKey(U(), L"RegistryValues");
  }
};

TEST_F(UninstallInfo, FirstInstallationNumbersInRecordingOrder) {
  AddToUninstallList(L"Files", L"C:\\P\\a.exe");
  AddToUninstallList(L"Files", L"C:\\P\\A.EXE");  // no duplicate check outside update mode
  AddToUninstallList(L"Folders", L"C:\\P");
  AddToUninstallList(L"RegistryValues", L"DHKEY_CURRENT_USER\\Software\\P*?V");
  EXPECT_EQ(U().ReadString(L"Files", L"0"), L"C:\\P\\a.exe");
  EXPECT_EQ(U().ReadString(L"Files", L"1"), L"C:\\P\\A.EXE");
  EXPECT_EQ(U().ReadString(L"Folders", L"0"), L"C:\\P");
  EXPECT_EQ(U().ReadString(L"RegistryValues", L"0"), L"DHKEY_CURRENT_USER\\Software\\P*?V");
  EXPECT_EQ(State().FilesAdded, 2);
}

TEST_F(UninstallInfo, UpdateExtendsListsWithoutDuplicates) {
  std::wstring previous = L"[Files]\n";
  for (int i = 0; i < 10; ++i) previous += ToText(i) + L"=C:\\P\\f" + ToText(i) + L".txt\n";
  previous += L"[Folders]\n0=C:\\P\n";
  TakeOver(previous);
  EXPECT_EQ(State().FilesBase, 10);
  AddToUninstallList(L"Files", L"c:\\p\\F3.TXT");  // an older entry, other case
  AddToUninstallList(L"Files", L"C:\\P\\new.txt");
  AddToUninstallList(L"Files", L"C:\\P\\new.txt");  // only older entries are compared
  AddToUninstallList(L"Folders", L"C:\\P");
  AddToUninstallList(L"Folders", L"C:\\P\\sub");
  AddToUninstallList(L"Folders", L"C:\\P\\sub");  // other lists also see this run's entries
  EXPECT_EQ(U().KeyCount(L"Files"), 12u);
  EXPECT_EQ(U().ReadString(L"Files", L"10"), L"C:\\P\\new.txt");
  EXPECT_EQ(U().ReadString(L"Files", L"11"), L"C:\\P\\new.txt");
  EXPECT_EQ(U().KeyCount(L"Folders"), 2u);
  EXPECT_EQ(U().ReadString(L"Folders", L"1"), L"C:\\P\\sub");
}

TEST_F(UninstallInfo, DuplicateCheckLimitsAndCaseRules) {
  std::wstring previous = L"[Files]\n";
  for (int i = 0; i < 1000; ++i) previous += ToText(i) + L"=C:\\P\\f" + ToText(i) + L"\n";
  TakeOver(previous);
  AddToUninstallList(L"Files", L"C:\\P\\f5");  // 1000 older entries: no check
  EXPECT_EQ(U().ReadString(L"Files", L"1000"), L"C:\\P\\f5");
  State().LimitDuplicateCheck = false;
  AddToUninstallList(L"Files", L"C:\\P\\f6");
  EXPECT_FALSE(U().KeyExists(L"Files", L"1001"));
  State().ExactDuplicateCompare = true;
  AddToUninstallList(L"Files", L"C:\\P\\F7");
  EXPECT_EQ(U().ReadString(L"Files", L"1001"), L"C:\\P\\F7");
}

TEST_F(UninstallInfo, KeepRegistryKeyEmptiesContainingEntries) {
  AddToUninstallList(L"RegistryKeys", L"DHKEY_CURRENT_USER\\Software\\A");
  AddToUninstallList(L"RegistryKeys", L"DHKEY_CURRENT_USER\\Software\\A\\B");
  AddToUninstallList(L"RegistryKeys", L"DHKEY_CURRENT_USER\\Software\\Z");
  KeepRegistryKey(*uninstall::RegistryKeyEntry::Parse(L"DHKEY_CURRENT_USER\\Software\\A\\B\\C"));
  EXPECT_EQ(U().ReadString(L"RegistryKeys", L"0"), L"");
  EXPECT_EQ(U().ReadString(L"RegistryKeys", L"1"), L"");
  EXPECT_EQ(U().ReadString(L"RegistryKeys", L"2"), L"DHKEY_CURRENT_USER\\Software\\Z");
  EXPECT_TRUE(U().KeyExists(L"RegistryKeys", L"0"));  // the key stays, emptied
}

TEST_F(UninstallInfo, GeneralKeysFollowTheConfiguration) {
  struct Case {
    const wchar_t* installDir;
    const wchar_t* expected;
  } cases[] = {{L"c:\\program files", L"0"}, {L"C:\\Windows\\System32", L"0"}, {L"C:\\Program Files\\Product", L"1"}};
  for (const auto& c : cases) {
    U().Clear();
    LoadConfig(L"[Setup]\nAppName=Prod\nUninstallFull=1\nUninstallCloseApp=0\n");
    State().CreateUninstaller = true;
    State().InstallDir = c.installDir;
    WriteUninstallGeneralKeys();
    EXPECT_EQ(U().ReadString(L"General", L"UninstallFull"), c.expected) << c.installDir;
  }
  // An update keeps keys the previous installation wrote unless told otherwise.
  U().Parse(L"[General]\nCloseApp=x.exe\nCloseAppName=X\nAltMethod=1\nMainExecutable=old.exe\n");
  State().UpdateMode = true;
  WriteUninstallGeneralKeys();
  EXPECT_FALSE(U().KeyExists(L"General", L"CloseApp"));
  EXPECT_TRUE(U().KeyExists(L"General", L"CloseAppName"));
  EXPECT_EQ(U().ReadString(L"General", L"AltMethod"), L"1");
  EXPECT_FALSE(U().KeyExists(L"General", L"MainExecutable"));
}

TEST_F(UninstallInfo, UpgradeWithCheckNoUpdateKeepsProductKeysAndTexts) {
  LoadConfig(L"[Setup]\nAppName=New\nUpgradeMode=1\nCheckNoUpdate=1\n");
  LoadLanguageTexts(L"[Uninstall]\n0=Remove %s\n");
  U().Parse(L"[General]\nAppName=Old\n[Messages]\n0=Uninstall %s\n");
  WriteUninstallGeneralKeys();
  EXPECT_EQ(U().ReadString(L"General", L"AppName"), L"Old");
  EXPECT_EQ(U().ReadString(L"Messages", L"0"), L"Uninstall %s");
  LoadConfig(L"[Setup]\nAppName=New\n");
  WriteUninstallGeneralKeys();
  EXPECT_EQ(U().ReadString(L"General", L"AppName"), L"New");
  EXPECT_EQ(U().ReadString(L"Messages", L"0"), L"Remove %s");
}

}  // namespace
