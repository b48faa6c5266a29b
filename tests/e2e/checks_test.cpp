// The checks before installing and the completion actions, in real setup
// runs under Wine: remedies that run unattended, requirements that end a
// silent run with 5 and install nothing, a running application ended or
// asked about, the questions answered each way, where /N and
// -checkreqaftercmd put the checks, and the completion button's custom
// action, launch and restart (recorded through the test seam).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include <unistd.h>

#include "harness.h"
#include "proxy.h"
#include "setup_run_test.h"

using namespace e2e;

namespace {

class Checks : public SetupRunTest {
 protected:
  void SetUp() override {
    SetupRunTest::SetUp();
    dump_ = BuildDir() + "/e2e-work/checks-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++);
    RemoveAll(dump_);
    std::filesystem::create_directories(dump_);
    cleanup_.push_back(dump_);
  }
  static std::string Argdump() { return WinPath(BuildDir() + "/bin/argdump.exe"); }
  std::string DumpWin() const { return WinPath(dump_); }
  std::string DumpLog() const { return ReadFile(dump_ + "/argdump.log"); }
  size_t DumpLines() const {
    const std::string log = DumpLog();
    return static_cast<size_t>(std::count(log.begin(), log.end(), '\n'));
  }
  std::vector<std::pair<std::string, std::string>> DumpEnv() const { return {{"EK_ARGDUMP_DIR", DumpWin()}}; }

