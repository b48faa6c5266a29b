// The installed uninstaller and the roll-back of a failed installation, on
// real packages under Wine: the prefix is photographed before the
// installation and compared after the removal, so anything left behind or
// anything else changed shows as a difference.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "harness.h"
#include "setup_run_test.h"

using namespace e2e;
namespace fs = std::filesystem;

namespace {

class Uninstall : public SetupRunTest {
 protected:
  void SetUp() override {
    SetupRunTest::SetUp();
    RemoveAll(UninstallLog());
    dump_ = BuildDir() + "/e2e-work/uninstall-dump-" + std::to_string(::getpid());
    RemoveAll(dump_);
    fs::create_directories(dump_);
    cleanup_.push_back(dump_);
  }

  static std::string UninstallLog() { return TempUnix() + "/EKUNINSTALLLOG.TXT"; }
  static std::string Argdump() { return WinPath(BuildDir() + "/bin/argdump.exe"); }
  std::vector<std::pair<std::string, std::string>> DumpEnv(const std::string& exitCode = "") const {
    std::vector<std::pair<std::string, std::string>> env = {{"EK_ARGDUMP_DIR", WinPath(dump_)}};
    if (!exitCode.empty()) env.emplace_back("EK_ARGDUMP_EXIT", exitCode);
    return env;
  }
  std::string DumpLog() const { return ReadFile(dump_ + "/argdump.log"); }

  // The standard product: nested folders, a folder record, a read-only and a
  // non-ASCII file, commands at installation and at the three moments of
  // the uninstallation.
  std::string Package(Product& p, const std::string& setupExtra = "", const std::string& sections = "",
                      const std::string& content = "1") {
    p.AddEnglish();
    p.SetIni(Product::StandardSetup() + "Uninstall=1\r\nShowAddRemove=1\r\n" + setupExtra + sections +
             "[Commands]\r\n"
             "0=" + Argdump() + "*?installed*?HIDE*?AFTER INSTALLATION*?Yes*?*?No\r\n"
             "1=" + Argdump() + "*?start*?HIDE*?START UNINSTALLATION*?Yes*?*?No\r\n"
             "2=" + Argdump() + "*?before <ExitCode>*?HIDE*?BEFORE UNINSTALLATION*?Yes*?*?No\r\n"
             "3=" + Argdump() + "*?after*?HIDE*?AFTER UNINSTALLATION*?Yes*?*?No\r\n");
    p.AddPayload("files/app.txt", "program " + content + "\r\n");
    p.AddPayload("files/readme.txt", "read me\r\n");
    p.AddPayload("files/caf\xC3\xA9.txt", "non-ASCII name\r\n");
    p.AddRecord("files/app.txt|<InstallDir>\\app.txt|11");
    p.AddRecord("files/readme.txt|<InstallDir>\\docs\\guides\\readme.txt|11|R");
    p.AddRecord("files/caf\xC3\xA9.txt|<InstallDir>\\docs\\caf\xC3\xA9.txt|11");
    p.AddRecord("-|<InstallDir>\\logs\\|11");
    cleanup_.push_back(p.installDirUnix());
    return p.Build();
  }

