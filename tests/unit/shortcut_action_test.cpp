#include <gtest/gtest.h>

#include <cstring>

#include "base/result.h"
#include "action_fixture.h"
#include "install/shortcut_action.h"
#include "platform/handles.h"
#include "platform/registry.h"
#include "platform/shell.h"

namespace ek {
namespace {

using test::ScratchFolder;

TEST(ShortcutFolders, SwappedBetweenUserAndCommonFolders) {
  struct Case {
    const wchar_t* folder;
    bool toCommon;
    const wchar_t* want;
  } cases[] = {
      {L"<Desktop>", true, L"<CommonDesktop>"},
      {L"<desktop>\\Sub", true, L"<CommonDesktop>\\Sub"},
      {L"<StartMenu>", true, L"<CommonStartMenu>"},
      {L"<ProgramsMenu>\\<ProgramGroup>", true, L"<CommonProgramsMenu>\\<ProgramGroup>"},
      {L"<Startup>", true, L"<CommonStartUp>"},
      {L"<CommonDesktop>", true, L"<CommonDesktop>"},  // already there
      {L"<COMMONPROGRAMSMENU>\\<ProgramGroup>", false, L"<ProgramsMenu>\\<ProgramGroup>"},
      {L"<CommonStartMenu>", false, L"<StartMenu>"},
      {L"<CommonStartup>", false, L"<StartUp>"},
      {L"<Desktop>", false, L"<Desktop>"},
      {L"<Desktop>\\<Desktop>", true, L"<CommonDesktop>\\<Desktop>"},  // the first occurrence only
      {L"C:\\Links", true, L"C:\\Links"},
  };
  for (const auto& c : cases) EXPECT_EQ(SwapShortcutFolder(c.folder, c.toCommon), c.want) << c.folder;
}

class Shortcuts : public test::ActionTest {
 protected:
  void SetUp() override {
    test::ActionTest::SetUp();
    State().Options.CheckDesktop.checked = true;
    State().Options.CheckPrograms.checked = true;
  }
  static std::wstring Record(const std::wstring& folder, const std::wstring& name, const std::wstring& target,
                             const std::wstring& rest = L"*?*?*?*?0*?Normal*?No") {
    return folder + L"*?" + name + L"*?" + target + L"*?" + rest;
  }
  // Fields of the Shell Link header: LinkFlags at 20, ShowCommand at 60.
  // (Wine's link object does not report the show command it loads.)
  static uint32_t HeaderField(const std::wstring& link, size_t offset) {
    auto bytes = platform::ReadWholeFile(link);
    uint32_t v = 0;
    if (bytes && bytes->size() >= offset + 4) std::memcpy(&v, bytes->data() + offset, 4);
    return v;
  }
  static uint32_t LinkFlags(const std::wstring& link) { return HeaderField(link, 20); }
  static uint32_t ShowCommand(const std::wstring& link) { return HeaderField(link, 60); }
  platform::ComScope com_;
};

TEST_F(Shortcuts, LinkReadsBackThroughTheShellWithItsFoldersRecorded) {
  ScratchFolder dir(L"lnk");
  const std::wstring target = dir.Write(L"app.exe", L"stand-in");
  const std::wstring icon = dir.Write(L"app.ico", L"icon");
  const std::wstring group = dir.path() + L"\\Group\\Sub";
  CreateShortcut(Record(group, L"My App", target,
                        L"Runs the app*?--flag \"two words\"*?C:\\Work*?" + icon + L"*?3*?maximized*?No"));
  const std::wstring link = group + L"\\My App.lnk";
  auto d = platform::ReadShellLink(link);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->target, target);
  EXPECT_EQ(d->arguments, L"--flag \"two words\"");
  EXPECT_EQ(d->description, L"Runs the app");
  EXPECT_EQ(d->workingDirectory, L"C:\\Work");
  EXPECT_EQ(d->iconPath, icon);
  EXPECT_EQ(d->iconIndex, 3);
  EXPECT_EQ(ShowCommand(link), 3u);
  EXPECT_EQ(Entries(L"Folders"), (std::vector<std::wstring>{dir.path() + L"\\Group", group}));
  EXPECT_EQ(Entries(L"Files"), (std::vector<std::wstring>{link}));
  EXPECT_EQ(LinkFlags(link) & 0x2000, 0u);