  // A product with one payload file, the given [Setup] keys and sections.
  std::string Package(Product& p, const std::string& setupKeys, const std::string& sections = "") {
    p.AddEnglish();
    p.SetIni(Product::StandardSetup() + "Uninstall=1\r\nShowAddRemove=1\r\n" + setupKeys + sections);
    p.AddPayload("app.txt", "program\r\n");
    p.AddRecord("app.txt|<InstallDir>\\app.txt|11");
    cleanup_.push_back(p.installDirUnix());
    regKeys_.push_back("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + p.guid());
    return p.Build();
  }
  static bool Installed(const Product& p) { return Exists(p.installDirUnix() + "/app.txt"); }
  static bool Registered(const Product& p) {
    return RegKeyExists("HKLM", "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + p.guid());
  }
  static std::string Dialogs(const RunResult& r) {
    std::string all;
    for (const auto& d : r.dialogs) all += d + "\n";
    return all;
  }

  std::string dump_;
  static inline int counter_ = 0;
};

// Java 17 is written by its "installer", a command line of reg.exe.
constexpr const char* kJavaKey = "HKLM\\SOFTWARE\\JavaSoft";
std::string InstallJava17() {
  return "C:\\windows\\system32\\cmd.exe /C reg add \"HKLM\\SOFTWARE\\JavaSoft\\JRE\" /v CurrentVersion /d 17 /f";
}

TEST_F(Checks, SilentRemediesRunUnattendedThenTheSetupInstalls) {
  ASSERT_FALSE(RegKeyExists("HKLM", "SOFTWARE\\JavaSoft")) << "the prefix has Java";
  regKeys_.push_back(kJavaKey);
  Product p("remedies");
  const std::string pkg =
      Package(p, "Java=1\r\nJavaVersion=17\r\nLinkJR=" + InstallJava17() + "\r\n",
              "[Prerequisites]\r\n0=Ek Tool*?" + Argdump() + " /quiet*?ANY*?ALL*?NO*?1. File exists|" + DumpWin() +
                  "\\argdump.log||;\r\n");
  RunResult r = RunSetup(pkg, {{"/S", "/L"}, 120, "default", false, DumpEnv()});
  EXPECT_EQ(r.exitCode, 0) << ReadSetupLog();
  EXPECT_TRUE(r.dialogs.empty()) << Dialogs(r);
  EXPECT_TRUE(Installed(p));
  EXPECT_EQ(RegValue("HKLM", "SOFTWARE\\JavaSoft\\JRE", "CurrentVersion"), "17");
  EXPECT_EQ(DumpLines(), 1u) << DumpLog();
  EXPECT_TRUE(Contains(DumpLog(), "argdump.exe\" /quiet")) << DumpLog();
  for (const std::string& line : std::vector<std::string>{"MissingPrerequisite=Java (JRE) 17",
                                                          "PrerequisiteInstaller=" + InstallJava17(),
                                                          "MissingPrerequisite=Ek Tool", "InstallationCompleted=1"})
    EXPECT_TRUE(LogHasLine(line)) << line << "\n" << ReadSetupLog();
}

TEST_F(Checks, SilentRequirementWithoutARemedyEndsWith5AndInstallsNothing) {
  {
    Product p("noremedy");
    const std::string pkg = Package(p, "VisualCpp=1\r\nVisualCppVersion=6\r\nAllowInstallIfPrereqFailed=1\r\n");
    RunResult r = RunSetup(pkg, {{"/S", "/L"}});
    EXPECT_EQ(r.exitCode, 5);
    EXPECT_TRUE(r.dialogs.empty()) << Dialogs(r);
    EXPECT_FALSE(Exists(p.installDirUnix()));
    EXPECT_FALSE(Registered(p));
    EXPECT_TRUE(LogHasLine("MissingPrerequisite=Microsoft Visual C++ 2022 Redistributable Package (x64)")) << ReadSetupLog();
    EXPECT_TRUE(LogHasLine("ExitCode=5"));
  }
  // An installer that does not bring what is missing runs once, not for ever.
  ClearSetupLog();
  Product p("uselessremedy");
  const std::string pkg = Package(p, "", "[Prerequisites]\r\n0=Ek Tool*?" + Argdump() + "*?ANY*?ALL*?NO*?1. File|" +
                                             DumpWin() + "\\never.txt||;\r\n");
  RunResult r = RunSetup(pkg, {{"/S"}, 120, "default", false, DumpEnv()});
  EXPECT_EQ(r.exitCode, 5);
  EXPECT_EQ(DumpLines(), 1u) << DumpLog();
  EXPECT_FALSE(Exists(p.installDirUnix()));
  EXPECT_FALSE(Registered(p));
}

TEST_F(Checks, RunningApplicationIsEndedSilentlyAndAskedAboutInteractively) {
  const std::string exe = dump_ + "/ekbusy" + std::to_string(::getpid()) + ".exe";
  const std::string name = std::filesystem::path(exe).filename().string();
  auto startBusy = [&] {
    auto b = StartRunningProgram(exe, dump_);
    EXPECT_TRUE(b);
    EXPECT_EQ(DumpLines(), 1u);
    return b;
  };
  Product p("closeapp");
  const std::string pkg =
      Package(p, "CloseApp=1\r\nCloseAppFile=<InstallDir>\\" + name + "\r\nCloseAppText=Busy Tool\r\n");
  {
    SCOPED_TRACE("silent: ended without a question");
    auto busy = startBusy();
    RunResult r = RunSetup(pkg, {{"/S"}});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.dialogs.empty()) << Dialogs(r);
    EXPECT_TRUE(busy->EndsWithin(10));
    EXPECT_TRUE(Installed(p));
  }
  RemoveAll(p.installDirUnix());
  const std::string question = "Please close \"Busy Tool\", then click Retry to continue.";
  {
    SCOPED_TRACE("interactive: Cancel ends setup");
    auto busy = startBusy();
    RunResult r = RunSetup(pkg, {{}, 120, "cancel", true});
    EXPECT_EQ(r.exitCode, 5);
    ASSERT_EQ(r.dialogs.size(), 1u) << Dialogs(r);
    EXPECT_TRUE(Contains(r.dialogs[0], question)) << r.dialogs[0];
    EXPECT_FALSE(Installed(p));
    EXPECT_FALSE(busy->EndsWithin(0));  // still running: only the user may end it
  }
  {
    SCOPED_TRACE("interactive: after three Retry answers the setup goes on");
    auto busy = startBusy();
    RunResult r = RunSetup(pkg, {{}, 120, "retry,retry,retry", true});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.dialogs.size(), 3u) << Dialogs(r);
    EXPECT_TRUE(Installed(p));
  }
}

TEST_F(Checks, MissingRuntimeQuestionAnsweredEachWay) {
  ASSERT_FALSE(RegKeyExists("HKLM", "SOFTWARE\\JavaSoft")) << "the prefix has Java";
  regKeys_.push_back(kJavaKey);
  const std::string question =
      "Java (JRE) 17 or newer is required to run EkTest {NAME}.||Would you like to install it now?";
  auto text = [&](const std::string& name) {
    std::string t = question;
    t.replace(t.find("{NAME}"), 6, name);
    return t;
  };
  {
    SCOPED_TRACE("No ends setup");
    Product p("javano");
    RunResult r = RunSetup(Package(p, "Java=1\r\nJavaVersion=17\r\nLinkJR=" + InstallJava17() + "\r\n"), {{}, 120, "no", true});
    EXPECT_EQ(r.exitCode, 5);
    ASSERT_EQ(r.dialogs.size(), 1u);
    EXPECT_TRUE(Contains(r.dialogs[0], text("javano"))) << r.dialogs[0];
    EXPECT_FALSE(Installed(p));
  }
  {
    SCOPED_TRACE("No with AllowInstallIfPrereqFailed warns and installs");
    Product p("javaallow");
    RunResult r = RunSetup(Package(p, "Java=1\r\nJavaVersion=17\r\nAllowInstallIfPrereqFailed=1\r\nLinkJR=" +
                                          InstallJava17() + "\r\n"),
                           {{}, 120, "no,ok", true});
    EXPECT_EQ(r.exitCode, 0);
    ASSERT_EQ(r.dialogs.size(), 2u) << Dialogs(r);
    EXPECT_TRUE(Contains(r.dialogs[1], "\"Java (JRE) 17\" was not installed on your computer.")) << r.dialogs[1];
    EXPECT_TRUE(Installed(p));
    EXPECT_FALSE(RegKeyExists("HKLM", "SOFTWARE\\JavaSoft\\JRE"));
  }
  {
    SCOPED_TRACE("Yes runs the installer, and the checks pass");
    Product p("javayes");
    RunResult r = RunSetup(Package(p, "Java=1\r\nJavaVersion=17\r\nLinkJR=" + InstallJava17() + "\r\n"), {{}, 120, "yes", true});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.dialogs.size(), 1u) << Dialogs(r);
    EXPECT_EQ(RegValue("HKLM", "SOFTWARE\\JavaSoft\\JRE", "CurrentVersion"), "17");
    EXPECT_TRUE(Installed(p));
  }
}

