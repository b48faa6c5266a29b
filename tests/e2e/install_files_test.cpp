// Silent installations of real packages: where the files land, with what
// content, dates and attributes, how existing files are treated, what the
// uninstall information file records, and how failures end.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "harness.h"
#include "setup_run_test.h"

using namespace e2e;
namespace fs = std::filesystem;

namespace {

// 2021-06-01 12:30:00 local time is what the tests stamp on source files.
fs::file_time_type PastTime(int daysBack) {
  return fs::file_time_type::clock::now() - std::chrono::hours(24 * daysBack);
}

using InstallFiles = SetupRunTest;

// A program that the setup starts without waiting may write after the setup
// has ended: the file as soon as it holds the text, or as it is after a while.
std::string ReadOnceItHolds(const std::string& file, const std::string& text) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  std::string content = ReadFile(file);
  while (!Contains(content, text) && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    content = ReadFile(file);
  }
  return content;
}

std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>("abcdefgh\r\n"[i % 10] ^ ((i / 997) & 7));
  return s;
}

TEST_F(InstallFiles, PayloadLandsExactlyWithDatesAttributesAndRecords) {
  Product p("layout");
  p.AddEnglish();
  p.SetIni(Product::StandardSetup() + "Uninstall=1\r\nMainExe=<InstallDir>\\bin\\app.txt\r\n");
  const std::string big = Pattern(300000);
  p.AddPayload("src/bin/app.txt", "main program stand-in\r\n");
  p.AddPayload("src/bin/lib/deep/data.bin", big);
  p.AddPayload("src/empty.dat", "");
  p.AddPayload("src/docs/caf\xC3\xA9 men\xC3\xBC.txt", "non-ASCII name\r\n");
  p.AddPayload("src/readonly.cfg", "locked=1\r\n");
  const auto stamp = PastTime(400);
  for (const char* f : {"src/bin/app.txt", "src/bin/lib/deep/data.bin", "src/readonly.cfg"})
    fs::last_write_time(p.dir() + "/" + f, stamp);
  p.AddRecord("src/bin/app.txt|<InstallDir>\\bin\\app.txt|11");
  p.AddRecord("src/bin/lib/deep/data.bin|<InstallDir>\\bin\\lib\\deep\\data.bin|11");
  p.AddRecord("src/empty.dat|<InstallDir>\\empty.dat|11");
  p.AddRecord("src/docs/caf\xC3\xA9 men\xC3\xBC.txt|<InstallDir>\\docs\\caf\xC3\xA9 men\xC3\xBC.txt|11");
  p.AddRecord("src/readonly.cfg|<InstallDir>\\readonly.cfg|11|R");
  p.AddRecord("-|<InstallDir>\\logs\\archive\\|11");
  p.AddRecord("src/empty.dat|<InstallDir>\\not-recorded.dat|10");
  p.tweak.mixed = true;  // stored and deflated entries alternate
  const std::string pkg = p.Build();

  for (bool viaD : {false, true}) {
    SCOPED_TRACE(viaD ? "/D" : "InstallDir");
    const std::string dirWin = viaD ? "C:\\EkTest D folder " + p.guid().substr(1, 8) : p.installDirWin();
    const std::string dir = UnixPath(dirWin);
    cleanup_.push_back(dir);
    RunOptions o;
    o.args = {"/S"};
    if (viaD) o.args.insert(o.args.end(), {"/D", dirWin});
    RunResult r = RunSetup(pkg, o);
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.dialogs.empty());
    EXPECT_EQ(ReadFile(dir + "/bin/app.txt"), "main program stand-in\r\n");
    EXPECT_EQ(ReadFile(dir + "/bin/lib/deep/data.bin"), big);
    EXPECT_TRUE(Exists(dir + "/empty.dat"));
    EXPECT_EQ(fs::file_size(dir + "/empty.dat"), 0u);
    EXPECT_EQ(ReadFile(dir + "/docs/caf\xC3\xA9 men\xC3\xBC.txt"), "non-ASCII name\r\n");
    EXPECT_TRUE(IsDir(dir + "/logs/archive"));
    // The stored date (two-second resolution) and the read-only attribute.
    const auto diff = fs::last_write_time(dir + "/bin/lib/deep/data.bin") - stamp;
    EXPECT_LT(std::chrono::abs(std::chrono::duration_cast<std::chrono::seconds>(diff)).count(), 3);
    const int attrs = std::stoi(Probe({"attrs", dirWin + "\\readonly.cfg"})["attributes"]);
    EXPECT_TRUE(attrs & 1) << attrs;
    EXPECT_FALSE(std::stoi(Probe({"attrs", dirWin + "\\bin\\app.txt"})["attributes"]) & 1);

    // The information file beside the uninstaller.
    const std::string ini = dir + "/Uninstall.ini";
    ASSERT_TRUE(Exists(ini));
    EXPECT_EQ(ReadFile(ini).substr(0, 3), "\xEF\xBB\xBF");
    Ini u = ReadIni(ini);
    EXPECT_EQ(u["General"]["AppName"], "EkTest layout");
    EXPECT_EQ(u["General"]["AppVersion"], "1.0.0");
    EXPECT_EQ(u["General"]["GUID"], p.guid());
    EXPECT_EQ(u["General"]["AllUsers"], "1");
    EXPECT_EQ(u["General"]["Admin"], "1");
    EXPECT_EQ(u["General"]["x64"], "1");
    EXPECT_EQ(u["General"]["InstallDir"], dirWin);
    EXPECT_EQ(u["General"]["MainExe"], dirWin + "\\bin\\app.txt");
    EXPECT_EQ(u["Messages"]["0"], "Uninstall %s");
    auto files = IniSection(ini, "Files");
    std::vector<std::pair<std::string, std::string>> want = {
        {"0", dirWin + "\\bin\\app.txt"},
        {"1", dirWin + "\\bin\\lib\\deep\\data.bin"},
        {"2", dirWin + "\\empty.dat"},
        {"3", dirWin + "\\docs\\caf\xC3\xA9 men\xC3\xBC.txt"},
        {"4", dirWin + "\\readonly.cfg"},
        {"5", dirWin + "\\Uninstall.exe"},
        {"6", dirWin + "\\Uninstall.ini"},
    };
    EXPECT_EQ(files, want);
    auto folders = IniSection(ini, "Folders");
    std::vector<std::string> folderValues;
    for (auto& [k, v] : folders) folderValues.push_back(v);
    for (const std::string& f : {dirWin, dirWin + "\\bin", dirWin + "\\bin\\lib", dirWin + "\\bin\\lib\\deep",
                                 dirWin + "\\docs", dirWin + "\\logs", dirWin + "\\logs\\archive"})
      EXPECT_NE(std::find(folderValues.begin(), folderValues.end(), f), folderValues.end()) << f;
    EXPECT_EQ(folders.front().second, dirWin);  // parents before children
  }
}

