// Hostile packages: archives with names that reach outside the folder they
// are unpacked to, entries that lie about themselves, and configurations
// made to exhaust the engine. Each is refused with its exit code (or, for the
// configurations, installs), writes nothing outside the installation folder
// and the setup's temporary folder, leaves no temporary folder behind, and
// ends within its time with bounded memory.
#include <gtest/gtest.h>

#include <filesystem>

#include "harness.h"
#include "setup_run_test.h"
#include "zip_fixture.h"

using namespace e2e;
using ek::fixture::CentralRecords;
using ek::fixture::MakeZip;
using ek::fixture::Set32;
using ek::fixture::Set64;
namespace fs = std::filesystem;

namespace {

// A run of a hostile package ends within this time, and its memory stays
// far below what any of the archives would need if they were believed.
constexpr int kTimeoutSec = 90;
constexpr long kPeakKbLimit = 400 * 1024;

class HostilePackage : public SetupRunTest {
 protected:
  void SetUp() override {
    SetupRunTest::SetUp();
    for (const auto& v : Victims()) RemoveAll(v);
    tempBefore_ = ListDir(TempUnix());
  }

  // Where an entry that climbs out, or names a drive, would land.
  static std::vector<std::string> Victims() {
    return {TempUnix() + "/x.txt", Prefix() + "/drive_c/users/" + WineUser() + "/x.txt", Prefix() + "/drive_c/x.txt",
            Prefix() + "/drive_c/users/x.txt", TempUnix() + "/CON", TempUnix() + "/nul.txt"};
  }

  // Runs the package silently and checks what every hostile run must hold.
  RunResult Run(const std::string& package, int expectedCode, const std::string& what) {
    SCOPED_TRACE(what);
    ClearSetupLog();
    RunOptions o;
    o.args = {"/S", "/L"};
    o.timeoutSec = kTimeoutSec;
    RunResult r = RunSetup(package, o);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, expectedCode) << ReadSetupLog();
    EXPECT_GT(r.peakKb, 0);  // measured at all
    EXPECT_LT(r.peakKb, kPeakKbLimit);
    EXPECT_TRUE(EktmpFolders().empty()) << "the temporary folder stayed";
    for (const auto& v : Victims()) EXPECT_FALSE(Exists(v)) << v;
    // Nothing else appeared in the user's temporary folder but the log.
    std::vector<std::string> now = ListDir(TempUnix());
    std::erase(now, "EKSETUPLOG.TXT");
    EXPECT_EQ(now, tempBefore_);
    for (const auto& f : EktmpFolders()) RemoveAll(TempUnix() + "/" + f);
    return r;
  }

  // A product whose configuration is packed by the test: the builder's own
  // eksetup.ini and language file beside the hostile entries.
  struct Config {
    std::string ini, lng;
  };
  Config BuiltConfig(Product& p) {
    p.AddEnglish();
    p.AddPayload("a.txt", "payload\r\n");
    p.AddRecord("a.txt|<InstallDir>\\a.txt|11");
    p.tweak.configOut = p.dir() + "/built.ini";
    p.Build();
    p.tweak.configOut.clear();
    cleanup_.push_back(p.installDirUnix());
    return {ReadFile(p.dir() + "/built.ini"), ReadFile(p.dir() + "/config/Englishek.lng")};
  }
  std::string WithConfigArchive(Product& p, const std::string& zip) {
    const std::string path = p.dir() + "/hostile-config.zip";
    WriteFile(path, zip);
    p.tweak.rawConfigZip = path;
    return p.Build();
  }
  std::string WithDataArchive(Product& p, const std::string& zip) {
    const std::string path = p.dir() + "/hostile-data.zip";
    WriteFile(path, zip);
    p.tweak.rawDataZip = path;
    return p.Build();
  }

  // Beside the specified lines, the log says that the package is damaged.
  static bool LogSaysDamaged() {
    for (const auto& line : LogLines())
      if (line.rfind("Error=Damaged package: ", 0) == 0) return true;
    return false;
  }

  std::vector<std::string> tempBefore_;
};

// The archive with entry `at` a deflated one that declares `declared` bytes
// and inflates to `real`.
std::string Bomb(std::vector<ek::fixture::Entry> entries, size_t at, const std::string& name, size_t real,
                 uint32_t declared) {
  entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(at), {name, std::string(real, '\0'), true});
  std::string zip = MakeZip(entries);
  Set32(zip, CentralRecords(zip)[at] + 24, declared);
  return zip;
}

