// The entries of the uninstall information file: what the setup writes is
// read back unchanged, the written forms stay those that installed
// uninstallers know, and what a damaged or hostile file holds is refused
// before the uninstaller acts on it. Also the [Files] records that the
// builder writes and the file stage reads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/file_record.h"
#include "base/uninstall_entries.h"

namespace ek::uninstall {
namespace {

using Kind = EnvironmentEntry::Kind;

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
      {L"C:\\App\\CON", false, false},         // device names, also with an extension
      {L"C:\\App\\aux.txt", false, false},
      {L"C:\\App\\LPT1\\x.txt", false, false},
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
    Root root;
    const wchar_t* key;
  } cases[] = {
      {L"DHKEY_CURRENT_USER\\Software\\Vendor", true, ViewMark::Default, Root::CurrentUser, L"Software\\Vendor"},
      {L"3HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.xyz", true, ViewMark::View32, Root::LocalMachine,
       L"SOFTWARE\\Classes\\.xyz"},
      {L"6HKEY_USERS\\S-1-5-21\\Software\\V", true, ViewMark::View64, Root::Users, L"S-1-5-21\\Software\\V"},
      {L"HKEY_CLASSES_ROOT\\xyzfile", true, ViewMark::Default, Root::ClassesRoot, L"xyzfile"},  // no view field
      {L"DHKCU\\Software\\V", true, ViewMark::Default, Root::CurrentUser, L"Software\\V"},
      {L"", false, {}, {}, L""},
      {L"DHKEY_DEFAULT\\Software\\V", false, {}, {}, L""},
      {L"DHKEY_PERFORMANCE_DATA\\V", false, {}, {}, L""},
      {L"NHKEY_CURRENT_USER\\Software\\V", true, ViewMark::Default, Root::CurrentUser, L"Software\\V"},
      {L"*HKEY_CURRENT_USER\\Software\\V", false, {}, {}, L""},
      {L"DHKEY_CURRENT_USER", false, {}, {}, L""},
      {L"DHKEY_CURRENT_USER\\", false, {}, {}, L""},
      {L"DHKEY_CURRENT_USER\\Software\\\\V", false, {}, {}, L""},
      {L"DHKEY_CURRENT_USER\\Software\\..\\V", false, {}, {}, L""},
      {L"DHKEY_CURRENT_USER\\Software\\V\\", false, {}, {}, L""},
  };
  for (const auto& c : cases) {
    auto e = RegistryKeyEntry::Parse(c.text);
    ASSERT_EQ(e.has_value(), c.ok) << c.text;
    if (!e) continue;
    EXPECT_EQ(e->mark, c.mark) << c.text;
    EXPECT_EQ(e->root, c.root) << c.text;
    EXPECT_EQ(e->key, c.key) << c.text;
  }
  auto v = RegistryValueEntry::Parse(L"DHKEY_CURRENT_USER\\Software\\V*?Name*?x");
  ASSERT_TRUE(v);
  EXPECT_EQ(v->key, L"Software\\V");
  EXPECT_EQ(v->valueName, L"Name*?x");  // only the first separator splits
  auto def = RegistryValueEntry::Parse(L"6HKEY_LOCAL_MACHINE\\Software\\V*?");
  ASSERT_TRUE(def);
  EXPECT_EQ(def->valueName, L"");
  EXPECT_FALSE(RegistryValueEntry::Parse(L"DHKEY_CURRENT_USER\\Software\\V"));
  EXPECT_FALSE(RegistryValueEntry::Parse(L"DHKEY_DEFAULT\\Software\\V*?Name"));
}

TEST(UninstallEnvironmentEntries, KindScopeNameAndText) {
  struct Case {
    const wchar_t* text;
    bool ok;
    Kind kind;
    bool system;
    const wchar_t* name;
    const wchar_t* value;
  } cases[] = {
      {L"USPATH*?C:\\Tools", true, Kind::Added, true, L"PATH", L"C:\\Tools"},
      {L"WUMYVAR*?1", true, Kind::Overwritten, false, L"MYVAR", L"1"},
      {L"WUMYVAR*?", true, Kind::Overwritten, false, L"MYVAR", L""},
      {L"DUNEWVAR", true, Kind::Created, false, L"NEWVAR", L""},
      {L"DUNEWVAR*?x", false, {}, false, L"", L""},
      {L"UUPATH", false, {}, false, L"", L""},
      {L"XUA*?1", false, {}, false, L"", L""},
      {L"WXA*?1", false, {}, false, L"", L""},
      {L"WU*?1", false, {}, false, L"", L""},
      {L"WUA=B*?1", false, {}, false, L"", L""},
  };
  for (const auto& c : cases) {
    auto e = EnvironmentEntry::Parse(c.text);
    ASSERT_EQ(e.has_value(), c.ok) << c.text;
    if (!e) continue;
    EXPECT_EQ(e->kind, c.kind);
    EXPECT_EQ(e->system, c.system);
    EXPECT_EQ(e->name, c.name);
    EXPECT_EQ(e->text, c.value);
  }
}

