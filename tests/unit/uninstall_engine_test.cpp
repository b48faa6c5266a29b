// The uninstaller against Wine's real files and registry: each test lays out
// what an installation would have left, feeds a synthetic information file
// and checks that exactly the recorded things are gone and nothing else.
#include <gtest/gtest.h>

#include <functional>

#include "base/result.h"
#include "base/text.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "uninstall_engine.h"

namespace ek::uninstall {
namespace {

using platform::RegKey;
using platform::RegRoot;
using platform::RegView;

std::wstring BinFolder() { return FolderPart(platform::ModulePath()); }

void RemoveTree(const std::wstring& folder) {
  for (const auto& e : platform::ListDirectory(folder)) {
    const std::wstring p = folder + L"\\" + e.name;
    if (e.isDirectory) {
      RemoveTree(p);
    } else {
      Ignore(platform::SetAttributes(p, platform::kAttrNormal));
      Ignore(platform::DeleteFileAt(p));
    }
  }
  Ignore(platform::RemoveDirectoryAt(folder));
}

bool WriteValue(RegRoot root, const std::wstring& key, const std::wstring& name, const std::wstring& data,
                RegView view = RegView::View64) {
  RegKey k;
  return k.Create(root, key, view) && k.WriteString(name, data);
}

std::optional<std::wstring> ReadValue(RegRoot root, const std::wstring& key, const std::wstring& name,
                                      RegView view = RegView::View64) {
  RegKey k;
  if (!k.Open(root, key, view, false)) return std::nullopt;
  return k.ReadString(name);
}

bool KeyExists(RegRoot root, const std::wstring& key, RegView view = RegView::View64) {
  return platform::RegKeyExists(root, key, view);
}

// A private folder and registry key per test; the information file is text
// in which {DIR} and {KEY} stand for them.
class UninstallEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    static int counter = 0;
    tag_ = ToText(platform::CurrentProcessId()) + L"-" + ToText(++counter);
    dir_ = platform::TempFolder() + L"\\ekuninst-" + tag_;
    key_ = L"Software\\EkUninstallTest\\" + tag_;
    EXPECT_TRUE(platform::CreateDirectoryTree(dir_));
    ASSERT_TRUE(WriteValue(RegRoot::CurrentUser, key_, L"", L"test root"));
  }
  void TearDown() override {
    RemoveTree(dir_);
    Ignore(platform::DeleteKeyTree(RegRoot::CurrentUser, key_, RegView::View64));
    for (const auto& [root, key, view] : registryToClean_) Ignore(platform::DeleteKeyTree(root, key, view));
  }

  std::wstring Expand(std::wstring_view text) const {
    return ReplaceAll(ReplaceAll(ReplaceAll(text, L"{DIR}", dir_), L"{KEY}", key_), L"{TAG}", tag_);
  }
  std::wstring File(std::wstring_view relative, std::wstring_view content = L"data") const {
    const std::wstring path = dir_ + L"\\" + std::wstring(relative);
    EXPECT_TRUE(platform::CreateDirectoryTree(FolderPart(path)));
    EXPECT_TRUE(platform::WriteTextFile(path, content, TextEncoding::Utf8));
    return path;
  }
  bool Exists(std::wstring_view relative) const { return platform::PathExists(dir_ + L"\\" + std::wstring(relative)); }

  // Writes the information file; its time is the moment of the installation.
  void Install(std::wstring_view text) {
    info_.Parse(Expand(text));
    const std::wstring path = dir_ + L"\\Uninstall.ini";
    ASSERT_TRUE(platform::WriteTextFile(path, info_.Serialize(), TextEncoding::Utf8Bom));
    options_.installedAt = platform::LastWriteTime(path);
    Ignore(platform::DeleteFileAt(path));
    platform::SleepMs(20);
  }
  Report RemoveAll() {
    Uninstaller u(info_, options_);
    u.RemoveAll();
    return u.report();
  }
  void CleanLater(RegRoot root, const std::wstring& key, RegView view = RegView::View64) {
    registryToClean_.push_back({root, key, view});
  }

  std::wstring tag_, dir_, key_;
  IniDocument info_;
  Options options_;
  std::vector<std::tuple<RegRoot, std::wstring, RegView>> registryToClean_;
};