TEST_F(HostilePackage, ConfigurationArchivesThatReachOutOrLieStopWithCode6) {
  Product p("hostileconfig");
  const Config c = BuiltConfig(p);
  const std::vector<ek::fixture::Entry> good = {{"eksetup.ini", c.ini, true}, {"Englishek.lng", c.lng, true}};
  auto with = [&](const std::string& name) {
    auto entries = good;
    entries.insert(entries.begin(), {name, "planted\r\n", false});
    return MakeZip(entries);
  };
  struct Case {
    std::string what, zip;
  };
  std::vector<Case> cases;
  for (const char* name : {"CON", "nul.txt", "COM1", "aux.txt", "LPT1.log", "eksetup.ini:evil", "x.txt.", "x.txt ",
                           "\\x.txt", "/x.txt", "C:\\x.txt", "C:x.txt", "\\\\server\\share\\x.txt", "//server/share/x.txt",
                           "..\\x.txt", "../x.txt", "..\\..\\x.txt", "a\\..\\..\\x.txt", ".. \\x.txt", "... \\x.txt",
                           ". .\\..\\x.txt", "..\\/..\\/x.txt", "\\\\?\\C:\\x.txt", "\\\\.\\C:\\x.txt"})
    cases.push_back({std::string("entry named ") + name, with(name)});
  cases.push_back({"a name that would forge log lines", with("x\r\nInstallationCompleted=1\r\n")});
  cases.push_back({"two entries named eksetup.ini", MakeZip({{"eksetup.ini", "[Setup]\r\n"}, good[0], good[1]})});
  cases.push_back({"names that differ in case only", MakeZip({good[0], {"EKSETUP.INI", "[Setup]\r\n"}, good[1]})});
  {
    std::string z = MakeZip(good);
    Set32(z, CentralRecords(z)[1] + 42, 0);  // the language file's record points at eksetup.ini's header
    cases.push_back({"two records share their data", z});
  }
  cases.push_back({"deflate bomb", Bomb(good, 2, "Padding.bin", 64u << 20, 1u << 20)});
  {
    std::string z = MakeZip({good[0], good[1], {"big.bin", "x"}}, "", true);
    const size_t rec = CentralRecords(z)[2];
    Set64(z, rec + 46 + 7 + 4, 5ull << 30);  // 5 GiB declared, uncompressed and compressed
    Set64(z, rec + 46 + 7 + 12, 5ull << 30);
    cases.push_back({"declared size beyond 4 GiB", z});
  }
  {
    std::string z = MakeZip(good, "", true);
    Set64(z, CentralRecords(z)[0] + 46 + 11 + 4 + 16, 1ull << 40);  // eksetup.ini's offset
    cases.push_back({"ZIP64 offset that lies", z});
  }
  {
    std::string z = MakeZip(good);
    Set32(z, z.rfind("PK\x05\x06") + 16, 0x7FFFFFF0);
    cases.push_back({"central directory outside the archive", z});
  }
  for (const auto& k : cases) {
    Run(WithConfigArchive(p, k.zip), 6, k.what);
    EXPECT_TRUE(LogHasLine("Halt=6-Unable to extract files. Please try again.")) << k.what << "\n" << ReadSetupLog();
    EXPECT_TRUE(LogSaysDamaged()) << k.what << "\n" << ReadSetupLog();
    EXPECT_FALSE(Exists(p.installDirUnix())) << k.what;
    EXPECT_FALSE(LogHasLine("InstallationCompleted=1")) << k.what;
  }
}

TEST_F(HostilePackage, DataArchivesThatLieAreRefusedAndLeaveNothing) {
  Product p("hostiledata");
  p.AddEnglish();
  p.SetIni(Product::StandardSetup() + "Uninstall=1\r\n");
  p.AddPayload("a.txt", "first\r\n");
  p.AddPayload("b.txt", "second\r\n");
  p.AddRecord("a.txt|<InstallDir>\\a.txt|11");
  p.AddRecord("b.txt|<InstallDir>\\b.txt|11");
  cleanup_.push_back(p.installDirUnix());
  const Snapshot before = TakeSnapshot();
  struct Case {
    std::string what, zip;
  };
  std::vector<Case> cases;
  cases.push_back({"two entries named 0", MakeZip({{"0", "first\r\n"}, {"1", "second\r\n"}, {"0", "evil\r\n"}})});
  {
    std::string z = MakeZip({{"0", "first\r\n"}, {"1", "second\r\n"}});
    Set32(z, CentralRecords(z)[1] + 42, 0);
    cases.push_back({"two records share their data", z});
  }
  {
    std::string z = MakeZip({{"0", "first\r\n"}, {"1", "second\r\n"}}, "", true);
    Set64(z, CentralRecords(z)[1] + 46 + 1 + 4, 5ull << 30);
    Set64(z, CentralRecords(z)[1] + 46 + 1 + 12, 5ull << 30);
    cases.push_back({"declared size beyond 4 GiB", z});
  }
  {
    std::string z = MakeZip({{"0", "first\r\n"}, {"1", "second\r\n"}});
    Set32(z, z.rfind("PK\x05\x06") + 16, 0x7FFFFFF0);
    cases.push_back({"central directory outside the archive", z});
  }
  for (const auto& k : cases) {
    Run(WithDataArchive(p, k.zip), 1, k.what);
    EXPECT_TRUE(LogSaysDamaged()) << k.what << "\n" << ReadSetupLog();
    EXPECT_FALSE(Exists(p.installDirUnix())) << k.what;
  }
  EXPECT_EQ(SnapshotDiff(before, TakeSnapshot()), "");
}

