// DOWNLOAD: and GETVARIABLES records of real packages against a local HTTP
// server: served files arrive byte for byte, failed downloads follow the
// switches -haltifdwnfail and -errorifdwnfail, and GETVARIABLES evaluates
// the section again and starts nothing.
#include <gtest/gtest.h>

#include <random>

#include "harness.h"
#include "setup_run_test.h"

using namespace e2e;

namespace {

std::string Binary(size_t size) {
  std::mt19937 rng(12345);
  std::string s(size, '\0');
  for (auto& c : s) c = static_cast<char>(rng());
  return s;
}

// A command record: command, parameters, window, stage, wait, bitness, elevate.
std::string Command(const std::string& command, const std::string& parameters,
                    const std::string& stage = "BEFORE INSTALLATION", const std::string& wait = "") {
  return command + "*?" + parameters + "*?HIDE*?" + stage + "*?" + wait + "*?*?";
}

class DownloadCommands : public SetupRunTest {
 protected:
  void SetUp() override {
    SetupRunTest::SetUp();
    ASSERT_TRUE(server_.running());
  }
  // A package with one payload file, the [Commands] given and more ini text.
  std::string Package(Product& p, const std::string& setupExtra, const std::vector<std::string>& commands,
                       const std::string& moreSections = "") {
    std::string ini = Product::StandardSetup() + setupExtra + "[Commands]\r\n";
    for (size_t i = 0; i < commands.size(); ++i) ini += std::to_string(i) + "=" + commands[i] + "\r\n";
    p.AddEnglish();
    p.SetIni(ini + moreSections);
    p.AddPayload("readme.txt", "hello\r\n");
    p.AddRecord("readme.txt|<InstallDir>\\readme.txt|11");
    cleanup_.push_back(p.installDirUnix());
    return p.Build();
  }
  // A folder of the test for the downloaded files.
  std::string Folder(const Product& p) {
    const std::string dir = "C:\\EkTest downloads " + p.guid().substr(1, 8);
    cleanup_.push_back(UnixPath(dir));
    WriteFile(UnixPath(dir) + "/.keep", "");
    return dir;
  }
  HttpServer server_;
};

TEST_F(DownloadCommands, ServedFilesArriveWhole) {
  const std::string data = Binary(300000);
  server_.AddFile("data.bin", data);
  Product p("dlwhole");
  const std::string dir = Folder(p);
  const std::string pkg = Package(p, "",
                                  {Command("DOWNLOAD:" + server_.Url("files/data.bin"), "\"" + dir + "\\plain.bin\""),
                                   Command("DOWNLOAD:" + server_.Url("slow/data.bin?pieces=8&ms=250"), dir + "\\slow.bin"),
                                   Command("DOWNLOAD:" + server_.Url("redirect/data.bin"), dir + "\\moved.bin")});
  RunResult r = RunSetup(pkg, {{"/S", "/L"}});
  ASSERT_EQ(r.exitCode, 0) << ReadSetupLog();
  for (const char* name : {"plain.bin", "slow.bin", "moved.bin"}) {
    const std::string got = ReadFile(UnixPath(dir) + "/" + name);
    EXPECT_EQ(got.size(), data.size()) << name;
    EXPECT_TRUE(got == data) << name;
  }
  EXPECT_TRUE(LogHasLine("CompletedWithError=0"));
  EXPECT_TRUE(Exists(p.installDirUnix() + "/readme.txt"));
}

TEST_F(DownloadCommands, FailuresFollowTheSwitches) {
  server_.AddFile("good.txt", "good\r\n");
  const std::vector<std::string> failing = {"status/404", "status/500", "truncated", "drop"};

  // -haltifdwnfail: the failing record ends setup with exit code 5, before
  // the next record and before anything is installed.
  for (const auto& path : failing) {
    SCOPED_TRACE(path);
    ClearSetupLog();
    Product p("dlhalt");
    const std::string dir = Folder(p);
    const std::string pkg =
        Package(p, "SetupParameters=-haltifdwnfail\r\n",
                {Command("DOWNLOAD:" + server_.Url(path), dir + "\\failed.bin"),
                 Command("DOWNLOAD:" + server_.Url("files/good.txt"), dir + "\\after.txt")});
    RunResult r = RunSetup(pkg, {{"/S", "/L"}});
    EXPECT_EQ(r.exitCode, 5);
    EXPECT_TRUE(LogHasLine("Download failed: " + server_.Url(path))) << ReadSetupLog();
    EXPECT_TRUE(LogHasLine("ExitCode=5"));
    EXPECT_FALSE(Exists(UnixPath(dir) + "/after.txt"));
    EXPECT_FALSE(Exists(p.installDirUnix() + "/readme.txt"));
    // An error page is never saved as the file.
    if (path.rfind("status/", 0) == 0) {
      EXPECT_FALSE(Exists(UnixPath(dir) + "/failed.bin"));
    }
  }

  // After the installation a halt rolls it back.
  {
    ClearSetupLog();
    Product p("dlhaltafter");
    const std::string dir = Folder(p);
    RunResult r = RunSetup(Package(p, "SetupParameters=-haltifdwnfail\r\n",
                                   {Command("DOWNLOAD:" + server_.Url("status/404"), dir + "\\failed.bin",
                                            "AFTER INSTALLATION")}),
                           {{"/S", "/L"}});
    EXPECT_EQ(r.exitCode, 9);
    EXPECT_TRUE(LogHasLine("ExitCode=9")) << ReadSetupLog();
  }

  // -errorifdwnfail: every failure marks the run (the installation starts
  // with a clean slate, so these run after it); the installation goes on.
  // Neither switch: the failures are only logged.
  for (const char* switches : {"-errorifdwnfail", ""}) {
    SCOPED_TRACE(switches);
    ClearSetupLog();
    Product p("dlerror");
    const std::string dir = Folder(p);
    std::vector<std::string> commands;
    for (size_t i = 0; i < failing.size(); ++i)
      commands.push_back(Command("DOWNLOAD:" + server_.Url(failing[i]), dir + "\\failed" + std::to_string(i) + ".bin",
                                 "AFTER INSTALLATION"));
    commands.push_back(Command("DOWNLOAD:" + server_.Url("files/good.txt"), dir + "\\after.txt", "AFTER INSTALLATION"));
    RunResult r = RunSetup(Package(p, std::string("SetupParameters=") + switches + "\r\n", commands), {{"/S", "/L"}});
    EXPECT_EQ(r.exitCode, 0);
    for (const auto& path : failing) EXPECT_TRUE(LogHasLine("Download failed: " + server_.Url(path))) << path;
    EXPECT_TRUE(LogHasLine(std::string("CompletedWithError=") + (*switches ? "1" : "0"))) << ReadSetupLog();
    EXPECT_EQ(ReadFile(UnixPath(dir) + "/after.txt"), "good\r\n");
    EXPECT_TRUE(Exists(p.installDirUnix() + "/readme.txt"));
  }
}

TEST_F(DownloadCommands, GetVariablesReadsWhatADownloadBrought) {
  server_.AddFile("later.ini", "[Main]\r\nValue=downloaded value\r\n");
  Product p("dlgetvars");
  const std::string key = "Software\\EkTest" + p.guid();
  regKeys_.push_back("HKCU\\" + key);
  // A waited program leaves 3 in <ExitCode>; GETVARIABLES, waited as well,
  // starts nothing and leaves it.
  const std::string pkg =
      Package(p, "",
              {Command("DOWNLOAD:" + server_.Url("files/later.ini"), "<SetupTempDir>\\later.ini"),
               Command("<SystemDir>\\cmd.exe", "/c exit 3", "BEFORE INSTALLATION", "YES"),
               Command("GETVARIABLES", "", "BEFORE INSTALLATION", "YES")},
              "[Variables]\r\n0=<Later>*?<SetupTempDir>\\later.ini*?Main;Value*?STRING*?not yet*?\r\n"
              "[Registry]\r\n0=HKCU\\" + key + "*?Later*?REG_SZ*?<Later>*?Yes*?No*?Default\r\n"
              "1=HKCU\\" + key + "*?ExitCode*?REG_SZ*?<ExitCode>*?Yes*?No*?Default\r\n");
  ASSERT_EQ(RunSetup(pkg, {{"/S"}}).exitCode, 0);
  EXPECT_EQ(RegValue("HKCU", key, "Later"), "downloaded value");
  EXPECT_EQ(RegValue("HKCU", key, "ExitCode"), "3");
}

}  // namespace