TEST_F(UninstallEngine, FilesGoFoldersGoWhenEmptyUserChangesStay) {
  File(L"app\\a.txt");
  const std::wstring readOnly = File(L"app\\ro.txt");
  EXPECT_TRUE(platform::SetAttributes(readOnly, platform::kAttrReadOnly));
  File(L"app\\sub\\deep\\b.txt");
  File(L"app\\changed.txt", L"as installed");
  File(L"app\\user\\installed.txt");
  File(L"app\\Uninstall.exe");
  File(L"app\\empty\\keep.me");
  Ignore(platform::DeleteFileAt(dir_ + L"\\app\\empty\\keep.me"));
  // Stamped with a time in the future, as an archive from another time zone
  // can be: written before the installation ended all the same.
  const std::wstring future = File(L"app\\future.txt");
  EXPECT_TRUE(platform::SetLastWriteTime(future, *platform::LastWriteTime(future) + 36000ull * 10000000ull));
  File(L"other.txt");
  options_.selfPath = dir_ + L"\\app\\Uninstall.exe";
  Install(L"[General]\r\nInstallDir={DIR}\\app\r\n"
          L"[Folders]\r\n0={DIR}\\app\r\n1={DIR}\\app\\sub\r\n2={DIR}\\app\\sub\\deep\r\n3={DIR}\\app\\user\r\n"
          L"4={DIR}\\app\\empty\r\n"
          L"[Files]\r\n0={DIR}\\app\\a.txt\r\n1={DIR}\\app\\ro.txt\r\n2={DIR}\\app\\sub\\deep\\b.txt\r\n"
          L"3={DIR}\\app\\changed.txt\r\n4={DIR}\\app\\user\\installed.txt\r\n5={DIR}\\app\\Uninstall.exe\r\n"
          L"6={DIR}\\app\\future.txt\r\n7={DIR}\\app\\never-installed.txt\r\n");
  // After the installation the user edits one file and adds another.
  File(L"app\\changed.txt", L"edited by the user");
  File(L"app\\user\\mine.txt");

  const Report r = RemoveAll();
  EXPECT_TRUE(r.Complete());
  for (const wchar_t* gone : {L"app\\a.txt", L"app\\ro.txt", L"app\\sub", L"app\\user\\installed.txt",
                              L"app\\future.txt", L"app\\empty"})
    EXPECT_FALSE(Exists(gone)) << gone;
  for (const wchar_t* kept : {L"app\\changed.txt", L"app\\user\\mine.txt", L"app\\Uninstall.exe", L"other.txt"})
    EXPECT_TRUE(Exists(kept)) << kept;
  EXPECT_EQ(r.kept.size(), 2u);  // the edited file and the folder with the user's file
  // The folder holding the running uninstaller is left to its copy.
  EXPECT_EQ(r.foldersLeft, std::vector<std::wstring>{dir_ + L"\\app"});
}

TEST_F(UninstallEngine, FullUninstallTakesTheInstallationFolderWithEverything) {
  File(L"app\\a.txt");
  File(L"app\\Uninstall.exe");
  File(L"keep\\other.txt");
  options_.selfPath = dir_ + L"\\app\\Uninstall.exe";
  Install(L"[General]\r\nInstallDir={DIR}\\app\r\nUninstallFull=1\r\n"
          L"[Folders]\r\n0={DIR}\\app\r\n[Files]\r\n0={DIR}\\app\\a.txt\r\n1={DIR}\\app\\Uninstall.exe\r\n");
  File(L"app\\a.txt", L"edited");
  File(L"app\\data\\settings.dat");
  const Report r = RemoveAll();
  EXPECT_TRUE(r.Complete());
  EXPECT_EQ(platform::ListDirectory(dir_ + L"\\app").size(), 1u);  // only the running uninstaller
  EXPECT_TRUE(Exists(L"keep\\other.txt"));
}