TEST_F(HostilePackage, DeflateBombInTheDataArchiveEndsWithCode9AndCleansUp) {
  // The second entry inflates far beyond what it declares: the file stage
  // stops with code 9, the log says that the package is damaged, and neither
  // the temporary folder nor the copy of the data archive stays. With an
  // uninstaller in the package the installation is rolled back too.
  for (bool withUninstaller : {true, false}) {
    SCOPED_TRACE(withUninstaller ? "with an uninstaller" : "without an uninstaller");
    Product p("databomb");
    p.withUninstaller = withUninstaller;
    p.AddEnglish();
    p.SetIni(Product::StandardSetup() + (withUninstaller ? "Uninstall=1\r\n" : ""));
    p.AddPayload("a.txt", "first\r\n");
    p.AddPayload("b.bin", "placeholder");
    p.AddRecord("a.txt|<InstallDir>\\a.txt|11");
    p.AddRecord("b.bin|<InstallDir>\\b.bin|11");
    cleanup_.push_back(p.installDirUnix());
    std::vector<ek::fixture::Entry> entries = {{"0", "first\r\n"}};
    if (withUninstaller) entries.push_back({"2", ReadFile(UninstallerPath())});  // rolls the installation back
    const std::string package = WithDataArchive(p, Bomb(entries, 1, "1", 64u << 20, 1u << 20));
    const Snapshot before = TakeSnapshot();
    Run(package, 9, "deflate bomb");
    EXPECT_TRUE(LogHasLine("ExitCode=9")) << ReadSetupLog();
    EXPECT_TRUE(LogHasLine("Unable to create file: " + p.installDirWin() + "\\b.bin")) << ReadSetupLog();
    EXPECT_TRUE(LogHasLine("Error=Damaged package: entry 1 of the data archive: the compressed data is damaged"))
        << ReadSetupLog();
    EXPECT_FALSE(Exists(p.installDirUnix() + "/b.bin"));
    if (withUninstaller) {
      EXPECT_EQ(SnapshotDiff(before, TakeSnapshot()), "");
    }
  }
}

TEST_F(HostilePackage, DestinationsThatAreNoFilesAreRefused) {
  // Records whose destination is a device, a stream, a name Windows shortens,
  // the device namespace or a relative path (the folder the setup runs from):
  // each fails as a file that cannot be written, nothing is created for it,
  // and with -silentignoreerror the rest of the package installs.
  Product p("hostiledest");
  p.withUninstaller = false;
  p.AddEnglish();
  p.SetIni(Product::StandardSetup() + "SetupParameters=-silentignoreerror\r\n");
  p.AddPayload("x.txt", "planted\r\n");
  // (A trailing blank cannot be written: the configuration trims its values;
  // "?" ends the destination of a record.)
  const std::vector<std::string> destinations = {
      "<InstallDir>\\CON",           "<InstallDir>\\aux.txt", "<InstallDir>\\LPT1\\x.txt", "<InstallDir>\\x.txt:evil",
      "<InstallDir>\\x.txt.",        "<InstallDir>\\sub.\\x.txt", "relative-x.txt",             "\\\\.\\C:\\x.txt",
      "<InstallDir>\\nul\\",         "C:x.txt"};
  for (const auto& d : destinations) p.AddRecord("x.txt|" + d + "|11");
  p.AddRecord("x.txt|<InstallDir>\\ok.txt|11");
  cleanup_.push_back(p.installDirUnix());
  const std::string package = p.Build();
  Run(package, 0, "destinations that are no files");
  for (const auto& d : destinations) {
    std::string expanded = d;
    if (expanded.rfind("<InstallDir>", 0) == 0) expanded = p.installDirWin() + expanded.substr(12);
    EXPECT_TRUE(LogHasLine("Unable to create file: " + expanded)) << d << "\n" << ReadSetupLog();
  }
  EXPECT_TRUE(LogHasLine("CompletedWithError=1"));
  EXPECT_EQ(ListDir(p.installDirUnix()), std::vector<std::string>{"ok.txt"});
  for (const std::string& folder : {fs::path(package).parent_path().string(), fs::current_path().string(),
                                    BuildDir(), Prefix() + "/drive_c", TempUnix()})
    EXPECT_FALSE(Exists(folder + "/relative-x.txt")) << folder;
}