  // The uninstaller's copy finishes after the uninstaller itself: wait for
  // the installation folder to go (or the time to run out).
  static void WaitForCleanup(const std::string& folder) {
    for (int i = 0; i < 100 && (Exists(folder + "/Uninstall.exe") || Exists(TempUnix() + "/Uninstall.exe")); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }

  RunResult RunUninstaller(const Product& p, RunOptions o, bool removes = true) {
    RunResult r = RunWine(p.installDirUnix() + "/Uninstall.exe", o);
    if (removes) WaitForCleanup(p.installDirUnix());
    return r;
  }

  std::string dump_;
};

TEST_F(Uninstall, RoundTripOfEveryKindOfActionLeavesThePrefixAsItWas) {
  Product p("roundtrip");
  const std::string id = p.guid().substr(1, 8);
  const std::string key = "Software\\EkTest" + p.guid();
  const std::string own = "Software\\EkTestOwn" + id;  // the user's key, written into
  const std::string ext = "ekrt" + id;
  const std::string face = "EkR" + id.substr(0, 5);
  const std::string env = "EK_RT_" + id;
  const std::string userEnv = "HKCU\\Environment";
  const std::string systemEnv = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
  const std::string iniFile = "C:\\users\\Public\\ektest-" + id + ".ini";
  const std::string typeLib = "{" + id + "-0000-4000-8000-" + p.guid().substr(25, 12) + "}";
  const std::string dir = p.installDirWin();
  p.AddPayload("app.exe", ReadFile(BuildDir() + "/bin/argdump.exe"));
  p.AddPayload("font.ttf", UniqueFont(face));
  p.AddPayload("ekcomserver.dll", ReadFile(BuildDir() + "/bin/ekcomserver.dll"));
  p.AddPayload("saver.scr", "a screen saver stand-in");
  ASSERT_EQ(Probe({"typelib", WinPath(p.dir() + "/library.tlb"), typeLib})["ok"], "1");
  p.AddRecord("app.exe|<InstallDir>\\app.exe|11");
  p.AddRecord("font.ttf|<InstallDir>\\fonts\\" + face + ".ttf|11");
  p.AddRecord("ekcomserver.dll|<InstallDir>\\ekcomserver.dll|11");
  p.AddRecord("library.tlb|<InstallDir>\\library.tlb|11");
  p.AddRecord("saver.scr|<InstallDir>\\saver.scr|11");
  const std::string pkg = Package(
      p, "MainExe=<InstallDir>\\app.exe\r\nRegisterAppPath=1\r\nLaunchOnStatup=1\r\n",
      "[Shortcuts]\r\n"
      "0=<ProgramGroup>*?<AppName>*?<InstallDir>\\app.exe*?Opens it*?--open*?*?*?0*?Normal*?No\r\n"
      "1=<Desktop>*?<AppName> " + id + "*?<InstallDir>\\app.exe*?*?*?*?*?*?Normal*?Yes\r\n"
      "[Registry]\r\n"
      "0=HKLM\\" + key + "*?Text*?REG_SZ*?<AppName>*?Yes*?Yes*?64-Bit\r\n"
      "1=HKLM\\" + key + "*?Expand*?REG_EXPAND_SZ*?%ProgramFiles%\\x*?Yes*?Yes*?32-Bit\r\n"
      "2=HKLM\\" + key + "\\Deep\\Deeper*?Number*?REG_DWORD*?7*?Yes*?Yes*?Default\r\n"
      "3=HKCU\\" + key + "\\Sub*?*?REG_BINARY*?0a,1b*?Yes*?Yes*?Default\r\n"
      "4=HKCU\\" + own + "*?Added*?REG_SZ*?by the installation*?Yes*?Yes*?Default\r\n"
      "[INI]\r\n"
      "0=<InstallDir>\\conf\\new.ini*?Paths*?Home*?<InstallDir>*?Yes*?Yes*?No\r\n"
      "1=" + iniFile + "*?Main*?Added*?yes*?Yes*?Yes*?Yes\r\n"
      "2=" + iniFile + "*?New Section*?Key*?value*?Yes*?Yes*?Yes\r\n"
      "[Extensions]\r\n"
      "ext=." + ext + "*?<InstallDir>\\app.exe*?EkTest document*?*?text/plain*?text*?*?1\r\n"
      "[Environments]\r\n"
      "0=" + env + "_NEW*?<InstallDir>*?OVERWRITE*?Yes*?USER\r\n"
      "1=" + env + "_OLD*?replaced*?OVERWRITE*?Yes*?USER\r\n"
      "2=" + env + "_LIST*?C:\\Tools*?APPEND*?Yes*?SYSTEM\r\n"
      "3=" + env + "_FIRST*?C:\\First*?PREPEND*?Yes*?USER\r\n"
      "[Others]\r\n"
      "0=FONT*?<InstallDir>\\fonts\\" + face + ".ttf*?Yes\r\n"
      "1=DLL/ActiveX*?<InstallDir>\\ekcomserver.dll*?Yes\r\n"
      "2=TYPE LIBRARY*?<InstallDir>\\library.tlb*?Yes\r\n"
      "3=SCREENSAVER*?<InstallDir>\\saver.scr*?Yes\r\n");
  // What the user had before: an INI file, a key of their own, variables.
  WriteFile(UnixPath(iniFile), "; the user's comment\r\n[Main]\r\nKeep=1\r\n");
  cleanup_.push_back(UnixPath(iniFile));
  WineOutput({"reg", "add", "HKCU\\" + own, "/v", "Mine", "/d", "the user's", "/f"});
  WineOutput({"reg", "add", userEnv, "/v", env + "_OLD", "/d", "old value", "/f"});
  WineOutput({"reg", "add", systemEnv, "/v", env + "_LIST", "/t", "REG_EXPAND_SZ", "/d", "C:\\A;%SystemRoot%", "/f"});
  WineOutput({"reg", "add", userEnv, "/v", env + "_FIRST", "/d", "C:\\A;C:\\B", "/f"});
  regKeys_ = {"HKLM\\" + key, "HKCU\\" + key, "HKCU\\" + own, "HKLM\\Software\\Classes\\." + ext,
              "HKLM\\Software\\Classes\\" + ext + "file",
              "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + p.guid(),
              "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\app.exe", "HKCR\\TypeLib\\" + typeLib};
  regValues_ = {{userEnv, env + "_NEW"}, {userEnv, env + "_OLD"}, {systemEnv, env + "_LIST"}, {userEnv, env + "_FIRST"},
                {"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", face + " (TrueType)"},
                {"HKCU\\Software\\EkComServerTest", dir + "\\ekcomserver.dll"},
                {"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "EkTest roundtrip"}};

  const Snapshot before = TakeSnapshot();
  ASSERT_GT(before.registry.size(), 1000u);  // the picture holds the registry
  RunResult installed = RunSetup(pkg, {{"/S", "/L"}, 120, "default", false, DumpEnv()});
  ASSERT_EQ(installed.exitCode, 0);
  EXPECT_TRUE(LogHasLine("CompletedWithError=0")) << ReadSetupLog();
  ClearSetupLog();
  // Every kind of action shows in the picture.
  const std::string added = SnapshotDiff(before, TakeSnapshot());
  const std::string rel = p.installDirUnix().substr(p.installDirUnix().find("drive_c/") + 8);
  for (const std::string& change : std::vector<std::string>{
           "+ " + rel + "/app.exe", "+ " + rel + "/docs/guides/readme.txt", "+ " + rel + "/logs", "+ " + rel + "/conf/new.ini",
        "+ " + rel + "/Uninstall.ini", "EkTest roundtrip " + id + ".lnk", "EkTest roundtrip.lnk",
        "~ users/Public/ektest-" + id + ".ini", "+ [HKEY_LOCAL_MACHINE\\" + key + "]",
        "+ [HKEY_CURRENT_USER\\" + own + "] \"Added\"", "+ [HKEY_LOCAL_MACHINE\\Software\\Classes\\." + ext + "]",
        "+ [HKEY_CURRENT_USER\\Environment] \"" + env + "_NEW\"", "~ [HKEY_CURRENT_USER\\Environment] \"" + env + "_OLD\"",
        env + "_LIST\": hex(2)", "~ [HKEY_CURRENT_USER\\Environment] \"" + env + "_FIRST\"",
        "\"" + face + " (TrueType)\"", "\\ekcomserver.dll\" = \"registered\"",
        "TypeLib\\" + typeLib, "\\App Paths\\app.exe]", "\\CurrentVersion\\Run] \"EkTest roundtrip\"",
        "\\Uninstall\\" + p.guid() + "]"})
    EXPECT_TRUE(Contains(added, change)) << change << "\n---\n" << added;

  RunResult r = RunUninstaller(p, {{"/S"}, 120, "default", false, DumpEnv("5")});
  EXPECT_EQ(r.exitCode, 0) << ReadFile(UninstallLog());
  EXPECT_TRUE(r.dialogs.empty());
  EXPECT_FALSE(Exists(UninstallLog()));
  // The user's INI file was rewritten, with the content it had.
  EXPECT_EQ(SnapshotDiff(before, TakeSnapshot(), {"users/Public/ektest-" + id + ".ini"}), "");
  EXPECT_EQ(Probe({"font", face})["found"], "0");
  // The commands of the three moments, in order, with the exit code of the
  // one before.
  const std::string log = DumpLog();
  const size_t atInstall = log.find("\" installed"), start = log.find("\" start"), beforeCmd = log.find("\" before 5"),
               after = log.find("\" after");
  EXPECT_NE(atInstall, std::string::npos) << log;
  EXPECT_NE(after, std::string::npos) << log;
  EXPECT_LT(atInstall, start);
  EXPECT_LT(start, beforeCmd);
  EXPECT_LT(beforeCmd, after);
}

TEST_F(Uninstall, AbortedInstallationsRollBackToThePrefixAsItWas) {
  const Snapshot before = TakeSnapshot();
  {
    SCOPED_TRACE("a folder that cannot be made in the middle of the file stage");
    Product p("rollback");
    p.AddEnglish();
    p.SetIni(Product::StandardSetup() + "Uninstall=1\r\nShowAddRemove=1\r\n");
    p.AddPayload("a.txt", "a\r\n");
    p.AddRecord("a.txt|<InstallDir>\\a.txt|11");
    p.AddRecord("a.txt|<InstallDir>\\docs\\deep\\b.txt|11");
    p.AddRecord("a.txt|<InstallDir>\\data|11");
    // A folder is needed where the previous record put a file.
    p.AddRecord("a.txt|<InstallDir>\\data\\c.txt|11");
    p.AddRecord("a.txt|<InstallDir>\\never.txt|11");
    cleanup_.push_back(p.installDirUnix());
    RunResult r = RunSetup(p.Build(), {{"/S", "/L"}});
    EXPECT_EQ(r.exitCode, 9);
    EXPECT_TRUE(r.dialogs.empty());
    EXPECT_TRUE(LogHasLine("Error creating folder: " + p.installDirWin() + "\\data")) << ReadSetupLog();
    ClearSetupLog();
    EXPECT_FALSE(Exists(UninstallLog())) << ReadFile(UninstallLog());
    EXPECT_EQ(SnapshotDiff(before, TakeSnapshot()), "");
  }
  {
    SCOPED_TRACE("a command that halts after the installation");
    Product p("halt");
    p.AddEnglish();
    p.SetIni(Product::StandardSetup() + "Uninstall=1\r\nShowAddRemove=1\r\n[Commands]\r\n"
             "0=" + Argdump() + "*?rolled back*?HIDE*?AFTER UNINSTALLATION*?Yes*?*?No\r\n"
             "1=IF 1=1*?HALT()*?NORMAL*?AFTER INSTALLATION*?No*?*?No\r\n");
    p.AddPayload("a.txt", "a\r\n");
    p.AddRecord("a.txt|<InstallDir>\\a.txt|11");
    p.AddRecord("a.txt|<InstallDir>\\docs\\b.txt|11");
    cleanup_.push_back(p.installDirUnix());
    RunResult r = RunSetup(p.Build(), {{"/S"}, 120, "default", false, DumpEnv()});
    EXPECT_EQ(r.exitCode, 9);
    // The uninstall-time command recorded before the halt belongs to the roll-back.
    EXPECT_TRUE(Contains(DumpLog(), "\" rolled back")) << DumpLog();
    EXPECT_EQ(SnapshotDiff(before, TakeSnapshot()), "");
  }
}

TEST_F(Uninstall, UpdateThenANewInstallationThatRemovesItThenUninstallLeaveNothing) {
  Product v1("versions");
  const std::string key = "Software\\EkTest" + v1.guid();
  auto version = [&](Product& p, const std::string& v, int ifInstalled) {
    p.AddEnglish();
    std::string text = Product::StandardSetup() + "Uninstall=1\r\nShowAddRemove=1\r\nIfInstalled=" +
                       std::to_string(ifInstalled) + "\r\n"
                       "[Shortcuts]\r\n0=<Desktop>*?<AppName> " + v1.guid().substr(1, 8) +
                       "*?<InstallDir>\\a.txt*?*?*?*?*?*?Normal*?No\r\n"
                       "[Registry]\r\n0=HKCU\\" + key + "*?V" + v + "*?REG_SZ*?" + v + "*?Yes*?Yes*?Default\r\n"
                       "[Commands]\r\n0=" + Argdump() + "*?version " + v + "*?HIDE*?BEFORE UNINSTALLATION*?Yes*?*?No\r\n";
    // The same product in the same folder as the first version.
    for (const auto& [from, to] : {std::pair{std::string("{GUID}"), v1.guid()},
                                   std::pair{std::string("{INSTALLDIR}"), v1.installDirWin()}})
      text.replace(text.find(from), from.size(), to);
    text.replace(text.find("AppVersion=1.0.0"), 16, "AppVersion=" + v + ".0");
    p.SetIni(text);
    p.AddPayload("a.txt", "version " + v + "\r\n");
    p.AddRecord("a.txt|<InstallDir>\\a.txt|11");
    p.AddRecord("a.txt|<InstallDir>\\only" + v + "\\x.txt|11");
    return p.Build();
  };
  Product v2("versions2"), v3("versions3");
  const std::string pkg1 = version(v1, "1", 0), pkg2 = version(v2, "2", 2), pkg3 = version(v3, "3", 1);
  const std::string dir = v1.installDirUnix();
  cleanup_.push_back(dir);
  regKeys_ = {"HKCU\\" + key, "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + v1.guid()};
  const Snapshot before = TakeSnapshot();
  RunOptions o{{"/S", "/L"}, 120, "default", false, DumpEnv()};

  ASSERT_EQ(RunSetup(pkg1, o).exitCode, 0);
  ASSERT_EQ(RunSetup(pkg2, o).exitCode, 0);
  EXPECT_TRUE(LogHasLine("Mode=Update")) << ReadSetupLog();
  EXPECT_EQ(ReadFile(dir + "/a.txt"), "version 2\r\n");
  EXPECT_TRUE(Exists(dir + "/only1/x.txt"));
  EXPECT_TRUE(Exists(dir + "/only2/x.txt"));
  EXPECT_EQ(RegValue("HKCU", key, "V1"), "1");

  // Version 3 removes what is installed, through its uninstaller, and
  // installs afresh: nothing of the first two stays.
  ClearSetupLog();
  ASSERT_EQ(RunSetup(pkg3, o).exitCode, 0);
  EXPECT_FALSE(LogHasLine("Mode=Update")) << ReadSetupLog();
  EXPECT_EQ(ReadFile(dir + "/a.txt"), "version 3\r\n");
  EXPECT_FALSE(Exists(dir + "/only1"));
  EXPECT_FALSE(Exists(dir + "/only2"));
  EXPECT_TRUE(Exists(dir + "/only3/x.txt"));
  EXPECT_EQ(RegValue("HKCU", key, "V1"), "<missing>");
  EXPECT_EQ(RegValue("HKCU", key, "V2"), "<missing>");
  EXPECT_EQ(RegValue("HKCU", key, "V3"), "3");
  // The update replaced the first version's uninstall-time commands.
  EXPECT_TRUE(Contains(DumpLog(), "\" version 2")) << DumpLog();
  EXPECT_FALSE(Contains(DumpLog(), "\" version 1")) << DumpLog();

  ClearSetupLog();
  RunResult r = RunWine(dir + "/Uninstall.exe", {{"/S"}, 120, "default", false, DumpEnv()});
  WaitForCleanup(dir);
  EXPECT_EQ(r.exitCode, 0) << ReadFile(UninstallLog());
  EXPECT_TRUE(Contains(DumpLog(), "\" version 3")) << DumpLog();
  EXPECT_EQ(SnapshotDiff(before, TakeSnapshot()), "");
}

TEST_F(Uninstall, InteractiveAsksKeepsTheUsersChangesAndReports) {
  Product p("interactive");
  // An association that the installation takes over: its program
  // identifier is moved aside and comes back with the uninstallation.
  const std::string ext = "ekia" + p.guid().substr(1, 8), classes = "HKLM\\Software\\Classes\\";
  const std::string progId = ext + "file";
  regKeys_ = {classes + "." + ext, classes + progId, classes + progId + "_copy"};
  WineOutput({"reg", "add", classes + "." + ext, "/ve", "/d", progId, "/f"});
  WineOutput({"reg", "add", classes + progId, "/ve", "/d", "the old description", "/f"});
  WineOutput({"reg", "add", classes + progId + "\\DefaultIcon", "/ve", "/d", "old.exe,0", "/f"});
  const std::string pkg = Package(p, "", "[Extensions]\r\next=." + ext + "*?<InstallDir>\\app.txt*?The new description*?*?*?*?*?0\r\n");
  ASSERT_EQ(RunSetup(pkg, {{"/S"}, 120, "default", false, DumpEnv()}).exitCode, 0);
  const std::string dir = p.installDirUnix();
  ASSERT_EQ(RegValue("HKLM", "Software\\Classes\\" + progId, ""), "The new description");
  ASSERT_EQ(RegValue("HKLM", "Software\\Classes\\" + progId + "_copy", ""), "the old description");

  // No: nothing is removed, no command of the later moments runs.
  RunResult no = RunUninstaller(p, {{}, 120, "no", false, DumpEnv()}, false);
  EXPECT_EQ(no.exitCode, 3);
  ASSERT_EQ(no.dialogs.size(), 1u);
  EXPECT_EQ(no.dialogs[0], "Uninstall EkTest interactive\tAre you sure you want to completely remove EkTest interactive "
                           "and all of its components?");
  EXPECT_TRUE(Exists(dir + "/app.txt"));
  EXPECT_TRUE(Exists(dir + "/Uninstall.exe"));
  EXPECT_FALSE(Contains(DumpLog(), "\" before"));

  // The user edits a file and keeps notes in the logs folder.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  WriteFile(dir + "/app.txt", "edited by the user\r\n");
  WriteFile(dir + "/logs/notes.txt", "mine\r\n");
  RunResult yes = RunUninstaller(p, {{}, 120, "yes", false, DumpEnv()});
  EXPECT_EQ(yes.exitCode, 0) << ReadFile(UninstallLog());
  ASSERT_EQ(yes.dialogs.size(), 2u);
  EXPECT_EQ(yes.dialogs[1], "Uninstall EkTest interactive\tEkTest interactive was successfully removed from your computer.");
  EXPECT_EQ(ReadFile(dir + "/app.txt"), "edited by the user\r\n");
  EXPECT_EQ(ReadFile(dir + "/logs/notes.txt"), "mine\r\n");
  EXPECT_EQ(ListDir(dir), (std::vector<std::string>{"app.txt", "logs"}));
  EXPECT_TRUE(Contains(DumpLog(), "\" before"));
  EXPECT_EQ(RegValue("HKLM", "Software\\Classes\\" + progId, ""), "the old description");
  EXPECT_EQ(RegValue("HKLM", "Software\\Classes\\" + progId + "\\DefaultIcon", ""), "old.exe,0");
  EXPECT_FALSE(RegKeyExists("HKLM", "Software\\Classes\\" + progId + "\\shell"));
  EXPECT_FALSE(RegKeyExists("HKLM", "Software\\Classes\\" + progId + "_copy"));
  EXPECT_EQ(RegValue("HKLM", "Software\\Classes\\." + ext, ""), progId);
  // (The extension's OpenWithProgIds key that the installation added to the
  // existing extension stays: the information file does not record it.)
}

TEST_F(Uninstall, FileInUseEndsWithCode1AndTheLogUnlessTheProgramIsToBeClosed) {
  for (bool closeApp : {false, true}) {
    SCOPED_TRACE(closeApp ? "UninstallCloseApp" : "file in use");
    RemoveAll(UninstallLog());
    Product p(closeApp ? "closeapp" : "inuse");
    p.AddEnglish();
    p.SetIni(Product::StandardSetup() + "Uninstall=1\r\nShowAddRemove=1\r\n" +
             (closeApp ? "UninstallCloseApp=1\r\nUninstallCloseAppFile=busy.exe\r\n" : "") +
             "[Commands]\r\n0=<InstallDir>\\busy.exe*?dialogs 6 " + WinPath(dump_) +
             "\\busy.log*?HIDE*?START UNINSTALLATION*?No*?*?No\r\n");
    // A program that keeps running for a while: the probe answering dialogs.
    p.AddPayload("busy.exe", ReadFile(ProbePath()));
    p.AddPayload("a.txt", "a\r\n");
    p.AddRecord("busy.exe|<InstallDir>\\busy.exe|11");
    p.AddRecord("a.txt|<InstallDir>\\a.txt|11");
    cleanup_.push_back(p.installDirUnix());
    regKeys_.push_back("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + p.guid());
    ASSERT_EQ(RunSetup(p.Build(), {{"/S"}}).exitCode, 0);
    const std::string dir = p.installDirUnix();
    RunResult r = RunUninstaller(p, {{"/S"}});
    const std::string log = ReadFile(UninstallLog());
    EXPECT_FALSE(Exists(dir + "/a.txt"));
    EXPECT_FALSE(Exists(dir + "/Uninstall.exe"));
    if (closeApp) {
      EXPECT_EQ(r.exitCode, 0) << log;
      EXPECT_FALSE(Exists(dir));
      continue;
    }
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(log.rfind("\xEF\xBB\xBF", 0), 0u);  // UTF-8 with byte-order mark
    EXPECT_TRUE(Contains(log, "Unable to remove file: " + p.installDirWin() + "\\busy.exe\r\n")) << log;
    EXPECT_TRUE(Contains(log, "ExitCode=1")) << log;
    EXPECT_EQ(ListDir(dir), std::vector<std::string>{"busy.exe"});
    // The registration goes all the same: the log says what is left.
    EXPECT_FALSE(RegKeyExists("HKLM", "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + p.guid()));
    std::this_thread::sleep_for(std::chrono::seconds(6));
  }
}

TEST_F(Uninstall, WithoutItsInformationFileNothingHappensAndTheLogSaysWhy) {
  const std::string folder = BuildDir() + "/e2e-work/lone-uninstaller-" + std::to_string(::getpid());
  cleanup_.push_back(folder);
  WriteFile(folder + "/keep.txt", "x");
  fs::copy_file(UninstallerPath(), folder + "/Uninstall.exe");
  RunResult r = RunWine(folder + "/Uninstall.exe", {{"/S"}});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_TRUE(r.dialogs.empty());
  EXPECT_TRUE(Exists(folder + "/Uninstall.exe"));
  const std::string log = ReadFile(UninstallLog());
  EXPECT_EQ(log.rfind("\xEF\xBB\xBF", 0), 0u);  // UTF-8 with byte-order mark
  EXPECT_TRUE(Contains(log, "Information file not found: " + WinPath(folder) + "\\Uninstall.ini")) << log;
  EXPECT_TRUE(Contains(log, "ExitCode=2"));
}

}  // namespace