TEST_F(InstallFiles, OverwriteModesAgainstOlderAndNewerFiles) {
  Product p("overwrite");
  p.AddEnglish();
  p.SetIni(Product::StandardSetup());
  p.AddPayload("new.txt", "from the package\r\n");
  fs::last_write_time(p.dir() + "/new.txt", PastTime(30));
  const char* names[] = {"m1-older", "m1-newer", "m2-older", "m2-newer", "m3-older", "m3-newer", "m0-older"};
  const char* modes[] = {"11", "11", "21", "21", "31", "31", "01"};
  for (int i = 0; i < 7; ++i)
    p.AddRecord(std::string("new.txt|<InstallDir>\\") + names[i] + ".txt|" + modes[i]);
  const std::string pkg = p.Build();
  const std::string dir = p.installDirUnix();
  cleanup_.push_back(dir);
  for (int i = 0; i < 7; ++i) {
    const std::string f = dir + "/" + names[i] + ".txt";
    WriteFile(f, "user's own\r\n");
    fs::last_write_time(f, PastTime(std::string(names[i]).find("older") != std::string::npos ? 60 : 1));
  }
  RunResult r = RunSetup(pkg, {{"/S"}});
  ASSERT_EQ(r.exitCode, 0);
  auto replaced = [&](const char* n) { return ReadFile(dir + "/" + n + ".txt") == "from the package\r\n"; };
  EXPECT_TRUE(replaced("m1-older"));
  EXPECT_TRUE(replaced("m1-newer"));
  EXPECT_TRUE(replaced("m2-older"));
  EXPECT_FALSE(replaced("m2-newer"));  // only a newer entry replaces
  EXPECT_FALSE(replaced("m3-older"));
  EXPECT_FALSE(replaced("m3-newer"));
  EXPECT_TRUE(replaced("m0-older"));  // ask: the silent answer is yes
}