  // Working folder: the target's folder when the field is empty and the target
  // exists; none when it does not exist (yet).
  CreateShortcut(Record(group, L"Plain", target, L"*?*?*?*?*?Minimized*?No"));
  d = platform::ReadShellLink(group + L"\\Plain.lnk");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->workingDirectory, dir.path());
  EXPECT_EQ(ShowCommand(group + L"\\Plain.lnk"), 7u);
  CreateShortcut(Record(group, L"Later", dir.path() + L"\\later.exe"));
  d = platform::ReadShellLink(group + L"\\Later.lnk");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->workingDirectory, L"");
  EXPECT_EQ(ShowCommand(group + L"\\Later.lnk"), 1u);

  // Without an uninstaller nothing is recorded.
  State().CreateUninstaller = false;
  CreateShortcut(Record(dir.path() + L"\\Other", L"X", target));
  EXPECT_TRUE(platform::FileExists(dir.path() + L"\\Other\\X.lnk"));
  EXPECT_EQ(Entries(L"Files").size(), 3u);
  for (const wchar_t* f : {L"\\Group\\Sub\\My App.lnk", L"\\Group\\Sub\\Plain.lnk", L"\\Group\\Sub\\Later.lnk", L"\\Other\\X.lnk"})
    Ignore(platform::DeleteFileAt(dir.path() + f));
  for (const wchar_t* f : {L"\\Group\\Sub", L"\\Group", L"\\Other"}) Ignore(platform::RemoveDirectoryAt(dir.path() + f));
}

TEST_F(Shortcuts, UserChoicesAndRecordShape) {
  ScratchFolder dir(L"lnkchoice");
  const std::wstring target = dir.Write(L"app.exe", L"x");
  // The filter reads the whole record, so a variable anywhere in it counts.
  State().Options.CheckPrograms.checked = false;
  CreateShortcut(Record(dir.path(), L"Group", target, L"<ProgramGroup>*?*?*?*?0*?Normal*?No"));
  CreateShortcut(Record(dir.path(), L"Menu", target, L"in <CommonProgramsMenu>*?*?*?*?0*?Normal*?No"));
  CreateShortcut(Record(dir.path(), L"Desk", target, L"<CommonDesktop>*?*?*?*?0*?Normal*?No"));
  State().Options.CheckDesktop.checked = false;
  CreateShortcut(Record(dir.path(), L"Desk2", target, L"<Desktop>*?*?*?*?0*?Normal*?No"));
  CreateShortcut(Record(dir.path(), L"Short", target, L"*?*?*?*?0*?Normal"));  // nine fields
  EXPECT_FALSE(platform::FileExists(dir.path() + L"\\Group.lnk"));
  EXPECT_FALSE(platform::FileExists(dir.path() + L"\\Menu.lnk"));
  EXPECT_TRUE(platform::FileExists(dir.path() + L"\\Desk.lnk"));
  EXPECT_FALSE(platform::FileExists(dir.path() + L"\\Desk2.lnk"));
  EXPECT_FALSE(platform::FileExists(dir.path() + L"\\Short.lnk"));
}

TEST_F(Shortcuts, SideBySideInstallationKeepsBothShortcuts) {
  ScratchFolder dir(L"lnkside");
  LoadConfig(L"[Setup]\r\nAppName=Side App\r\nIfInstalled=3\r\n");
  State().AppNameVersion = L"Side App 2.0";
  const std::wstring target = dir.Write(L"app.exe", L"x");
  CreateShortcut(Record(dir.path(), L"<AppName>", target));
  EXPECT_TRUE(platform::FileExists(dir.path() + L"\\Side App.lnk"));
  CreateShortcut(Record(dir.path(), L"<appname>", target));
  EXPECT_TRUE(platform::FileExists(dir.path() + L"\\Side App 2.0.lnk"));
  // Other names, and -shortcutnomulti, keep the name.
  LoadConfig(L"[Setup]\r\nAppName=Side App\r\nIfInstalled=3\r\nSetupParameters=-shortcutnomulti\r\n");
  Ignore(platform::DeleteFileAt(dir.path() + L"\\Side App 2.0.lnk"));
  CreateShortcut(Record(dir.path(), L"<AppName>", target));
  EXPECT_FALSE(platform::FileExists(dir.path() + L"\\Side App 2.0.lnk"));
}

