// Start-up of real setup files: the trailer, the configuration archive, the
// temporary folder, silent mode, the log and the operating-system gate.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "harness.h"
#include "setup_run_test.h"

using namespace e2e;

namespace {

// Every run, whatever its end, leaves no temporary folder behind (the frame
// checks it after each test).
class Startup : public SetupRunTest {
 protected:
  // A minimal product with one payload file; its folder goes after the test.
  std::string Package(Product& p) {
    p.AddEnglish();
    p.AddPayload("files/readme.txt", "hello\r\n");
    p.AddRecord("files/readme.txt|<InstallDir>\\readme.txt|11");
    cleanup_.push_back(p.installDirUnix());
    return p.Build();
  }
  static std::string PythonZip(const std::string& out, const std::string& mode, const std::vector<std::string>& entries) {
    std::string cmd = "python3 '" + SourceDir() + "/tests/e2e/make_zip.py' '" + out + "' " + mode;
    for (const auto& e : entries) cmd += " '" + e + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return out;
  }
};

TEST_F(Startup, EngineStaysAboveTheLowestTrailerPosition) {
  // The trailer scan never looks below offset 1,000,000: an engine smaller
  // than that would make small packages unreadable.
  EXPECT_GT(std::filesystem::file_size(EnginePath()), 1000012u);
}

TEST_F(Startup, BadTrailersStopWithCode1) {
  struct Case {
    const char* what;
    bool noTrailer;
    const char* trailer;
  } cases[] = {
      {"no trailer", true, nullptr},
      {"size not a number", false, "ZYX0notanumbr"},
      {"size 1", false, "ZYX0000000001"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Product p("badtrailer");
    p.tweak.noTrailer = c.noTrailer;
    if (c.trailer) p.tweak.trailer = c.trailer;
    const std::string pkg = Package(p);
    RunResult r = RunSetup(pkg, {{"/S", "/L"}});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(LogHasLineStartingWith("Halt=1-The setup file is corrupted.")) << ReadSetupLog();
    // The silent decision comes later: the box is shown even with /S.
    ASSERT_EQ(r.dialogs.size(), 1u);
    EXPECT_TRUE(Contains(r.dialogs[0], "Please obtain a new copy of the file.")) << r.dialogs[0];
    EXPECT_FALSE(Exists(p.installDirUnix()));
  }
}

TEST_F(Startup, JunkAfterTheTrailerIsSkippedByTheScan) {
  Product p("junk");
  p.tweak.junkAfterTrailer = 100000;  // more than one read block
  RunResult r = RunSetup(Package(p), {{"/S"}});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_TRUE(Exists(p.installDirUnix() + "/readme.txt"));
}

TEST_F(Startup, ConfigArchiveWithoutIniOrDamagedStopsWithCode6) {
  Product p("noini");
  p.AddEnglish();
  const std::string lng = p.dir() + "/config/Englishek.lng";
  const std::string junk = p.dir() + "/junk.bin";
  WriteFile(junk, std::string(5000, 'x'));
  struct Case {
    const char* what;
    std::string zip;
  } cases[] = {
      {"no eksetup.ini", PythonZip(p.dir() + "/noini.zip", "plain", {"Englishek.lng=" + lng})},
      {"not a zip", junk},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    p.tweak.rawConfigZip = c.zip;
    RunResult r = RunSetup(p.Build(), {{"/S", "/L"}});
    EXPECT_EQ(r.exitCode, 6);
    EXPECT_TRUE(LogHasLine("Halt=6-Unable to extract files. Please try again.")) << ReadSetupLog();
  }
}

TEST_F(Startup, HostileConfigArchivesWriteNothingOutsideTheTempFolder) {
  Product p("hostile");
  p.AddEnglish();
  Product ok("hostileini");
  ok.SetIni(Product::StandardSetup());
  const std::string ini = ok.dir() + "/config/eksetup.ini";
  const std::string lng = p.dir() + "/config/Englishek.lng";
  const std::string payload = p.dir() + "/x.txt";
  WriteFile(payload, "planted\r\n");
  const std::string victim = Prefix() + "/drive_c/users/" + WineUser() + "/x.txt";
  const std::string rootVictim = Prefix() + "/drive_c/x.txt";
  RemoveAll(victim);
  RemoveAll(rootVictim);
  cleanup_.insert(cleanup_.end(), {victim, rootVictim, TempUnix() + "/x.txt"});
  const std::vector<std::string> base = {"eksetup.ini=" + ini, "Englishek.lng=" + lng};
  struct Case {
    const char* what;
    std::string mode;
    std::string extra;
  } cases[] = {
      {"climbs out", "plain", "..\\..\\x.txt=" + payload},
      {"climbs out with slashes", "plain", "../../x.txt=" + payload},
      {"drive letter", "plain", "C:\\x.txt=" + payload},
      {"absolute", "plain", "\\x.txt=" + payload},
      {"wrong CRC", "badcrc", ""},
      {"truncated", "truncated", ""},
      {"declared size beyond the file", "hugesize", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> entries = base;
    if (!c.extra.empty()) entries.insert(entries.begin(), c.extra);
    p.tweak.rawConfigZip = PythonZip(p.dir() + "/hostile.zip", c.mode, entries);
    RunResult r = RunSetup(p.Build(), {{"/S", "/L"}});
    EXPECT_EQ(r.exitCode, 6) << ReadSetupLog();
    EXPECT_FALSE(Exists(victim));
    EXPECT_FALSE(Exists(rootVictim));
    EXPECT_FALSE(Exists(TempUnix() + "/x.txt"));
  }
}

TEST_F(Startup, ArchivesFromIndependentWritersAreRead) {
  Product p("writers");
  p.AddEnglish();
  p.SetIni(Product::StandardSetup());
  // The configuration as the builder completes it, packed by other writers.
  const std::string ini = p.dir() + "/built/eksetup.ini";
  std::filesystem::create_directories(p.dir() + "/built");
  p.tweak.configOut = ini;
  p.Build();
  p.tweak.configOut.clear();
  WriteFile(p.dir() + "/built/Englishek.lng", ReadFile(p.dir() + "/config/Englishek.lng"));
  const std::string lng = p.dir() + "/config/Englishek.lng";
  // Info-ZIP zip.
  const std::string infozip = p.dir() + "/infozip.zip";
  std::string cmd = "cd '" + p.dir() + "/built' && zip -q -X '" + infozip + "' eksetup.ini Englishek.lng";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  for (const std::string& zip : {infozip, PythonZip(p.dir() + "/py.zip", "plain", {"eksetup.ini=" + ini, "Englishek.lng=" + lng}),
                                 PythonZip(p.dir() + "/pystored.zip", "stored", {"eksetup.ini=" + ini, "Englishek.lng=" + lng})}) {
    SCOPED_TRACE(zip);
    p.tweak.rawConfigZip = zip;
    RunResult r = RunSetup(p.Build(), {{"/S", "/L"}});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(LogHasLine("InstallationCompleted=1")) << ReadSetupLog();
  }
}

TEST_F(Startup, TempFolderTakesTheFirstFreeNumber) {
  for (int i = 0; i < 3; ++i) std::filesystem::create_directories(TempUnix() + "/EKTMP" + std::to_string(i));
  Product p("ektmp");
  RunResult r = RunSetup(Package(p), {{"/S", "/L"}});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_TRUE(LogHasLine("SetupTempDir=" + TempWin() + "\\EKTMP3")) << ReadSetupLog();
  // The other setups' folders are untouched.
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(IsDir(TempUnix() + "/EKTMP" + std::to_string(i)));
    RemoveAll(TempUnix() + "/EKTMP" + std::to_string(i));
  }
}

TEST_F(Startup, AllTempNamesTakenStopsWithoutTouchingThem) {
  for (int i = 0; i <= 20; ++i) {
    std::filesystem::create_directories(TempUnix() + "/EKTMP" + std::to_string(i));
    WriteFile(TempUnix() + "/EKTMP" + std::to_string(i) + "/owner.txt", "other setup");
  }
  Product p("ektmpfull");
  RunResult r = RunSetup(Package(p), {{"/S", "/L"}});
  EXPECT_EQ(r.exitCode, 6);
  for (int i = 0; i <= 20; ++i) {
    EXPECT_TRUE(Exists(TempUnix() + "/EKTMP" + std::to_string(i) + "/owner.txt"));
    RemoveAll(TempUnix() + "/EKTMP" + std::to_string(i));
  }
}

TEST_F(Startup, SilentRunRefusedByNoSilentSwitch) {
  for (bool noSaveLog : {false, true}) {
    SCOPED_TRACE(noSaveLog ? "-nosavelog" : "log kept");
    ClearSetupLog();
    Product p("nosilent");
    p.SetIni(Product::StandardSetup() + (noSaveLog ? "SetupParameters=-nosilent -nosavelog\r\n" : "SetupParameters=-nosilent\r\n"));
    RunResult r = RunSetup(Package(p), {{"/S"}});
    EXPECT_EQ(r.exitCode, 5);
    ASSERT_EQ(r.dialogs.size(), 1u);
    EXPECT_TRUE(Contains(r.dialogs[0], "Silent Installation Is Not Allowed"));
    if (noSaveLog) {
      EXPECT_EQ(ReadSetupLog(), "");
    } else {
      EXPECT_TRUE(LogHasLine("Error=Silent Installation Is Not Allowed")) << ReadSetupLog();
      EXPECT_TRUE(LogHasLine("CompletedWithError=1"));
    }
    EXPECT_FALSE(Exists(p.installDirUnix()));
  }
}

TEST_F(Startup, LogOfASilentRun) {
  Product p("log");
  const std::string pkg = Package(p);
  RunResult r = RunSetup(pkg, {{"/S", "/L"}});
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_TRUE(r.dialogs.empty());
  auto lines = LogLines();
  ASSERT_GE(lines.size(), 11u) << ReadSetupLog();
  EXPECT_EQ(lines[0], "[Setup]");
  EXPECT_EQ(lines[1].rfind("Date=", 0), 0u);
  EXPECT_EQ(lines[2].rfind("File=", 0), 0u);
  EXPECT_TRUE(Contains(lines[2], "/S /L"));
  EXPECT_EQ(lines[3], "SetupTempDir=" + TempWin() + "\\EKTMP0");
  EXPECT_EQ(lines[4], "SetupDefaultLanguage=English");
  EXPECT_EQ(lines[5], "Product=EkTest log 1.0.0");
  EXPECT_EQ(lines[6].rfind("OS=Windows 10 (Version 10.0, Build ", 0), 0u) << lines[6];
  EXPECT_TRUE(Contains(lines[6], "64-bit Edition)"));
  EXPECT_EQ(lines[7], "AdminRights=1");
  EXPECT_EQ(lines[8], "Mode=Silent Installation");
  EXPECT_EQ(lines[lines.size() - 2], "InstallationCompleted=1");
  EXPECT_EQ(lines.back(), "CompletedWithError=0");

  // Without /L a successful run leaves no log.
  ClearSetupLog();
  Product q("nolog");
  EXPECT_EQ(RunSetup(Package(q), {{"/S"}}).exitCode, 0);
  EXPECT_EQ(ReadSetupLog(), "");
}

TEST_F(Startup, OperatingSystemGateOnTwoWindowsVersions) {
  // Wine's own version table names the product type; its "win7" entry
  // reports a server, so the client and server names are covered by others.
  struct Case {
    const char* exe;
    const char* wineVersion;
    const char* productName;
    const char* osLine;
  } cases[] = {
      {"gatewin10.exe", "win10", "Windows 10", "OS=Windows 10 (Version 10.0, Build 18362, 64-bit Edition)"},
      {"gatewin81.exe", "win81", "Windows 8.1", "OS=Windows 8.1 (Version 6.3, Build 9600, 64-bit Edition)"},
      {"gatevista.exe", "vista", "Windows Vista", "OS=Windows Vista Service Pack 2 (Version 6.0, Build 6002, 64-bit Edition)"},
      {"gatesrv08.exe", "win2008", "Windows Server 2008",
       "OS=Windows Server 2008 Service Pack 2 (Version 6.0, Build 6002, 64-bit Edition)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.productName);
    // Wine's per-program version: only this file name sees it.
    const std::string appDefaults = std::string("HKCU\\Software\\Wine\\AppDefaults\\") + c.exe;
    WineOutput({"reg", "add", appDefaults, "/v", "Version", "/d", c.wineVersion, "/f"});
    regKeys_.push_back(appDefaults);
    Product p("gate");
    cleanup_.push_back(p.installDirUnix());
    // Every other version is allowed; this one is not.
    std::string ini = "[Setup]\r\nAppName=Gate App\r\nAppVersion=2.0\r\nGUID={GUID}\r\nInstallDir={INSTALLDIR}\r\n";
    for (const char* w : {"Windows Vista", "Windows Server 2008", "Windows 7", "Windows 8", "Windows 8.1", "Windows 10",
                          "Windows 11"})
      if (std::string(w) != c.productName) ini += std::string(w) + "=1\r\n";
    p.SetIni(ini);
    p.AddEnglish();
    const std::string pkg = p.Build(c.exe);
    ClearSetupLog();
    RunResult silent = RunSetup(pkg, {{"/S", "/L"}});
    EXPECT_EQ(silent.exitCode, 5);
    EXPECT_TRUE(silent.dialogs.empty());
    EXPECT_TRUE(LogHasLine(c.osLine)) << ReadSetupLog();
    RunResult shown = RunSetup(pkg, {});
    EXPECT_EQ(shown.exitCode, 5);
    ASSERT_EQ(shown.dialogs.size(), 1u);
    EXPECT_TRUE(Contains(shown.dialogs[0], std::string("Gate App 2.0 cannot run on ") + c.productName + "."))
        << shown.dialogs[0];
    // /N skips the gate.
    RunResult skipped = RunSetup(pkg, {{"/S", "/N"}});
    EXPECT_EQ(skipped.exitCode, 0);
  }
}

TEST_F(Startup, ElevatedInstanceWithoutItsFolderStopsWithCode1) {
  Product p("rad");
  RunResult r = RunSetup(Package(p), {{"/RAD", "\"C:\\nowhere\\EKTMP9\""}});
  EXPECT_EQ(r.exitCode, 1);
  ASSERT_EQ(r.dialogs.size(), 1u);
  EXPECT_TRUE(Contains(r.dialogs[0], "SetupTempDir not found:|C:\\nowhere\\EKTMP9||Try to run the file as an administrator"))
      << r.dialogs[0];
  EXPECT_EQ(ReadSetupLog(), "");  // nothing is logged
}

TEST_F(Startup, MissingLanguageFileStopsWithCode4) {
  Product p("nolang");
  // The only language file is not the configured one.
  p.AddConfigFile("Germanek.lng", "[Info]\r\nid=1031\r\n");
  const std::string pkg = p.Build();
  RunResult silent = RunSetup(pkg, {{"/S", "/L"}});
  EXPECT_EQ(silent.exitCode, 4);
  EXPECT_TRUE(silent.dialogs.empty());
  EXPECT_TRUE(LogHasLine("Halt=4-Language file was not found.")) << ReadSetupLog();
  RunResult shown = RunSetup(pkg, {});
  EXPECT_EQ(shown.exitCode, 4);
  ASSERT_EQ(shown.dialogs.size(), 1u);
  EXPECT_TRUE(Contains(shown.dialogs[0], "Language file was not found."));
}

}  // namespace

namespace {

TEST_F(Startup, ExtraVarFromTheFileNameOrTheCommandLine) {
  struct Case {
    const char* file;
    std::vector<std::string> args;
    bool extravardef;
    const char* expected;
  } cases[] = {
      {"setup_de.exe", {}, false, "de"},  // double-clicked: no arguments at all
      {"setup_de.exe", {"/S", "/X", "fr"}, false, "fr"},
      {"setup_de.exe", {"/S"}, true, ""},
      {"setup.exe", {"/S"}, false, ""},
      {"tool-x64 (2).exe", {"/S"}, false, "x64"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    Product p("extravar");
    cleanup_.push_back(p.installDirUnix());
    p.AddEnglish();
    p.SetIni(Product::StandardSetup() + (c.extravardef ? "SetupParameters=-extravardef\r\n" : ""));
    p.AddPayload("x.txt", "x");
    p.AddRecord("x.txt|<InstallDir>\\extra-<ExtraVar>.txt|11");
    RunOptions o;
    o.args = c.args;
    o.pressInstall = c.args.empty();
    EXPECT_EQ(RunSetup(p.Build(c.file), o).exitCode, 0);
    EXPECT_TRUE(Exists(p.installDirUnix() + "/extra-" + c.expected + ".txt")) << ListDir(p.installDirUnix()).size();
  }
}

}  // namespace
