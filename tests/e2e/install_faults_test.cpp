// Faults in the middle of the file stage, on real packages under Wine: the
// target disk fills up, a destination is held open by another program, the
// setup is killed. None of them may leave a file cut short, or one recorded
// as installed that is not complete; after a kill the next run installs
// everything and the uninstaller then leaves the prefix as it was.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <thread>

#include "harness.h"
#include "setup_run_test.h"
#include "ui_test.h"

using namespace e2e;
namespace fs = std::filesystem;

namespace {

class InstallFaults : public SetupRunTest {
 protected:
  void TearDown() override {
    if (lock_.pid > 0) KillWine(lock_);
    if (!driveLink_.empty()) RemoveAll(driveLink_);
    if (!mountDir_.empty()) {
      std::system(("umount '" + mountDir_ + "' 2>/dev/null").c_str());
      RemoveAll(mountDir_);
    }
    SetupRunTest::TearDown();
  }

  // A drive of its own with room for `kb` KiB: a tmpfs mounted for the test
  // and given a free letter in the prefix. Mounting needs root; where it is
  // not allowed, nothing else fills a disk honestly, and the test is skipped.
  std::string SmallDrive(int kb) {
    mountDir_ = BuildDir() + "/e2e-work/small-drive-" + std::to_string(::getpid());
    fs::create_directories(mountDir_);
    if (std::system(("mount -t tmpfs -o size=" + std::to_string(kb) + "k tmpfs '" + mountDir_ + "' 2>/dev/null").c_str()) != 0) {
      RemoveAll(mountDir_);
      mountDir_.clear();
      return "";
    }
    for (char letter = 'm'; letter <= 'y'; ++letter) {
      const std::string link = Prefix() + "/dosdevices/" + std::string(1, letter) + ":";
      if (fs::is_symlink(link) || fs::exists(link)) continue;
      fs::create_directory_symlink(mountDir_, link);
      driveLink_ = link;
      return std::string(1, static_cast<char>(std::toupper(letter))) + ":";
    }
    return "";
  }