TEST(UninstallCommands, RecordFields) {
  auto e = ExecEntry::Parse(L"\"C:\\App\\tool.exe\"*?/clean <ExitCode>*?hide*?Yes*?+");
  ASSERT_TRUE(e);
  EXPECT_EQ(e->command, L"\"C:\\App\\tool.exe\"");
  EXPECT_EQ(e->parameters, L"/clean <ExitCode>");
  EXPECT_EQ(e->Show(), 0);
  EXPECT_TRUE(e->Waits());
  EXPECT_TRUE(e->Elevates());
  e = ExecEntry::Parse(L"tool*?*?Maximized*?no*?no");
  ASSERT_TRUE(e);
  EXPECT_EQ(e->Show(), 3);
  EXPECT_FALSE(e->Waits());
  EXPECT_FALSE(e->Elevates());
  e = ExecEntry::Parse(L"tool");  // fields missing at the end take their defaults
  ASSERT_TRUE(e);
  EXPECT_EQ(e->Show(), 1);
  EXPECT_FALSE(ExecEntry::Parse(L""));
  EXPECT_FALSE(ExecEntry::Parse(L" *?x"));
}

TEST(UninstallTexts, MessagesAndLists) {
  EXPECT_EQ(FormatMessageText(L"Uninstall %s", L"Demo"), L"Uninstall Demo");
  EXPECT_EQ(FormatMessageText(L"%S is running.%nClose it.", L"Demo"), L"Demo is running.\r\nClose it.");
  IniDocument doc;
  doc.Parse(L"[Files]\r\n2=c\r\n0=a\r\nx=not a number\r\n1=\r\n10=d\r\n");
  EXPECT_EQ(ListValues(doc, L"Files"), (std::vector<std::wstring>{L"a", L"", L"c", L"d"}));
  EXPECT_TRUE(ListValues(doc, L"Folders").empty());
}

// ---- what the setup writes ----------------------------------------------

// The written forms are read by uninstallers already installed: they must
// not drift.
TEST(UninstallEntryForms, WrittenExactly) {
  EXPECT_EQ((RegistryKeyEntry{ViewMark::View32, Root::LocalMachine, L"SOFTWARE\\Classes\\.xyz"}.Format()),
            L"3HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.xyz");
  EXPECT_EQ((RegistryKeyEntry{ViewMark::Default, Root::CurrentUser, L"Software\\V"}.Format()),
            L"DHKEY_CURRENT_USER\\Software\\V");
  const RegistryKeyEntry users{ViewMark::View64, Root::Users, L"S-1\\Software\\V"};
  EXPECT_EQ((RegistryValueEntry{users, L"Version"}.Format()), L"6HKEY_USERS\\S-1\\Software\\V*?Version");
  const RegistryKeyEntry classes{ViewMark::Default, Root::ClassesRoot, L".xyz"};
  EXPECT_EQ((RegistryValueEntry{classes, L""}.Format()), L"DHKEY_CLASSES_ROOT\\.xyz*?");  // the default value
  EXPECT_EQ((IniValueEntry{L"C:\\App\\app.ini", L"Main", L"Key"}.Format()), L"C:\\App\\app.ini*?Main*?Key");
  EXPECT_EQ((EnvironmentEntry{Kind::Overwritten, false, L"MYVAR", L"old"}.Format()), L"WUMYVAR*?old");
  EXPECT_EQ((EnvironmentEntry{Kind::Added, true, L"PATH", L"C:\\Tools"}.Format()), L"USPATH*?C:\\Tools");
  EXPECT_EQ((EnvironmentEntry{Kind::Created, true, L"NEW", L"ignored"}.Format()), L"DSNEW");
  EXPECT_EQ((ExecEntry{L"tool.exe", L"/x", L"Hide", L"yes", L""}.Format()), L"tool.exe*?/x*?Hide*?yes*?");
  EXPECT_EQ(PathEntry{L"C:\\App\\a.txt"}.Format(), L"C:\\App\\a.txt");
  EXPECT_EQ(FolderEntry{L"C:\\App"}.Format(), L"C:\\App");
}

