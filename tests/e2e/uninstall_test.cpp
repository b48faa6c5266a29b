// The installed uninstaller and the roll-back of a failed installation, on
// real packages under Wine: the prefix is photographed before the
// installation and compared after the removal, so anything left behind or
// anything else changed shows as a difference.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "harness.h"

using namespace e2e;
namespace fs = std::filesystem;

namespace {

class Uninstall : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearSetupLog();
    RemoveAll(UninstallLog());
    for (const auto& f : EktmpFolders()) RemoveAll(TempUnix() + "/" + f);
    dump_ = BuildDir() + "/e2e-work/uninstall-dump-" + std::to_string(::getpid());
    RemoveAll(dump_);
    fs::create_directories(dump_);
  }
  void TearDown() override {
    for (const auto& d : cleanup_) RemoveAll(d);
    RemoveAll(dump_);
    EXPECT_TRUE(EktmpFolders().empty());
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
  std::string Package(Product& p, const std::string& setupExtra = "", const std::string& content = "1") {
    p.AddEnglish();
    p.SetIni(Product::StandardSetup() + "Uninstall=1\r\nShowAddRemove=1\r\n" + setupExtra +
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
  std::vector<std::string> cleanup_;
};

TEST_F(Uninstall, RoundTripLeavesThePrefixAsItWas) {
  Product p("roundtrip");
  const std::string pkg = Package(p);
  const Snapshot before = TakeSnapshot();
  ASSERT_GT(before.registry.size(), 1000u);  // the picture holds the registry
  ASSERT_EQ(RunSetup(pkg, {{"/S"}, 120, "default", false, DumpEnv()}).exitCode, 0);
  const std::string dir = p.installDirUnix();
  const std::string added = SnapshotDiff(before, TakeSnapshot());
  for (const char* f : {"/app.txt", "/docs/guides/readme.txt", "/logs", "/Uninstall.exe", "/Uninstall.ini"})
    EXPECT_TRUE(Contains(added, "+ " + dir.substr(dir.find("drive_c/") + 8) + f)) << added;

  RunResult r = RunUninstaller(p, {{"/S"}, 120, "default", false, DumpEnv("5")});
  EXPECT_EQ(r.exitCode, 0) << ReadFile(UninstallLog());
  EXPECT_TRUE(r.dialogs.empty());
  EXPECT_FALSE(Exists(UninstallLog()));
  EXPECT_EQ(SnapshotDiff(before, TakeSnapshot()), "");
  // The commands of the three moments, in order, with the exit code of the
  // one before.
  const std::string log = DumpLog();
  const size_t installed = log.find("\" installed"), start = log.find("\" start"), beforeCmd = log.find("\" before 5"),
               after = log.find("\" after");
  EXPECT_NE(installed, std::string::npos) << log;
  EXPECT_NE(after, std::string::npos) << log;
  EXPECT_LT(installed, start);
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

TEST_F(Uninstall, InteractiveAsksKeepsTheUsersChangesAndReports) {
  Product p("interactive");
  const std::string pkg = Package(p);
  ASSERT_EQ(RunSetup(pkg, {{"/S"}, 120, "default", false, DumpEnv()}).exitCode, 0);
  const std::string dir = p.installDirUnix();

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