TEST_F(Checks, PackageMessageOpensItsTargetOrIsDeclined) {
  const std::string sections = "[Prerequisites]\r\n0=Ek Tool*?MSGC(Ek Tool is missing. Install it from " + Argdump() +
                               ")*?ANY*?ALL*?NO*?1. File|" + DumpWin() + "\\argdump.log||;\r\n";
  {
    SCOPED_TRACE("Cancel counts as declined");
    Product p("msgcancel");
    RunResult r = RunSetup(Package(p, "", sections), {{}, 120, "cancel", true, DumpEnv()});
    EXPECT_EQ(r.exitCode, 5);
    ASSERT_EQ(r.dialogs.size(), 1u) << Dialogs(r);
    EXPECT_TRUE(Contains(r.dialogs[0], "Ek Tool is missing. Install it from " + Argdump())) << r.dialogs[0];
    EXPECT_EQ(DumpLines(), 0u);
  }
  SCOPED_TRACE("OK opens the target and the check passes");
  Product p("msgok");
  RunResult r = RunSetup(Package(p, "", sections), {{}, 120, "ok", true, DumpEnv()});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_GE(r.dialogs.size(), 1u);  // asked again while the started program has not yet run
  EXPECT_GE(DumpLines(), 1u);
  EXPECT_TRUE(Installed(p));
}