TEST_F(UninstallEngine, RegistryValuesAndKeysInTheirViews) {
  const std::wstring hklm32 = L"Software\\EkUninstallTest32-" + tag_, hklm64 = L"Software\\EkUninstallTest64-" + tag_;
  CleanLater(RegRoot::LocalMachine, hklm32, RegView::View32);
  CleanLater(RegRoot::LocalMachine, hklm32, RegView::View64);
  CleanLater(RegRoot::LocalMachine, hklm64, RegView::View64);
  WriteValue(RegRoot::CurrentUser, key_ + L"\\Created\\Deep", L"v", L"1");
  WriteValue(RegRoot::CurrentUser, key_ + L"\\Created", L"later", L"written by the product");
  WriteValue(RegRoot::CurrentUser, key_ + L"\\Kept", L"V", L"installed");
  WriteValue(RegRoot::CurrentUser, key_ + L"\\Kept", L"", L"installed default");
  WriteValue(RegRoot::CurrentUser, key_ + L"\\Kept", L"Other", L"not installed");
  WriteValue(RegRoot::LocalMachine, hklm32, L"x", L"32", RegView::View32);
  WriteValue(RegRoot::LocalMachine, hklm32, L"x", L"64 of the same name", RegView::View64);
  WriteValue(RegRoot::LocalMachine, hklm64, L"x", L"64", RegView::View64);
  Install(L"[RegistryKeys]\r\n0=DHKEY_CURRENT_USER\\{KEY}\\Created\r\n1=DHKEY_CURRENT_USER\\{KEY}\\Created\\Deep\r\n"
          L"2=\r\n"  // the key of "Kept", emptied because it holds a value that stays
          L"3=3HKEY_LOCAL_MACHINE\\Software\\EkUninstallTest32-{TAG}\r\n"
          L"4=6HKEY_LOCAL_MACHINE\\Software\\EkUninstallTest64-{TAG}\r\n"
          L"[RegistryValues]\r\n0=DHKEY_CURRENT_USER\\{KEY}\\Created\\Deep*?v\r\n1=DHKEY_CURRENT_USER\\{KEY}\\Kept*?V\r\n"
          L"2=DHKEY_CURRENT_USER\\{KEY}\\Kept*?\r\n3=DHKEY_CURRENT_USER\\{KEY}\\Missing*?V\r\n");
  const Report r = RemoveAll();
  EXPECT_TRUE(r.Complete());
  EXPECT_FALSE(KeyExists(RegRoot::CurrentUser, key_ + L"\\Created"));
  EXPECT_EQ(ReadValue(RegRoot::CurrentUser, key_ + L"\\Kept", L"V"), std::nullopt);
  EXPECT_EQ(ReadValue(RegRoot::CurrentUser, key_ + L"\\Kept", L""), std::nullopt);
  EXPECT_EQ(ReadValue(RegRoot::CurrentUser, key_ + L"\\Kept", L"Other"), L"not installed");
  EXPECT_EQ(ReadValue(RegRoot::CurrentUser, key_, L""), L"test root");
  EXPECT_FALSE(KeyExists(RegRoot::LocalMachine, hklm32, RegView::View32));
  EXPECT_EQ(ReadValue(RegRoot::LocalMachine, hklm32, L"x", RegView::View64), L"64 of the same name");
  EXPECT_FALSE(KeyExists(RegRoot::LocalMachine, hklm64));
}

TEST_F(UninstallEngine, AssociationKeysAndTheProgIdBackup) {
  const std::wstring classes = L"Software\\Classes\\";
  const std::wstring ext = L".ek" + ReplaceAll(tag_, L"-", L""), progId = L"ektest" + ReplaceAll(tag_, L"-", L"") + L"file";
  const std::wstring other = L"ektestother" + ReplaceAll(tag_, L"-", L"");
  for (const auto& k : {ext, progId, progId + L"_copy", other}) CleanLater(RegRoot::CurrentUser, classes + k);
  // As the association wrote them: in the native view, recorded with mark 3.
  WriteValue(RegRoot::CurrentUser, classes + ext, L"", progId);
  WriteValue(RegRoot::CurrentUser, classes + progId + L"\\shell\\open\\command", L"", L"new.exe \"%1\"");
  WriteValue(RegRoot::CurrentUser, classes + progId + L"_copy", L"", L"the old description");
  WriteValue(RegRoot::CurrentUser, classes + progId + L"_copy\\DefaultIcon", L"", L"old.exe,0");
  WriteValue(RegRoot::CurrentUser, classes + other, L"", L"untouched");
  WriteValue(RegRoot::CurrentUser, classes + other + L"_copy", L"", L"a backup of no recorded key");
  Install(L"[RegistryKeys]\r\n0=3HKEY_CURRENT_USER\\Software\\Classes\\" + ext + L"\r\n" +
          L"1=3HKEY_CURRENT_USER\\Software\\Classes\\" + progId + L"\r\n");
  const Report r = RemoveAll();
  EXPECT_TRUE(r.Complete());
  EXPECT_FALSE(KeyExists(RegRoot::CurrentUser, classes + ext));
  EXPECT_EQ(ReadValue(RegRoot::CurrentUser, classes + progId, L""), L"the old description");
  EXPECT_EQ(ReadValue(RegRoot::CurrentUser, classes + progId + L"\\DefaultIcon", L""), L"old.exe,0");
  EXPECT_FALSE(KeyExists(RegRoot::CurrentUser, classes + progId + L"\\shell"));
  EXPECT_FALSE(KeyExists(RegRoot::CurrentUser, classes + progId + L"_copy"));
  EXPECT_TRUE(KeyExists(RegRoot::CurrentUser, classes + other + L"_copy"));
}