TEST_F(InstallFiles, NewerTestUsesVersionResourcesBeforeDates) {
  // Both carry the same file version: an equal version never replaces, even
  // when the package's copy is newer by date.
  Product p("versions");
  p.AddEnglish();
  p.SetIni(Product::StandardSetup());
  p.AddPayload("tool.exe", ReadFile(EnginePath()));
  fs::last_write_time(p.dir() + "/tool.exe", PastTime(1));
  p.AddRecord("tool.exe|<InstallDir>\\tool.exe|21");
  const std::string pkg = p.Build();
  const std::string installed = p.installDirUnix() + "/tool.exe";
  cleanup_.push_back(p.installDirUnix());
  WriteFile(installed, ReadFile(EnginePath()));
  const auto old = PastTime(90);
  fs::last_write_time(installed, old);
  ASSERT_EQ(RunSetup(pkg, {{"/S"}}).exitCode, 0);
  EXPECT_EQ(fs::last_write_time(installed), old);
}

TEST_F(InstallFiles, OverwriteQuestionRemembersNoToAll) {
  Product p("asknotoall");
  p.AddEnglish();
  p.SetIni(Product::StandardSetup());
  p.AddPayload("new.txt", "from the package\r\n");
  for (const char* n : {"a", "b"}) p.AddRecord(std::string("new.txt|<InstallDir>\\") + n + ".txt|01");
  p.AddRecord("new.txt|<InstallDir>\\c.txt|11");
  const std::string pkg = p.Build();
  const std::string dir = p.installDirUnix();
  cleanup_.push_back(dir);
  for (const char* n : {"a", "b", "c"}) WriteFile(dir + "/" + n + ".txt", "mine\r\n");
  RunOptions o;
  o.answer = "notoall";
  o.pressInstall = true;
  RunResult r = RunSetup(pkg, o);
  // Interactive: the run ends on the completion screen, whose Finish the
  // probe presses; one question was asked for both files of mode 0.
  size_t questions = 0;
  for (const auto& d : r.dialogs) questions += Contains(d, "already exists") ? 1 : 0;
  EXPECT_EQ(questions, 1u);
  EXPECT_EQ(ReadFile(dir + "/a.txt"), "mine\r\n");
  EXPECT_EQ(ReadFile(dir + "/b.txt"), "mine\r\n");
  EXPECT_EQ(ReadFile(dir + "/c.txt"), "from the package\r\n");
}

TEST_F(InstallFiles, UnwritableDestinationAbortsOrIsSkippedWithSwitch) {
  for (bool ignore : {false, true}) {
    SCOPED_TRACE(ignore ? "-silentignoreerror" : "abort");
    ClearSetupLog();
    Product p("unwritable");
    p.AddEnglish();
    p.SetIni(Product::StandardSetup() + "Uninstall=1\r\n" + (ignore ? "SetupParameters=-silentignoreerror\r\n" : ""));
    p.AddPayload("a.txt", "first\r\n");
    p.AddPayload("b.txt", "second\r\n");
    p.AddRecord("a.txt|<InstallDir>\\a.txt|11");
    p.AddRecord("b.txt|<InstallDir>\\blocked.txt|11");
    p.AddRecord("a.txt|<InstallDir>\\after.txt|11");
    const std::string pkg = p.Build();
    const std::string dir = p.installDirUnix();
    cleanup_.push_back(dir);
    // A folder where the file should go: it cannot be written.
    fs::create_directories(dir + "/blocked.txt");
    RunResult r = RunSetup(pkg, {{"/S"}});
    EXPECT_TRUE(r.dialogs.empty());
    EXPECT_TRUE(LogHasLine("Unable to create file: " + p.installDirWin() + "\\blocked.txt")) << ReadSetupLog();
    if (ignore) {
      EXPECT_EQ(r.exitCode, 0);
      EXPECT_TRUE(Exists(dir + "/after.txt"));
      EXPECT_TRUE(LogHasLine("CompletedWithError=1"));
    } else {
      EXPECT_EQ(r.exitCode, 9);
      EXPECT_TRUE(LogHasLine("ExitCode=9"));
      EXPECT_FALSE(Exists(dir + "/after.txt"));
    }
  }
}