TEST_F(Shortcuts, UpdaterCheckRoutesTheMainProgram) {
  ScratchFolder dir(L"lnkupd");
  LoadConfig(L"[Setup]\r\nUpdater=1\r\nCheckUpdateOnLaunch=1\r\n");
  State().InstallDir = dir.path();
  State().MainExe = dir.Write(L"main.exe", L"x");
  const std::wstring other = dir.Write(L"other.exe", L"x");
  dir.Write(L"Updater.exe", L"x");
  CreateShortcut(Record(dir.path(), L"Main", State().MainExe, L"*?--own*?*?*?0*?Normal*?No"));
  CreateShortcut(Record(dir.path(), L"Other", other, L"*?--own*?*?*?0*?Normal*?No"));
  auto d = platform::ReadShellLink(dir.path() + L"\\Main.lnk");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->target, dir.path() + L"\\Updater.exe");
  EXPECT_EQ(d->arguments, L"/L \"" + State().MainExe + L"\"");
  EXPECT_EQ(d->iconPath, State().MainExe);
  d = platform::ReadShellLink(dir.path() + L"\\Other.lnk");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->target, other);
  EXPECT_EQ(d->arguments, L"--own");
}

TEST_F(Shortcuts, RunAsAdministratorByFlagOrCompatibilityEntry) {
  ScratchFolder dir(L"lnkadmin");
  const std::wstring target = dir.Write(L"app.exe", L"x");
  CreateShortcut(Record(dir.path(), L"Flag", target, L"*?*?*?*?0*?Normal*?yes"));
  EXPECT_EQ(LinkFlags(dir.path() + L"\\Flag.lnk") & 0x2000, 0x2000u);
  EXPECT_TRUE(platform::ReadShellLink(dir.path() + L"\\Flag.lnk"));  // still a valid link
  EXPECT_TRUE(Entries(L"RegistryValues").empty());
  EXPECT_FALSE(MarkRunAsAdministrator(dir.path() + L"\\missing.lnk"));

  LoadConfig(L"[Setup]\r\nSetupParameters=-shortcutadminreg\r\n");
  CreateShortcut(Record(dir.path(), L"Reg", target, L"*?*?*?*?0*?Normal*?Yes"));
  EXPECT_EQ(LinkFlags(dir.path() + L"\\Reg.lnk") & 0x2000, 0u);
  const std::wstring layers = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";
  platform::RegKey k;
  ASSERT_TRUE(k.Open(platform::RegRoot::CurrentUser, layers, platform::RegView::View64, true));
  EXPECT_EQ(k.ReadString(target), L"RUNASADMIN");
  EXPECT_EQ(Entries(L"RegistryValues"), (std::vector<std::wstring>{L"DHKEY_CURRENT_USER\\" + layers + L"*?" + target}));
  Ignore(k.DeleteValue(target));
}

TEST_F(Shortcuts, FolderThatCannotBeMadeEndsTheRecordWithoutError) {
  ScratchFolder dir(L"lnkfail");
  const std::wstring blocker = dir.Write(L"blocker", L"a file, not a folder");
  CreateShortcut(Record(blocker + L"\\Sub", L"X", blocker));
  EXPECT_TRUE(Logged(L"Error creating directory: " + blocker)) << LogText();
  EXPECT_FALSE(State().HadErrors);
  EXPECT_TRUE(Entries(L"Files").empty());
}

}  // namespace
}  // namespace ek