TEST_F(Checks, InternetCheckAnsweredBothWays) {
  Proxy proxy;
  HttpServer server;
  ASSERT_TRUE(server.running());
  // Online: the proxy answers the probe (a refused tunnel is an answer too).
  std::string address = server.Url("");  // "http://127.0.0.1:<port>/"
  address = address.substr(7, address.size() - 8);
  proxy.Use(address);
  {
    Product p("online");
    RunResult r = RunSetup(Package(p, "Internet=1\r\n"), {{"/S"}});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(Installed(p));
    const auto requests = server.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_TRUE(Contains(requests[0], "CONNECT www.microsoft.com:443")) << requests[0];
  }
  // Offline: nothing listens on port 1.
  proxy.Use("127.0.0.1:1");
  {
    SCOPED_TRACE("silent: ends with 5");
    Product p("offline");
    RunResult r = RunSetup(Package(p, "Internet=1\r\n"), {{"/S", "/L"}});
    EXPECT_EQ(r.exitCode, 5);
    EXPECT_FALSE(Exists(p.installDirUnix()));
    EXPECT_TRUE(LogHasLine("Internet=0")) << ReadSetupLog();
  }
  const std::string asks = "This installation requires an Active Internet Connection.||Do you want to continue anyway?";
  {
    SCOPED_TRACE("the message that asks: No ends setup");
    Product p("offlineno");
    RunResult r = RunSetup(Package(p, "Internet=1\r\n"), {{}, 120, "no", true});
    EXPECT_EQ(r.exitCode, 5);
    ASSERT_EQ(r.dialogs.size(), 1u) << Dialogs(r);
    EXPECT_TRUE(Contains(r.dialogs[0], asks)) << r.dialogs[0];
    EXPECT_FALSE(Installed(p));
  }
  {
    SCOPED_TRACE("the message that asks: Yes goes on");
    Product p("offlineyes");
    RunResult r = RunSetup(Package(p, "Internet=1\r\n"), {{}, 120, "yes", true});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.dialogs.size(), 1u) << Dialogs(r);
    EXPECT_TRUE(Installed(p));
  }
  // A language whose message only states the problem: Retry and Cancel.
  auto stating = [](Product& p) {
    std::string lng = ReadFile(SourceDir() + "/examples/demo/config/Englishek.lng");
    const std::string from = "5=This installation requires an Active Internet Connection.<#><#>Do you want to continue anyway?";
    lng.replace(lng.find(from), from.size(), "5=No Internet connection was found.");
    p.AddConfigFile("Englishek.lng", lng);
  };
  {
    SCOPED_TRACE("the message that states: Retry checks again, Cancel ends setup");
    Product p("offlinestated");
    const std::string pkg = Package(p, "Internet=1\r\n");
    stating(p);
    RunResult r = RunSetup(p.Build(), {{}, 120, "retry,cancel", true});
    EXPECT_EQ(r.exitCode, 5);
    ASSERT_EQ(r.dialogs.size(), 2u) << Dialogs(r);
    EXPECT_TRUE(Contains(r.dialogs[1], "No Internet connection was found.")) << r.dialogs[1];
    EXPECT_FALSE(Installed(p));
  }
  {
    SCOPED_TRACE("the message that states: Cancel goes on with AllowInstallIfPrereqFailed");
    Product p("offlineallowed");
    const std::string pkg = Package(p, "Internet=1\r\nAllowInstallIfPrereqFailed=1\r\n");
    stating(p);
    RunResult r = RunSetup(p.Build(), {{}, 120, "cancel", true});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.dialogs.size(), 1u) << Dialogs(r);
    EXPECT_TRUE(Installed(p));
  }
}

