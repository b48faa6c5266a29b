// Reading the entries of the uninstall information file: what is accepted,
// what a damaged or hostile file cannot make the uninstaller touch, and the
// list edit that undoes an append or prepend exactly.
#include <gtest/gtest.h>

#include "uninstall_entries.h"

namespace ek::uninstall {
namespace {

using platform::RegRoot;

TEST(UninstallPaths, OnlyPlainAbsolutePathsAreAccepted) {
  struct Case {
    const wchar_t* path;
    bool file, folder;
  } cases[] = {
      {L"C:\\Program Files\\App\\a.txt", true, true},
      {L"c:\\a\\", true, true},
      {L"C:/App/x", true, true},
      {L"\\\\server\\share\\App", true, true},
      {L"C:\\", true, false},                  // a drive root is never a folder to remove
      {L"\\\\server\\share", true, false},     // nor the root of a share
      {L"", false, false},
      {L"App\\a.txt", false, false},           // relative
      {L"\\App\\a.txt", false, false},         // relative to the current drive
      {L"C:App", false, false},
      {L"C:\\App\\..\\Windows", false, false},
      {L"C:\\App\\.\\a", false, false},
      {L"C:/App/../Windows", false, false},
      {L"C:\\App\\..", false, false},
      {L"C:\\App\\...", false, false},         // shortened by Windows to another name
      {L"C:\\App\\a. ", false, false},
      {L"C:\\App\\\\a", false, false},         // empty component
      {L"C:\\App\\a.txt:stream", false, false},
      {L"C:\\App\\*.txt", false, false},
      {L"\\\\?\\C:\\App", false, false},       // device and extended forms
      {L"\\\\.\\C:\\App", false, false},
      {L"\\\\server", false, false},
      {L"C:\\App\\a\tb", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsSafePath(c.path), c.file) << c.path;
    EXPECT_EQ(IsSafeFolder(c.path), c.folder) << c.path;
  }
  EXPECT_TRUE(IsBelow(L"C:\\App\\Sub\\x.exe", L"c:\\app"));
  EXPECT_FALSE(IsBelow(L"C:\\Apple\\x.exe", L"C:\\App"));
  EXPECT_FALSE(IsBelow(L"C:\\App", L"C:\\App"));
  EXPECT_EQ(PathDepth(L"C:\\a\\b"), 2u);
  EXPECT_EQ(PathDepth(L"\\\\srv\\share\\a"), 1u);
}

TEST(UninstallRegistryEntries, MarkRootAndKey) {
  struct Case {
    const wchar_t* text;
    bool ok;
    ViewMark mark;
    RegRoot root;
    const wchar_t* key;
  } cases[] = {
      {L"DHKEY_CURRENT_USER\\Software\\Vendor", true, ViewMark::Default, RegRoot::CurrentUser, L"Software\\Vendor"},
      {L"3HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.xyz", true, ViewMark::View32, RegRoot::LocalMachine,
       L"SOFTWARE\\Classes\\.xyz"},
      {L"6HKEY_USERS\\S-1-5-21\\Software\\V", true, ViewMark::View64, RegRoot::Users, L"S-1-5-21\\Software\\V"},
      {L"HKEY_CLASSES_ROOT\\xyzfile", true, ViewMark::Default, RegRoot::ClassesRoot, L"xyzfile"},  // no view field
      {L"DHKCU\\Software\\V", true, ViewMark::Default, RegRoot::CurrentUser, L"Software\\V"},
      {L"", false, {}, {}, L""},
      {L"DHKEY_DEFAULT\\Software\\V", false, {}, {}, L""},
      {L"DHKEY_PERFORMANCE_DATA\\V", false, {}, {}, L""},
      {L"NHKEY_CURRENT_USER\\Software\\V", true, ViewMark::Default, RegRoot::CurrentUser, L"Software\\V"},
      {L"*HKEY_CURRENT_USER\\Software\\V", false, {}, {}, L""},
      {L"DHKEY_CURRENT_USER", false, {}, {}, L""},
      {L"DHKEY_CURRENT_USER\\", false, {}, {}, L""},
      {L"DHKEY_CURRENT_USER\\Software\\\\V", false, {}, {}, L""},
      {L"DHKEY_CURRENT_USER\\Software\\..\\V", false, {}, {}, L""},
      {L"DHKEY_CURRENT_USER\\Software\\V\\", false, {}, {}, L""},
  };
  for (const auto& c : cases) {
    auto e = ParseRegistryKeyEntry(c.text);
    ASSERT_EQ(e.has_value(), c.ok) << c.text;
    if (!e) continue;
    EXPECT_EQ(e->mark, c.mark) << c.text;
    EXPECT_EQ(e->root, c.root) << c.text;
    EXPECT_EQ(e->key, c.key) << c.text;
  }
  auto v = ParseRegistryValueEntry(L"DHKEY_CURRENT_USER\\Software\\V*?Name*?x");
  ASSERT_TRUE(v);
  EXPECT_EQ(v->key, L"Software\\V");
  EXPECT_EQ(v->valueName, L"Name*?x");  // only the first separator splits
  auto def = ParseRegistryValueEntry(L"6HKEY_LOCAL_MACHINE\\Software\\V*?");
  ASSERT_TRUE(def);
  EXPECT_EQ(def->valueName, L"");
  EXPECT_FALSE(ParseRegistryValueEntry(L"DHKEY_CURRENT_USER\\Software\\V"));
  EXPECT_FALSE(ParseRegistryValueEntry(L"DHKEY_DEFAULT\\Software\\V*?Name"));
}

TEST(UninstallRegistryEntries, KeysOfWindowsAreProtected) {
  constexpr KeyGuard kNone = KeyGuard::None, kEmpty = KeyGuard::UnlessEmpty, kNever = KeyGuard::Never;
  struct Case {
    RegRoot root;
    const wchar_t* key;
    KeyGuard guard;
  } cases[] = {
      {RegRoot::CurrentUser, L"Software", kNever},
      {RegRoot::CurrentUser, L"Environment", kNever},
      {RegRoot::CurrentUser, L"Software\\Vendor", kNone},
      {RegRoot::LocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", kNever},
      {RegRoot::LocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", kEmpty},
      {RegRoot::LocalMachine, L"Software\\Wow6432Node\\Microsoft", kNever},
      {RegRoot::LocalMachine, L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall", kEmpty},
      {RegRoot::LocalMachine, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{1-2}", kNone},
      {RegRoot::LocalMachine, L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\app.exe", kNone},
      {RegRoot::LocalMachine, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", kNever},
      {RegRoot::LocalMachine, L"Software\\Classes", kNever},
      {RegRoot::LocalMachine, L"Software\\Classes\\CLSID", kNever},
      {RegRoot::LocalMachine, L"Software\\Classes\\Applications", kEmpty},
      {RegRoot::CurrentUser, L"Software\\Classes\\*", kNever},
      {RegRoot::LocalMachine, L"Software\\Classes\\xyzfile", kNone},
      {RegRoot::ClassesRoot, L".xyz", kNone},
      {RegRoot::ClassesRoot, L"TypeLib", kNever},
      {RegRoot::Users, L"S-1-5-21\\Software", kNever},
      {RegRoot::Users, L"S-1-5-21\\Software\\Vendor", kNone},
      {RegRoot::Users, L"S-1-5-21_Classes\\CLSID", kNever},
  };
  for (const auto& c : cases) EXPECT_EQ(GuardOf(c.root, c.key), c.guard) << c.key;
}

TEST(UninstallRegistryEntries, SharedClassesKeysAndProgIds) {
  EXPECT_TRUE(IsSharedClassesKey(RegRoot::LocalMachine, L"SOFTWARE\\Classes\\.xyz"));
  EXPECT_TRUE(IsSharedClassesKey(RegRoot::ClassesRoot, L"xyzfile\\shell"));
  EXPECT_FALSE(IsSharedClassesKey(RegRoot::LocalMachine, L"Software\\Classes\\CLSID\\{1}"));
  EXPECT_FALSE(IsSharedClassesKey(RegRoot::CurrentUser, L"Software\\Vendor"));
  EXPECT_TRUE(IsProgIdKey(RegRoot::CurrentUser, L"Software\\Classes\\xyzfile"));
  EXPECT_FALSE(IsProgIdKey(RegRoot::CurrentUser, L"Software\\Classes\\.xyz"));
  EXPECT_FALSE(IsProgIdKey(RegRoot::CurrentUser, L"Software\\Classes\\xyzfile\\shell"));
  EXPECT_TRUE(IsRegistrationKey(L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{G}"));
  EXPECT_FALSE(IsRegistrationKey(L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"));
}

TEST(UninstallEnvironmentEntries, KindScopeNameAndText) {
  struct Case {
    const wchar_t* text;
    bool ok;
    wchar_t kind;
    bool system;
    const wchar_t* name;
    const wchar_t* value;
  } cases[] = {
      {L"USPATH*?C:\\Tools", true, L'U', true, L"PATH", L"C:\\Tools"},
      {L"WUMYVAR*?1", true, L'W', false, L"MYVAR", L"1"},
      {L"WUMYVAR*?", true, L'W', false, L"MYVAR", L""},
      {L"DUNEWVAR", true, L'D', false, L"NEWVAR", L""},
      {L"DUNEWVAR*?x", false, 0, false, L"", L""},
      {L"UUPATH", false, 0, false, L"", L""},
      {L"XUA*?1", false, 0, false, L"", L""},
      {L"WXA*?1", false, 0, false, L"", L""},
      {L"WU*?1", false, 0, false, L"", L""},
      {L"WUA=B*?1", false, 0, false, L"", L""},
  };
  for (const auto& c : cases) {
    auto e = ParseEnvironmentEntry(c.text);
    ASSERT_EQ(e.has_value(), c.ok) << c.text;
    if (!e) continue;
    EXPECT_EQ(e->kind, c.kind);
    EXPECT_EQ(e->system, c.system);
    EXPECT_EQ(e->name, c.name);
    EXPECT_EQ(e->text, c.value);
  }
}

TEST(UninstallEnvironmentEntries, RemovingTheAddedPartOnly) {
  struct Case {
    const wchar_t* list;
    const wchar_t* part;
    const wchar_t* want;  // nullptr: not in the list
  } cases[] = {
      {L"C:\\Windows;C:\\Bin;C:\\Tools", L"C:\\Tools", L"C:\\Windows;C:\\Bin"},  // appended
      {L"C:\\Tools;C:\\Windows", L"c:\\tools", L"C:\\Windows"},                 // prepended, other case
      {L"C:\\A;C:\\Tools;C:\\B", L"C:\\Tools", L"C:\\A;C:\\B"},
      {L"C:\\Tools", L"C:\\Tools", L""},
      {L"C:\\A;;C:\\Tools;", L"C:\\Tools", L"C:\\A;;"},  // other separators stay
      {L"C:\\A;X;Y;C:\\B", L"X;Y", L"C:\\A;C:\\B"},       // a part that is itself a list
      {L"C:\\Tools;C:\\Tools", L"C:\\Tools", L"C:\\Tools"},
      {L"C:\\Tools2;C:\\A", L"C:\\Tools", nullptr},
      {L"C:\\A", L"", nullptr},
      {L"", L"C:\\Tools", nullptr},
  };
  for (const auto& c : cases) {
    auto got = RemoveListPart(c.list, c.part);
    if (!c.want) {
      EXPECT_FALSE(got) << c.list;
      continue;
    }
    ASSERT_TRUE(got) << c.list;
    EXPECT_EQ(*got, c.want) << c.list;
  }
}

TEST(UninstallCommands, RecordFields) {
  auto e = ParseExecEntry(L"\"C:\\App\\tool.exe\"*?/clean <ExitCode>*?hide*?Yes*?+");
  ASSERT_TRUE(e);
  EXPECT_EQ(e->command, L"\"C:\\App\\tool.exe\"");
  EXPECT_EQ(e->parameters, L"/clean <ExitCode>");
  EXPECT_EQ(e->show, 0);
  EXPECT_TRUE(e->wait);
  EXPECT_TRUE(e->elevate);
  e = ParseExecEntry(L"tool*?*?Maximized*?no*?no");
  ASSERT_TRUE(e);
  EXPECT_EQ(e->show, 3);
  EXPECT_FALSE(e->wait);
  EXPECT_FALSE(e->elevate);
  e = ParseExecEntry(L"tool");  // fields missing at the end take their defaults
  ASSERT_TRUE(e);
  EXPECT_EQ(e->show, 1);
  EXPECT_FALSE(ParseExecEntry(L""));
  EXPECT_FALSE(ParseExecEntry(L" *?x"));
}

TEST(UninstallTexts, MessagesAndLists) {
  EXPECT_EQ(FormatMessageText(L"Uninstall %s", L"Demo"), L"Uninstall Demo");
  EXPECT_EQ(FormatMessageText(L"%S is running.%nClose it.", L"Demo"), L"Demo is running.\r\nClose it.");
  IniDocument doc;
  doc.Parse(L"[Files]\r\n2=c\r\n0=a\r\nx=not a number\r\n1=\r\n10=d\r\n");
  EXPECT_EQ(ListValues(doc, L"Files"), (std::vector<std::wstring>{L"a", L"", L"c", L"d"}));
  EXPECT_TRUE(ListValues(doc, L"Folders").empty());
}

}  // namespace
}  // namespace ek::uninstall