template <typename Entry>
Entry RoundTrip(const Entry& e) {
  auto back = Entry::Parse(e.Format());
  EXPECT_TRUE(back) << e.Format();
  return back ? *back : Entry{};
}

TEST(UninstallEntryForms, ReadBackAsWritten) {
  for (Root root : {Root::CurrentUser, Root::LocalMachine, Root::ClassesRoot, Root::Users}) {
    for (ViewMark mark : {ViewMark::View32, ViewMark::View64, ViewMark::Default}) {
      const RegistryKeyEntry key{mark, root, L"Software\\Vendor\\Product 2"};
      const RegistryKeyEntry k = RoundTrip(key);
      EXPECT_EQ(k.mark, mark);
      EXPECT_EQ(k.root, root);
      EXPECT_EQ(k.key, key.key);
      for (const wchar_t* name : {L"", L"Version", L"with*?separator", L"a = b"}) {
        const RegistryValueEntry v = RoundTrip(RegistryValueEntry{key, name});
        EXPECT_EQ(v.mark, mark);
        EXPECT_EQ(v.root, root);
        EXPECT_EQ(v.key, key.key);
        EXPECT_EQ(v.valueName, name);
      }
    }
  }
  for (const wchar_t* path : {L"C:\\App\\a.txt", L"\\\\server\\share\\App\\b c.dll", L"d:/mixed/slashes.txt"})
    EXPECT_EQ(RoundTrip(PathEntry{path}).path, path);
  EXPECT_EQ(RoundTrip(FolderEntry{L"\\\\server\\share\\App"}).path, L"\\\\server\\share\\App");
  const IniValueEntry ini = RoundTrip(IniValueEntry{L"C:\\App\\app.ini", L"Main Section", L"Key"});
  EXPECT_EQ(ini.file, L"C:\\App\\app.ini");
  EXPECT_EQ(ini.section, L"Main Section");
  EXPECT_EQ(ini.key, L"Key");
  for (Kind kind : {Kind::Overwritten, Kind::Added, Kind::Created}) {
    for (bool system : {false, true}) {
      const EnvironmentEntry e{kind, system, L"EK_VAR", kind == Kind::Created ? L"" : L"C:\\a;%X%"};
      const EnvironmentEntry back = RoundTrip(e);
      EXPECT_EQ(back.kind, kind);
      EXPECT_EQ(back.system, system);
      EXPECT_EQ(back.name, e.name);
      EXPECT_EQ(back.text, e.text);
    }
  }
  const ExecEntry exec = RoundTrip(ExecEntry{L"\"C:\\App\\t.exe\"", L"", L"MINIMIZED", L"+", L"No"});
  EXPECT_EQ(exec.command, L"\"C:\\App\\t.exe\"");
  EXPECT_EQ(exec.parameters, L"");
  EXPECT_EQ(exec.Show(), 2);
  EXPECT_TRUE(exec.Waits());
  EXPECT_FALSE(exec.Elevates());
}

// Whatever else a file may hold: nothing the uninstaller could be led to
// act on outside what an installation records.
TEST(UninstallEntryForms, HostileEntriesAreRefused) {
  for (const wchar_t* text : {L"..\\..\\Windows\\win.ini", L"C:\\App\\..\\..\\Windows", L"\\\\?\\C:\\Windows",
                              L"\\\\.\\PhysicalDrive0", L"C:\\App\\a.txt::$DATA", L"C:\\App\\<x>", L"CON"})
    EXPECT_FALSE(PathEntry::Parse(text)) << text;
  for (const wchar_t* text : {L"C:\\", L"C:", L"\\\\server\\share\\", L"C:\\Windows\\..", L"relative\\folder",
                              L"C:\\App\\\\", L"C:\\App\\NUL"})
    EXPECT_FALSE(FolderEntry::Parse(text)) << text;
  EXPECT_EQ(FolderEntry::Parse(L"C:\\App\\")->path, L"C:\\App");  // one trailing "\" is the same folder

  const std::wstring longKey = L"DHKEY_CURRENT_USER\\Software\\" + std::wstring(5000, L'k');
  for (const std::wstring& text :
       {std::wstring(L"DHKEY_CURRENT_USER\\Software\\a\x01z"), std::wstring(L"D\\Software\\V"),
        std::wstring(L"DHKEY_CURRENT_CONFIG\\Software\\V"), std::wstring(L"D HKEY_CURRENT_USER\\Software\\V"),
        std::wstring(L"DHKEY_CURRENT_USER\\.\\V"), longKey})
    EXPECT_FALSE(RegistryKeyEntry::Parse(text)) << text.substr(0, 60);

  for (const wchar_t* text : {L"app.ini*?S*?K", L"C:\\a.ini*? *?K", L"C:\\a.ini*?S*? ", L"C:\\a.ini*?S",
                              L"C:\\a.ini*?S*?K*?extra", L"C:\\..\\a.ini*?S*?K"})
    EXPECT_FALSE(IniValueEntry::Parse(text)) << text;

  for (const std::wstring& text : {std::wstring(L"WUA\nB*?1"), std::wstring(L"DU"), std::wstring(L"dsX*?y"),
                                   std::wstring(L"UU=*?x")})
    EXPECT_FALSE(EnvironmentEntry::Parse(text)) << text;
  EXPECT_TRUE(EnvironmentEntry::Parse(L"dsX"));  // letters of either case
}