TEST_F(UninstallEngine, RegistrationGoesLastAndAlsoWhenOnlyItNamesThisUninstaller) {
  const std::wstring base = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  const std::wstring guid = L"{EkTest-" + tag_ + L"}";
  for (const auto& k : {guid, guid + L"_ek2", guid + L"_ek3"}) CleanLater(RegRoot::CurrentUser, base + k);
  options_.selfPath = dir_ + L"\\Uninstall.exe";
  WriteValue(RegRoot::CurrentUser, base + guid, L"UninstallString", L"C:\\elsewhere\\Uninstall.exe");
  WriteValue(RegRoot::CurrentUser, base + guid + L"_ek2", L"UninstallString", options_.selfPath);
  WriteValue(RegRoot::CurrentUser, base + guid + L"_ek3", L"UninstallString", L"C:\\other\\Uninstall.exe");
  Install(L"[General]\r\nGUID=" + guid + L"\r\n[RegistryKeys]\r\n0=DHKEY_CURRENT_USER\\" + base + guid + L"\r\n");
  const Report r = RemoveAll();
  EXPECT_TRUE(r.Complete());
  EXPECT_FALSE(KeyExists(RegRoot::CurrentUser, base + guid));
  EXPECT_FALSE(KeyExists(RegRoot::CurrentUser, base + guid + L"_ek2"));
  EXPECT_TRUE(KeyExists(RegRoot::CurrentUser, base + guid + L"_ek3"));
}

TEST_F(UninstallEngine, IniValuesAreTakenOutOfFilesThatStay) {
  const std::wstring before = L"; the user's comment\r\n[User]\r\nname=me\r\n[App]\r\nkeep=1\r\n";
  const std::wstring ini = File(L"settings.ini", before + L"added=2\r\n\r\n[NewSection]\r\nx=1\r\n");
  const std::wstring wide = dir_ + L"\\wide.ini";
  EXPECT_TRUE(platform::WriteTextFile(wide, L"[S]\r\nk=v\r\nmine=1\r\n", TextEncoding::Utf16Le));
  Install(L"[INIValues]\r\n0={DIR}\\settings.ini*?App*?added\r\n1={DIR}\\settings.ini*?newsection*?X\r\n"
          L"2={DIR}\\wide.ini*?S*?k\r\n3={DIR}\\missing.ini*?S*?k\r\n");
  const Report r = RemoveAll();
  EXPECT_TRUE(r.Complete());
  EXPECT_EQ(*platform::ReadWholeFile(ini), WideToUtf8(before));
  bool ok = false;
  DecodedText t = platform::ReadTextFile(wide, TextEncoding::Ansi, &ok);
  EXPECT_EQ(t.encoding, TextEncoding::Utf16Le);
  EXPECT_EQ(t.text, L"[S]\r\nmine=1\r\n");
  EXPECT_FALSE(Exists(L"missing.ini"));
}