  // Holds the file open, shared with no one, for the given time.
  void LockFile(const std::string& windowsPath, int seconds) {
    const std::string ready = BuildDir() + "/e2e-work/locked-" + std::to_string(::getpid());
    RemoveAll(ready);
    RunOptions o;
    o.args = {"lock", windowsPath, std::to_string(seconds), WinPath(ready)};
    o.timeoutSec = seconds + 30;
    o.watchDialogs = false;  // the setup's boxes are for the setup's own answerer
    lock_ = StartWine(ProbePath(), o);
    for (int i = 0; i < 300 && !Exists(ready); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(Exists(ready)) << "the file could not be locked";
    RemoveAll(ready);
  }

  // The uninstaller's copy finishes after the uninstaller itself.
  static RunResult Uninstall(const std::string& dir) {
    RunResult r = RunWine(dir + "/Uninstall.exe", {{"/S"}});
    for (int i = 0; i < 100 && (Exists(dir + "/Uninstall.exe") || Exists(TempUnix() + "/Uninstall.exe")); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return r;
  }

  // How often each of these files is listed in [Files].
  static std::map<std::string, int> Listed(const std::string& ini) {
    std::map<std::string, int> count;
    for (const auto& [key, value] : IniSection(ini, "Files")) ++count[value];
    return count;
  }

  std::string mountDir_, driveLink_;
  StartedRun lock_;
};

std::string Noise(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(rng());
  return s;
}

TEST_F(InstallFaults, DiskFullPartWayLeavesNoPartialFileAndNothingRecordedForIt) {
  const std::string drive = SmallDrive(4096);
  if (drive.empty()) GTEST_SKIP() << "no tmpfs can be mounted here (needs root)";
  const Snapshot before = TakeSnapshot();
  for (bool ignore : {false, true}) {
    SCOPED_TRACE(ignore ? "-silentignoreerror: the file is skipped" : "silent: the installation is rolled back");
    ClearSetupLog();
    Product p("diskfull");
    p.AddEnglish();
    p.SetIni(Product::StandardSetup() + "Uninstall=1\r\nShowAddRemove=1\r\n" +
             (ignore ? "SetupParameters=-silentignoreerror\r\n" : ""));
    p.AddPayload("first.txt", "first\r\n");
    p.AddPayload("big.bin", Noise(6 * 1024 * 1024, 3));  // more than the drive holds
    p.AddPayload("last.txt", "last\r\n");
    p.AddRecord("first.txt|<InstallDir>\\first.txt|11");
    p.AddRecord("big.bin|<InstallDir>\\data\\big.bin|11");
    p.AddRecord("last.txt|<InstallDir>\\last.txt|11");
    regKeys_.push_back("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + p.guid());
    const std::string dirWin = drive + "\\EkTest full " + p.guid().substr(1, 8);
    const std::string dir = mountDir_ + "/EkTest full " + p.guid().substr(1, 8);
    // The free-space check at the start is skipped (/NCS): the disk fills up
    // part-way, as when another program takes the room meanwhile.
    RunResult r = RunSetup(p.Build(), {{"/S", "/L", "/NCS", "/D", dirWin}});
    EXPECT_TRUE(LogHasLine("Unable to create file: " + dirWin + "\\data\\big.bin")) << ReadSetupLog();
    EXPECT_TRUE(LogHasLineStartingWith("Cause=")) << ReadSetupLog();
    EXPECT_FALSE(Exists(dir + "/data/big.bin"));
    if (!ignore) {
      EXPECT_EQ(r.exitCode, 9);
      EXPECT_TRUE(ListDir(mountDir_).empty()) << ListDir(mountDir_).size();
      continue;
    }
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_TRUE(LogHasLine("CompletedWithError=1"));
    EXPECT_EQ(ReadFile(dir + "/last.txt"), "last\r\n");
    const auto listed = Listed(dir + "/Uninstall.ini");
    EXPECT_EQ(listed.count(dirWin + "\\data\\big.bin"), 0u);
    EXPECT_EQ(listed.count(dirWin + "\\first.txt"), 1u);
    EXPECT_EQ(listed.count(dirWin + "\\last.txt"), 1u);
    EXPECT_EQ(Uninstall(dir).exitCode, 0);
    EXPECT_TRUE(ListDir(mountDir_).empty()) << ListDir(mountDir_).size();
  }
  EXPECT_EQ(SnapshotDiff(before, TakeSnapshot()), "");
}

TEST_F(InstallFaults, FileHeldOpenByAnotherProgramStaysAsItWasOrIsReplacedOnRetry) {
  struct Case {
    const char* what;
    std::string setupExtra;
    RunOptions run;
    int lockSeconds;
  } cases[] = {
      {"silent: rolled back", "", {{"/S", "/L"}}, 20},
      {"silent with -silentignoreerror: skipped", "SetupParameters=-silentignoreerror\r\n", {{"/S", "/L"}}, 20},
      // The user answers Retry until the other program lets go of the file.
      {"interactive: Retry", "", {{"/L"}, 120, "retry", true}, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ClearSetupLog();
    Product p("locked");
    p.AddEnglish();
    p.SetIni(Product::StandardSetup() + "Uninstall=1\r\n" + c.setupExtra);
    p.AddPayload("a.txt", "a\r\n");
    p.AddPayload("new.txt", "from the package\r\n");
    p.AddRecord("a.txt|<InstallDir>\\a.txt|11");
    p.AddRecord("new.txt|<InstallDir>\\locked.txt|11");
    p.AddRecord("a.txt|<InstallDir>\\c.txt|11");
    const std::string pkg = p.Build();
    const std::string dir = p.installDirUnix();
    cleanup_.push_back(dir);
    WriteFile(dir + "/locked.txt", "the user's own\r\n");
    LockFile(p.installDirWin() + "\\locked.txt", c.lockSeconds);
    RunResult r = RunSetup(pkg, c.run);
    EXPECT_TRUE(LogHasLine("Unable to create file: " + p.installDirWin() + "\\locked.txt")) << ReadSetupLog();
    KillWine(lock_);
    const auto listed = Listed(dir + "/Uninstall.ini");
    if (c.run.answer == "retry") {
      EXPECT_EQ(r.exitCode, 0);
      size_t asked = 0;
      for (const auto& d : r.dialogs) asked += Contains(d, "may be open in another program") ? 1 : 0;
      EXPECT_GE(asked, 1u);
      EXPECT_EQ(ReadFile(dir + "/locked.txt"), "from the package\r\n");
      EXPECT_EQ(listed.count(p.installDirWin() + "\\locked.txt") ? listed.at(p.installDirWin() + "\\locked.txt") : 0, 1);
    } else {
      EXPECT_EQ(ReadFile(dir + "/locked.txt"), "the user's own\r\n");
      EXPECT_EQ(listed.count(p.installDirWin() + "\\locked.txt"), 0u);
      if (c.setupExtra.empty()) {
        EXPECT_EQ(r.exitCode, 9);
        EXPECT_FALSE(Exists(dir + "/a.txt"));  // rolled back
      } else {
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(ReadFile(dir + "/c.txt"), "a\r\n");
      }
    }
    RemoveAll(dir);
  }
}

TEST_F(InstallFaults, KilledInTheFileStageTheNextRunInstallsEverythingAndTheUninstallerLeavesNothing) {
  // Zeros: a large file in a small package, long enough to write that the
  // kill lands inside it.
  const size_t bigSize = 256u * 1024 * 1024;
  const Snapshot before = TakeSnapshot();
  // Every overwrite mode meets the file that the killed run cut short; none
  // may keep it, also "keep" and "only if newer" (the cut file is newer).
  for (const char* mode : {"0", "1", "2", "3"}) {
    SCOPED_TRACE(std::string("overwrite mode ") + mode);
    ClearSetupLog();
    Product p("killed");
    p.AddEnglish();
    p.SetIni(Product::StandardSetup() + "Uninstall=1\r\nShowAddRemove=1\r\n");
    p.AddPayload("a.txt", "a\r\n");
    p.AddPayload("big.bin", std::string(bigSize, '\0'));
    p.AddRecord("a.txt|<InstallDir>\\docs\\deep\\a.txt|11");
    p.AddRecord(std::string("big.bin|<InstallDir>\\data\\big.bin|") + mode + "1");
    p.AddRecord("a.txt|<InstallDir>\\data\\more\\z.txt|11");
    p.AddRecord("-|<InstallDir>\\logs\\|11");
    regKeys_.push_back("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + p.guid());
    const std::string pkg = p.Build();
    RemoveAll(p.dir() + "/big.bin");  // the package holds it in a few hundred KiB
    const std::string dir = p.installDirUnix(), big = dir + "/data/big.bin";
    cleanup_.push_back(dir);

    StartedRun run = StartWine(pkg, {{"/S"}});
    uintmax_t cut = 0;
    for (int i = 0; i < 12000 && run.pid > 0; ++i) {
      std::error_code ec;
      const uintmax_t size = fs::file_size(big, ec);
      if (!ec && size > 0 && size < bigSize) {
        KillWine(run);
        cut = size;
        break;
      }
      if (!ec && size == bigSize) break;  // too late
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (run.pid > 0) KillWine(run);
    ASSERT_GT(cut, 0u) << "the kill did not land while the large file was written";
    ASSERT_LT(fs::file_size(big), bigSize);
    ASSERT_EQ(EktmpFolders().size(), 1u);  // the killed run's, with its journal

    RunResult r = RunSetup(pkg, {{"/S", "/L"}});
    ASSERT_EQ(r.exitCode, 0) << ReadSetupLog();
    EXPECT_TRUE(LogHasLineStartingWith("Interrupted installation rolled back: ")) << ReadSetupLog();
    EXPECT_TRUE(EktmpFolders().empty());
    ASSERT_EQ(fs::file_size(big), bigSize);
    {
      std::ifstream in(big, std::ios::binary);
      std::string chunk(1 << 20, '\0');
      bool zeros = true;
      while (zeros && in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())))
        zeros = chunk.find_first_not_of('\0') == std::string::npos;
      EXPECT_TRUE(zeros);
    }
    EXPECT_EQ(ReadFile(dir + "/data/more/z.txt"), "a\r\n");
    for (const auto& [file, times] : Listed(dir + "/Uninstall.ini")) EXPECT_EQ(times, 1) << file;
    EXPECT_EQ(Listed(dir + "/Uninstall.ini").size(), 5u);  // the three files, the uninstaller, its information file

    EXPECT_EQ(Uninstall(dir).exitCode, 0);
    EXPECT_EQ(SnapshotDiff(before, TakeSnapshot()), "");
  }
}

// The file stage writes a large file in pieces on the window's thread: the
// window must go on answering between them, and the close question must
// come up in the middle of the file, not after it.
class InstallFaultsUi : public UiTest {};

TEST_F(InstallFaultsUi, TheCloseQuestionComesInTheMiddleOfALargeFileAndYesRollsBack) {
  const size_t bigSize = 512u * 1024 * 1024;
  const Snapshot before = TakeSnapshot();
  Product p("bigcancel");
  p.AddPayload("big.bin", std::string(bigSize, '\0'));
  p.AddPayload("after.txt", "after\r\n");
  p.AddRecord("big.bin|<InstallDir>\\data\\big.bin|11");
  p.AddRecord("after.txt|<InstallDir>\\after.txt|11");
  regKeys_.push_back("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + p.guid());
  const std::string pkg = Package(p);
  RemoveAll(p.dir() + "/big.bin");
  const std::string dir = p.installDirUnix(), big = dir + "/data/big.bin";
  UiSession ui(pkg);
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
  ui.Click("TFormMain", "BInstall");
  bool inTheMiddle = false;
  for (int i = 0; i < 12000 && !inTheMiddle; ++i) {
    std::error_code ec;
    const uintmax_t size = fs::file_size(big, ec);
    inTheMiddle = !ec && size > 0 && size < bigSize;
    if (!ec && size == bigSize) break;
    if (!inTheMiddle) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_TRUE(inTheMiddle) << "the large file was not seen being written";
  ui.Close("TFormMain");
  ASSERT_TRUE(ui.WaitBoxWith("cancel the installation"));
  // The question holds the window's thread: the file is still unfinished.
  EXPECT_LT(fs::file_size(big), bigSize);
  ui.Answer("Yes", "cancel the installation");
  EXPECT_EQ(ui.WaitExit(), 9);
  EXPECT_FALSE(Exists(big));
  EXPECT_FALSE(Exists(dir + "/after.txt"));
  EXPECT_EQ(SnapshotDiff(before, TakeSnapshot()), "");
}

}  // namespace