TEST_F(HostilePackage, ConfigurationsMadeToExhaustTheEngineStillInstall) {
  // Megabyte lines, 100,000 records and a value that names another twice:
  // the installation completes, within its time and memory.
  Product p("exhaust");
  p.withUninstaller = false;
  const std::string mb(4u << 20, 'M');
  std::string ini = Product::StandardSetup();
  ini.replace(ini.find("Publisher=Ek Test Ltd"), 21, "Publisher=<Language><Language>");
  ini += "Padding=" + mb + "\r\n";
  ini += "SetupParameters=" + std::string(1u << 20, '-') + "\r\n";
  // Commands for a stage this run never reaches: each is read and passed
  // over at every stage the installation does reach.
  ini += "[Commands]\r\n";
  for (int i = 0; i < 100000; ++i)
    ini += std::to_string(i) + "=cmd.exe*?/c exit " + std::to_string(i) + "*?HIDE*?AT USER INFORMATION DIALOG*?Yes*?*?No\r\n";
  p.SetIni(ini);
  p.AddConfigFile("Englishek.lng", ReadFile(SourceDir() + "/examples/demo/config/Englishek.lng") + "\r\n[Long]\r\n0=" +
                                       mb + "\r\n");
  p.AddPayload("a.txt", "payload\r\n");
  p.AddRecord("a.txt|<InstallDir>\\<AppVersion>-<Publisher>.txt|11");
  cleanup_.push_back(p.installDirUnix());
  Run(p.Build(), 0, "exhausting configuration");
  EXPECT_EQ(ListDir(p.installDirUnix()), std::vector<std::string>{"1.0.0-EnglishEnglish.txt"});
}

TEST_F(HostilePackage, VariablesThatExpandIntoThemselvesEndInTime) {
  // The version and the GUID name themselves and each other through text
  // functions: the expansion of the destination spends its work bound and
  // leaves the text as written, which is no file path; the file stage ends
  // with 9 within its time and memory, and nothing is installed.
  Product p("selfnaming");
  p.withUninstaller = false;
  std::string ini = Product::StandardSetup();
  ini.replace(ini.find("AppVersion=1.0.0"), 16,
              "AppVersion=GETDIRX[<GUID>]GETNAMEX[<GUID>]UPPERCASEX[<GUID>]<GUID><AppVersion><AppVersion>");
  ini.replace(ini.find("GUID={GUID}"), 11, "GUID={GUID}GETVERX[<AppVersion>]<AppVersion><GUID>");
  p.SetIni(ini);
  p.AddEnglish();
  p.AddPayload("a.txt", "payload\r\n");
  p.AddRecord("a.txt|<InstallDir>\\GETVERX[<AppVersion>]-<Publisher>.txt|11");
  cleanup_.push_back(p.installDirUnix());
  Run(p.Build(), 9, "variables that expand into themselves");
  EXPECT_TRUE(LogHasLine("Unable to create file: <InstallDir>\\GETVERX[<AppVersion>]-<Publisher>.txt"))
      << ReadSetupLog();
  EXPECT_FALSE(Exists(p.installDirUnix()));
}

TEST_F(HostilePackage, FileCountFarBeyondItsRecordsInstallsWhatIsThere) {
  // The configuration declares two billion files for its one record: the
  // file stage walks the records there are, within its time.
  Product p("hostilecount");
  p.withUninstaller = false;
  const Config c = BuiltConfig(p);
  std::string ini = c.ini;
  const size_t at = ini.find("TotalFiles=1\r\n");
  ASSERT_NE(at, std::string::npos) << ini;
  ini.replace(at, 12, "TotalFiles=2147483647");
  Run(WithConfigArchive(p, MakeZip({{"eksetup.ini", ini, true}, {"Englishek.lng", c.lng, true}})), 0,
      "a file count far beyond the records");
  EXPECT_EQ(ReadFile(p.installDirUnix() + "/a.txt"), "payload\r\n");
  EXPECT_TRUE(LogHasLine("InstallationCompleted=1")) << ReadSetupLog();
}

}  // namespace