TEST_F(UninstallEngine, EnvironmentChangesAreUndoneInReverse) {
  const std::wstring user = L"Environment";
  const std::wstring sys = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
  const std::wstring n = L"EKT" + ReplaceAll(tag_, L"-", L"_") + L"_";
  auto write = [](RegRoot root, const std::wstring& key, const std::wstring& name, const std::wstring& value,
                  bool expandable) {
    RegKey k;
    ASSERT_TRUE(k.Open(root, key, RegView::View64, true));
    ASSERT_TRUE(k.WriteString(name, value, expandable));
  };
  auto read = [](RegRoot root, const std::wstring& key, const std::wstring& name) -> std::optional<platform::RegValue> {
    RegKey k;
    if (!k.Open(root, key, RegView::View64, false)) return std::nullopt;
    return k.ReadValue(name);
  };
  write(RegRoot::CurrentUser, user, n + L"APPENDED", L"C:\\A;C:\\Tools", true);
  write(RegRoot::CurrentUser, user, n + L"PREPENDED", L"C:\\Pre;C:\\A;", false);
  write(RegRoot::CurrentUser, user, n + L"OVERWRITTEN", L"new", false);
  write(RegRoot::CurrentUser, user, n + L"CREATED", L"created", false);
  write(RegRoot::CurrentUser, user, n + L"CHAIN", L"2;C:\\X", false);  // "1", overwritten with "2", then appended to
  write(RegRoot::LocalMachine, sys, n + L"SYSTEM", L"created", false);
  Install(L"[Environment]\r\n0=UU" + n + L"APPENDED*?C:\\Tools\r\n1=UU" + n + L"PREPENDED*?c:\\pre\r\n" + L"2=WU" + n +
          L"OVERWRITTEN*?old %TEMP%\r\n3=DU" + n + L"CREATED\r\n4=WU" + n + L"REMOVED*?was here\r\n" + L"5=WU" + n +
          L"CHAIN*?1\r\n6=UU" + n + L"CHAIN*?C:\\X\r\n7=DS" + n + L"SYSTEM\r\n8=UU" + n + L"ABSENT*?C:\\Y\r\n");
  const Report r = RemoveAll();
  EXPECT_TRUE(r.Complete());
  auto appended = read(RegRoot::CurrentUser, user, n + L"APPENDED");
  ASSERT_TRUE(appended);
  EXPECT_EQ(appended->type, platform::kRegExpandSz);
  RegKey k;
  ASSERT_TRUE(k.Open(RegRoot::CurrentUser, user, RegView::View64, true));
  EXPECT_EQ(k.ReadString(n + L"APPENDED"), L"C:\\A");
  EXPECT_EQ(k.ReadString(n + L"PREPENDED"), L"C:\\A;");
  EXPECT_EQ(k.ReadString(n + L"OVERWRITTEN"), L"old %TEMP%");
  EXPECT_FALSE(k.ValueExists(n + L"CREATED"));
  EXPECT_EQ(k.ReadString(n + L"REMOVED"), L"was here");  // a removed variable comes back
  EXPECT_EQ(k.ReadString(n + L"CHAIN"), L"1");
  EXPECT_FALSE(k.ValueExists(n + L"ABSENT"));
  EXPECT_FALSE(read(RegRoot::LocalMachine, sys, n + L"SYSTEM"));
  for (const wchar_t* v : {L"APPENDED", L"PREPENDED", L"OVERWRITTEN", L"REMOVED", L"CHAIN"}) Ignore(k.DeleteValue(n + v));
}