TEST_F(InstallFiles, CompanionCommandLines) {
  const std::string dump = BuildDir() + "/e2e-work/argdump-" + std::to_string(::getpid());
  RemoveAll(dump);
  fs::create_directories(dump);
  const std::string argdump = BuildDir() + "/bin/argdump.exe";
  const std::string logFile = dump + "/argdump.log";
  RunOptions o;
  o.args = {"/S"};
  o.env = {{"EK_ARGDUMP_DIR", WinPath(dump)}};

  // External data file beside the installer, unpacked by the extractor.
  {
    Product p("pkgtype1");
    p.AddEnglish();
    p.SetIni(Product::StandardSetup() + "PackageType=1\r\nDataFileName=payload.7z\r\n");
    p.AddConfigFile("7za.exe", ReadFile(argdump));
    const std::string pkg = p.Build();
    WriteFile(fs::path(pkg).parent_path().string() + "/payload.7z", "archive");
    cleanup_.push_back(p.installDirUnix());
    ASSERT_EQ(RunSetup(pkg, o).exitCode, 0);
    const std::string log = ReadFile(logFile);
    EXPECT_TRUE(Contains(log, "7za.exe\t")) << log;
    EXPECT_TRUE(Contains(log, "x \"" + WinPath(fs::path(pkg).parent_path().string()) + "\\payload.7z\" -o\"" +
                                  p.installDirWin() + "\" -aoa"))
        << log;
    RemoveAll(logFile);
  }
  // Data file on a web server: the downloader (exit code 2: downloaded), then the extractor.
  {
    Product p("pkgtype2");
    p.AddEnglish();
    p.SetIni(Product::StandardSetup() + "PackageType=2\r\nDataFileName=https://example.com/files/data.7z\r\n"
                                        "DataExtractParam=s-y -o\"<InstallDir>\"\r\n");
    p.AddConfigFile("7za.exe", ReadFile(argdump));
    p.AddConfigFile("Downloader.exe", ReadFile(argdump));
    cleanup_.push_back(p.installDirUnix());
    ASSERT_EQ(RunSetup(p.Build(), o).exitCode, 0);
    const std::string log = ReadFile(logFile);
    EXPECT_TRUE(Contains(log, "/S \"https://example.com/files/data.7z\" /D \"" + TempWin() + "\\EKTMP0\\data.7z\""))
        << log;
    EXPECT_TRUE(Contains(log, "x \"" + TempWin() + "\\EKTMP0\\data.7z\" -y -o\"" + p.installDirWin() + "\"")) << log;
    RemoveAll(logFile);
  }
  // The updater started once at the end, elevated, with its frequency.
  {
    Product p("updater");
    p.withUninstaller = false;
    p.AddEnglish();
    p.SetIni(Product::StandardSetup() + "Updater=1\r\nAutoCheckUpdate=1\r\nUpdateFrequency=5\r\n");
    p.AddPayload("Updater.exe", ReadFile(argdump));
    p.AddRecord("Updater.exe|<InstallDir>\\Updater.exe|11|addon");
    cleanup_.push_back(p.installDirUnix());
    ASSERT_EQ(RunSetup(p.Build(), o).exitCode, 0);
    const std::string updaterLine = "Updater.exe\t\"" + p.installDirWin() + "\\Updater.exe\" /S /AUTORUNON 5";
    const std::string log = ReadOnceItHolds(logFile, updaterLine);
    EXPECT_TRUE(Contains(log, updaterLine)) << log;
    // Without an uninstaller the updater gets the information file itself.
    EXPECT_TRUE(Exists(p.installDirUnix() + "/Updater.ini"));
    RemoveAll(logFile);
  }
  // An abort rolls back through the uninstaller unpacked from the package.
  {
    Product p("rollback");
    p.AddEnglish();
    p.SetIni(Product::StandardSetup() + "Uninstall=1\r\n");
    p.tweak.uninstaller = argdump;
    p.AddPayload("a.txt", "a");
    p.AddRecord("a.txt|<InstallDir>\\blocked.txt|11");
    const std::string pkg = p.Build();
    cleanup_.push_back(p.installDirUnix());
    fs::create_directories(p.installDirUnix() + "/blocked.txt");
    EXPECT_EQ(RunSetup(pkg, o).exitCode, 9);
    EXPECT_TRUE(Contains(ReadFile(logFile), "Uninstall.exe\t\"" + TempWin() + "\\EKTMP0\\Uninstall.exe\" /T /S /R"))
        << ReadFile(logFile);
    RemoveAll(logFile);
  }
  RemoveAll(dump);
}

}  // namespace