TEST(UninstallEntryForms, InstalledMainProgram) {
  IniDocument info;
  info.Parse(L"[General]\r\nMainExecutable=C:\\Old\\app.exe\r\n");
  EXPECT_EQ(InstalledMainExe(info), L"C:\\Old\\app.exe");
  info.Parse(L"[General]\r\nMainExecutable=C:\\Old\\app.exe\r\nMainExe=C:\\New\\app.exe\r\n");
  EXPECT_EQ(InstalledMainExe(info), L"C:\\New\\app.exe");
}

TEST(UninstallTexts, OneLineAndBack) {
  const std::wstring line = MessageLine(L"Remove %s?\r\nAll files go.\nReally?\rYes");
  EXPECT_EQ(line, L"Remove %s?%nAll files go.%nReally?%nYes");
  EXPECT_EQ(FormatMessageText(line, L"Demo"), L"Remove Demo?\r\nAll files go.\r\nReally?\r\nYes");
}

}  // namespace
}  // namespace ek::uninstall

namespace ek {
namespace {

TEST(FileRecords, WrittenAndReadBack) {
  const FileRecord r{L"<InstallDir>\\bin\\tool.dll", L"21"};
  EXPECT_EQ(r.Format(), L"<InstallDir>\\bin\\tool.dll?21");
  const auto back = FileRecord::Parse(r.Format());
  ASSERT_TRUE(back);
  EXPECT_EQ(back->destination, r.destination);
  EXPECT_EQ(back->flags, r.flags);
  EXPECT_EQ(FileRecord::Parse(L"<InstallDir>\\data\\?11")->destination, L"<InstallDir>\\data\\");  // a folder record
  EXPECT_EQ(FileRecord::Parse(L"a?1?1")->flags, L"1?1");  // the first "?" separates
  EXPECT_FALSE(FileRecord::Parse(L""));
  EXPECT_FALSE(FileRecord::Parse(L"<InstallDir>\\a.txt"));
  EXPECT_FALSE(FileRecord::Parse(L"a?1")->HasFlags());
  EXPECT_FALSE(FileRecord::Parse(L"a?")->HasFlags());
}

TEST(FileRecords, OverwriteModeAndUninstallFlag) {
  struct Case {
    const wchar_t* flags;
    OverwriteMode mode;
    bool recorded;
  } cases[] = {
      {L"01", OverwriteMode::Ask, true},
      {L"10", OverwriteMode::Replace, false},
      {L"21", OverwriteMode::ReplaceIfNewer, true},
      {L"31", OverwriteMode::Keep, true},
      {L"41", OverwriteMode::ReplaceWithoutBackup, true},
      {L"92", OverwriteMode::ReplaceWithoutBackup, false},
      {L"x1", OverwriteMode::Replace, true},  // not a digit
      {L"1Y", OverwriteMode::Replace, false},
      {L"111", OverwriteMode::Replace, true},  // further characters are not used
  };
  for (const auto& c : cases) {
    const FileRecord r{L"<InstallDir>\\a", c.flags};
    ASSERT_TRUE(r.HasFlags()) << c.flags;
    EXPECT_EQ(r.Overwrite(), c.mode) << c.flags;
    EXPECT_EQ(r.RecordForUninstall(), c.recorded) << c.flags;
  }
}

}  // namespace
}  // namespace ek