TEST_F(Checks, WhereTheChecksRun) {
  // The package's own prerequisite is the file that its BEFORE INSTALLATION
  // command writes: the checks pass only when they come after the commands.
  const std::string sections = "[Prerequisites]\r\n0=Ek Tool*?*?ANY*?ALL*?NO*?1. File|" + DumpWin() +
                               "\\argdump.log||;\r\n[Commands]\r\n0=" + Argdump() +
                               "*?before*?HIDE*?BEFORE INSTALLATION*?Yes*?*?No\r\n";
  struct Case {
    const char* what;
    std::string setupKeys;
    std::vector<std::string> args;
    int exitCode;
  } cases[] = {
      {"before the commands", "", {"/S"}, 5},
      {"after the commands", "SetupParameters=-checkreqaftercmd\r\n", {"/S"}, 0},
      {"/N: not at all", "Internet=1\r\nVisualCpp=1\r\nVisualCppVersion=6\r\n", {"/S", "/N"}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RemoveAll(dump_ + "/argdump.log");
    Product p("where");
    RunResult r = RunSetup(Package(p, c.setupKeys, sections), {c.args, 120, "default", false, DumpEnv()});
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_EQ(Installed(p), c.exitCode == 0);
    EXPECT_EQ(DumpLines(), c.exitCode == 0 ? 1u : 0u);  // refused before the command, or after it
  }
}

TEST_F(Checks, CompletionButtonRunsTheActions) {
  const std::string record = dump_ + "/restart.txt";
  auto env = DumpEnv();
  env.emplace_back("EK_ARGDUMP_CWD", "1");
  env.emplace_back("EK_TEST_RESTART_RECORD", WinPath(record));
  Product p("completion");
  p.AddPayload("app.exe", ReadFile(BuildDir() + "/bin/argdump.exe"));
  p.AddRecord("app.exe|<InstallDir>\\bin\\app.exe|11");
  const std::string keys = "CustomAction=1\r\nCustomActionName=open the readme?\r\n"
                           "CustomActionCommand=<InstallDir>\\bin\\app.exe /readme\r\n"
                           "LaunchFile=1\r\nLaunchFileName=<InstallDir>\\bin\\app.exe\r\nFinishCurrentDir=1\r\n"
                           "RestartComputer=1\r\n";
  const std::string pkg = Package(p, keys);
  const std::string bin = p.installDirWin() + "\\bin";
  {
    SCOPED_TRACE("custom action accepted, launched in its folder, restart declined");
    RunResult r = RunSetup(pkg, {{}, 120, "yes,no", true, env});
    EXPECT_EQ(r.exitCode, 0);
    ASSERT_EQ(r.dialogs.size(), 2u) << Dialogs(r);
    EXPECT_TRUE(Contains(r.dialogs[0], "Would you like to open the readme?")) << r.dialogs[0];
    EXPECT_TRUE(Contains(r.dialogs[1], "Before you can use EkTest completion, you must restart your computer.||Restart the computer?"))
        << r.dialogs[1];
    for (int i = 0; i < 50 && DumpLines() < 2; ++i) ::usleep(100000);
    const std::string log = DumpLog();
    EXPECT_TRUE(Contains(log, "/readme\tcwd=" + bin)) << log;
    EXPECT_EQ(DumpLines(), 2u) << log;
    EXPECT_FALSE(Exists(record));
  }
  RemoveAll(dump_ + "/argdump.log");
  RemoveAll(p.installDirUnix());
  {
    SCOPED_TRACE("custom action declined, restart forced");
    Product forced("forcedrestart");
    forced.AddPayload("app.exe", ReadFile(BuildDir() + "/bin/argdump.exe"));
    forced.AddRecord("app.exe|<InstallDir>\\bin\\app.exe|11");
    RunResult r = RunSetup(Package(forced, keys + "SetupParameters=-forcerestart\r\n"), {{}, 120, "no,ok", true, env});
    EXPECT_EQ(r.exitCode, 0);
    ASSERT_EQ(r.dialogs.size(), 2u) << Dialogs(r);
    EXPECT_TRUE(Contains(r.dialogs[1], "WARNING! Your computer will restart now.||Save your work and click OK.")) << r.dialogs[1];
    for (int i = 0; i < 50 && DumpLines() < 1; ++i) ::usleep(100000);
    ::usleep(1000000);
    EXPECT_EQ(DumpLines(), 1u) << DumpLog();  // the launch only
    EXPECT_FALSE(Contains(DumpLog(), "/readme"));
    EXPECT_EQ(ReadFile(record), "EWX_REBOOT\r\n");
  }
}

}  // namespace