TEST_F(UninstallEngine, ComponentsAreUnregisteredBeforeTheirFilesGo) {
  // ActiveX through regsvr32: the stand-in server writes a value named by
  // its own path when registered and removes it when unregistered.
  const std::wstring com = dir_ + L"\\server.dll";
  ASSERT_TRUE(platform::CopyFileTo(BinFolder() + L"\\ekcomserver.dll", com, false));
  const std::wstring regsvr32 = platform::ShellFolder(0x25) + L"\\regsvr32.exe";
  ASSERT_EQ(platform::RunAndWait(L"\"" + regsvr32 + L"\" /s \"" + com + L"\"", true), 0u);
  auto registered = [&] { return ReadValue(RegRoot::CurrentUser, L"Software\\EkComServerTest", com).has_value(); };
  ASSERT_TRUE(registered());
  // A type library, registered as the installation does.
  const std::wstring tlb = dir_ + L"\\library.tlb";
  const std::wstring guid = platform::NewGuidText();
  ASSERT_EQ(platform::RunAndWait(L"\"" + BinFolder() + L"\\ekprobe.exe\" typelib \"" + tlb + L"\" " + guid, true), 0u);
  CleanLater(RegRoot::ClassesRoot, L"TypeLib\\" + guid);
  bool loaded = false;
  ASSERT_TRUE(platform::RegisterTypeLibrary(tlb, dir_, &loaded));
  ASSERT_TRUE(KeyExists(RegRoot::ClassesRoot, L"TypeLib\\" + guid));
  // .NET assemblies through RegAsm; the stand-in records its command line.
  File(L"assembly.dll");
  Ignore(platform::SetEnvironmentValue(L"EK_ARGDUMP_DIR", dir_));
  // A font of the session (one that Wine has not loaded already).
  std::wstring font;
  for (const wchar_t* f : {L"Z:\\usr\\share\\wine\\fonts\\webdings.ttf", L"Z:\\usr\\share\\wine\\fonts\\symbol.ttf"})
    if (font.empty() && platform::CopyFileTo(f, dir_ + L"\\font.ttf", false)) font = dir_ + L"\\font.ttf";
  if (!font.empty()) {
    EXPECT_GT(platform::AddFont(font), 0);
  }
  // The screen saver setting that names the installed file.
  const std::wstring scr = File(L"saver.scr");
  const auto oldSaver = ReadValue(RegRoot::CurrentUser, L"Control Panel\\Desktop", L"SCRNSAVE.EXE");
  WriteValue(RegRoot::CurrentUser, L"Control Panel\\Desktop", L"SCRNSAVE.EXE", scr);

  Install(L"[General]\r\nRegAsmExe=" + BinFolder() + L"\\argdump.exe\r\n"
          L"[ActiveX]\r\n0={DIR}\\server.dll\r\n[TypeLibrary]\r\n0={DIR}\\library.tlb\r\n"
          L"[.NET-Assembly]\r\n0={DIR}\\assembly.dll\r\n[Fonts]\r\n0={DIR}\\font.ttf\r\n[ScreenSaver]\r\n0={DIR}\\saver.scr\r\n"
          L"[Files]\r\n0={DIR}\\server.dll\r\n1={DIR}\\library.tlb\r\n2={DIR}\\assembly.dll\r\n3={DIR}\\font.ttf\r\n"
          L"4={DIR}\\saver.scr\r\n");
  const Report r = RemoveAll();
  Ignore(platform::SetEnvironmentValue(L"EK_ARGDUMP_DIR", L""));
  if (oldSaver) WriteValue(RegRoot::CurrentUser, L"Control Panel\\Desktop", L"SCRNSAVE.EXE", *oldSaver);
  EXPECT_TRUE(r.Complete()) << (r.failed.empty() ? std::string() : WideToUtf8(r.failed[0]));
  EXPECT_FALSE(registered());
  EXPECT_FALSE(KeyExists(RegRoot::ClassesRoot, L"TypeLib\\" + guid));
  const auto log = platform::ReadWholeFile(dir_ + L"\\argdump.log");
  ASSERT_TRUE(log);
  EXPECT_NE(log->find(WideToUtf8(L"\"" + dir_ + L"\\assembly.dll\" /unregister /s")), std::string::npos) << *log;
  if (!font.empty()) {
    EXPECT_FALSE(platform::RemoveFont(font));  // no longer added
  }
  if (!oldSaver) {
    EXPECT_EQ(ReadValue(RegRoot::CurrentUser, L"Control Panel\\Desktop", L"SCRNSAVE.EXE"), std::nullopt);
  }
  for (const wchar_t* f : {L"server.dll", L"library.tlb", L"assembly.dll", L"font.ttf", L"saver.scr"})
    EXPECT_FALSE(Exists(f)) << f;
}

TEST_F(UninstallEngine, ComponentThatCannotBeUnregisteredIsReported) {
  Install(L"[TypeLibrary]\r\n0={DIR}\\gone.tlb\r\n[.NET-Assembly]\r\n0={DIR}\\gone.dll\r\n");
  const Report r = RemoveAll();
  EXPECT_FALSE(r.Complete());
  EXPECT_EQ(r.failed.size(), 2u);
}

