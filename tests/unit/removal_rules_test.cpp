// What the uninstaller may take away whatever the information file says:
// keys of Windows stay, and the list edit undoes an append or prepend exactly.
#include <gtest/gtest.h>

#include "removal_rules.h"

namespace ek::uninstall {
namespace {

TEST(UninstallRegistryEntries, KeysOfWindowsAreProtected) {
  constexpr KeyGuard kNone = KeyGuard::None, kEmpty = KeyGuard::UnlessEmpty, kNever = KeyGuard::Never;
  struct Case {
    Root root;
    const wchar_t* key;
    KeyGuard guard;
  } cases[] = {
      {Root::CurrentUser, L"Software", kNever},
      {Root::CurrentUser, L"Environment", kNever},
      {Root::CurrentUser, L"Software\\Vendor", kNone},
      {Root::LocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", kNever},
      {Root::LocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", kEmpty},
      {Root::LocalMachine, L"Software\\Wow6432Node\\Microsoft", kNever},
      {Root::LocalMachine, L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall", kEmpty},
      {Root::LocalMachine, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{1-2}", kNone},
      {Root::LocalMachine, L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\app.exe", kNone},
      {Root::LocalMachine, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", kNever},
      {Root::LocalMachine, L"Software\\Classes", kNever},
      {Root::LocalMachine, L"Software\\Classes\\CLSID", kNever},
      {Root::LocalMachine, L"Software\\Classes\\Applications", kEmpty},
      {Root::CurrentUser, L"Software\\Classes\\*", kNever},
      {Root::LocalMachine, L"Software\\Classes\\xyzfile", kNone},
      {Root::ClassesRoot, L".xyz", kNone},
      {Root::ClassesRoot, L"TypeLib", kNever},
      {Root::Users, L"S-1-5-21\\Software", kNever},
      {Root::Users, L"S-1-5-21\\Software\\Vendor", kNone},
      {Root::Users, L"S-1-5-21_Classes\\CLSID", kNever},
  };
  for (const auto& c : cases) EXPECT_EQ(GuardOf(c.root, c.key), c.guard) << c.key;
}

TEST(UninstallRegistryEntries, SharedClassesKeysAndProgIds) {
  EXPECT_TRUE(IsSharedClassesKey(Root::LocalMachine, L"SOFTWARE\\Classes\\.xyz"));
  EXPECT_TRUE(IsSharedClassesKey(Root::ClassesRoot, L"xyzfile\\shell"));
  EXPECT_FALSE(IsSharedClassesKey(Root::LocalMachine, L"Software\\Classes\\CLSID\\{1}"));
  EXPECT_FALSE(IsSharedClassesKey(Root::CurrentUser, L"Software\\Vendor"));
  EXPECT_TRUE(IsProgIdKey(Root::CurrentUser, L"Software\\Classes\\xyzfile"));
  EXPECT_FALSE(IsProgIdKey(Root::CurrentUser, L"Software\\Classes\\.xyz"));
  EXPECT_FALSE(IsProgIdKey(Root::CurrentUser, L"Software\\Classes\\xyzfile\\shell"));
  EXPECT_TRUE(IsRegistrationKey(L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{G}"));
  EXPECT_FALSE(IsRegistrationKey(L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"));
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

}  // namespace
}  // namespace ek::uninstall