TEST_F(UninstallEngine, CommandsRunInOrderWithTheLastExitCode) {
  const std::wstring argdump = BinFolder() + L"\\argdump.exe";
  Ignore(platform::SetEnvironmentValue(L"EK_ARGDUMP_DIR", dir_));
  Ignore(platform::SetEnvironmentValue(L"EK_ARGDUMP_EXIT", L"7"));
  auto run = [&](std::wstring_view general, bool silent) {
    Install(L"[General]\r\n" + std::wstring(general) + L"[ExecBeforeUninstall]\r\n0=" + argdump +
            L"*?first*?HIDE*?Yes*?No\r\n1=\"" + argdump + L"\"*?after <exitcode>*?NORMAL*?Yes*?No\r\n"
            L"2=C:\\no such program.exe*?*?NORMAL*?Yes*?No\r\n");
    options_.silent = silent;
    Uninstaller u(info_, options_);
    u.RunCommands(kExecAtUninstallStart);  // nothing recorded for this moment
    u.RunCommands(kExecBeforeUninstall);
    return u.report();
  };
  Report r = run(L"NoCmdIfSilent=1\r\n", false);
  Ignore(platform::SetEnvironmentValue(L"EK_ARGDUMP_EXIT", L""));
  const std::string log = platform::ReadWholeFile(dir_ + L"\\argdump.log").value_or("");
  const size_t first = log.find("argdump.exe\" first"), second = log.find("argdump.exe\" after 7");
  EXPECT_NE(first, std::string::npos) << log;
  EXPECT_NE(second, std::string::npos) << log;
  EXPECT_LT(first, second);
  EXPECT_EQ(r.notes.size(), 1u);  // the program that does not exist
  EXPECT_TRUE(r.Complete());

  Ignore(platform::DeleteFileAt(dir_ + L"\\argdump.log"));
  r = run(L"NoCmdIfSilent=1\r\n", true);
  EXPECT_FALSE(platform::FileExists(dir_ + L"\\argdump.log"));
  Ignore(platform::SetEnvironmentValue(L"EK_ARGDUMP_DIR", L""));
}

TEST_F(UninstallEngine, DamagedEntriesTouchNothing) {
  File(L"relative.txt");
  File(L"keep\\inside.txt");
  File(L"keep\\x\\placeholder");
  const std::wstring templates = platform::ShellFolder(0x15);  // a folder of Windows that may be empty
  const std::wstring cwd = platform::CurrentDirectory();
  EXPECT_TRUE(platform::SetCurrentDir(dir_));
  Install(L"[Files]\r\n0=relative.txt\r\n1={DIR}\\keep\\x\\..\\inside.txt\r\n2=\\\\?\\{DIR}\\keep\\inside.txt\r\n"
          L"3={DIR}\\keep\\*.txt\r\n"
          L"[Folders]\r\n0={DIR}\\keep\\x\\..\r\n1=" + templates + L"\r\n2=C:\\\r\n"
          L"[RegistryKeys]\r\n0=DHKEY_CURRENT_USER\\Software\r\n1=DHKEY_DEFAULT\\{KEY}\r\n2=DHKEY_CURRENT_USER\\{KEY}\\..\r\n"
          L"[RegistryValues]\r\n0=DHKEY_CURRENT_USER\\{KEY}\r\n1=D\\HKEY_CURRENT_USER\\{KEY}*?\r\n"
          L"[INIValues]\r\n0=relative.ini*?S*?k\r\n[Environment]\r\n0=DXPATH\r\n1=RUPATH*?x\r\n"
          L"[ActiveX]\r\n0=server.dll\r\n");
  const Report r = RemoveAll();
  EXPECT_TRUE(platform::SetCurrentDir(cwd));
  EXPECT_FALSE(r.Complete());
  EXPECT_EQ(r.ignored.size(), 16u);
  EXPECT_TRUE(r.failed.empty());
  EXPECT_TRUE(Exists(L"relative.txt"));
  EXPECT_TRUE(Exists(L"keep\\inside.txt"));
  EXPECT_TRUE(platform::DirectoryExists(templates));
  EXPECT_EQ(ReadValue(RegRoot::CurrentUser, key_, L""), L"test root");
}

}  // namespace
}  // namespace ek::uninstall
