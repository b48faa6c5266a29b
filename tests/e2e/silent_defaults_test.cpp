// What a silent run decides where an interactive run would ask: the user
// information it cannot fill in, a destination it cannot use, an older
// version over a newer one, and an installed version it removes or keeps.
// Each ends with the documented exit code and without a single window.
#include <gtest/gtest.h>

#include "ui_test.h"

using namespace e2e;

namespace {

class SilentDefaults : public UiTest {};

TEST_F(SilentDefaults, UserInformationAndDestinationFolder) {
  struct Case {
    const char* what;
    std::string setup;
    std::vector<std::string> args;
    int exitCode;
  } cases[] = {
      {"user information asked for: 5", "DialogUserInfo=1\r\nQueryText=1\r\nQueryTextName=Name\r\n", {"/S"}, 5},
      {"/SUI: installed without it", "DialogUserInfo=1\r\nQueryText=1\r\nQueryTextName=Name\r\n", {"/S", "/SUI"}, 0},
      {"-silentinstalluserinfo: the same",
       "DialogUserInfo=1\r\nQueryText=1\r\nQueryTextName=Name\r\nSetupParameters=-silentinstalluserinfo\r\n",
       {"/S"},
       0},
      {"user information without a field: nothing to stop for", "DialogUserInfo=1\r\n", {"/S"}, 0},
      {"a destination of one character: 5", "InstallDir=C\r\n", {"/S"}, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Product p("silentdefault");
    const std::string pkg = Package(p, c.setup);
    RunResult r = RunSetup(pkg, {c.args});
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_TRUE(r.dialogs.empty()) << r.dialogs[0];
    EXPECT_EQ(Exists(p.installDirUnix() + "/readme.txt"), c.exitCode == 0);
    EXPECT_TRUE(EktmpFolders().empty());
  }
}

TEST_F(SilentDefaults, InstalledVersionsAreDecidedWithoutAQuestion) {
  // Installed 2.0.0; each package of the same product asks nothing silently.
  struct Case {
    const char* what;
    std::string setup;
    const char* readme;  // the installed file afterwards
  } cases[] = {
      {"an older version goes over the newer one", "AppVersion=1.5.0\r\nIfInstalled=2\r\n", "version 1.5.0\r\n"},
      {"must first uninstall: removed silently, then installed", "AppVersion=3.0.0\r\nIfInstalled=0\r\n",
       "version 3.0.0\r\n"},
      {"the user would be asked: removed silently", "AppVersion=3.0.0\r\nIfInstalled=4\r\n", "version 3.0.0\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Product p("silentinstalled");
    for (const char* root : {"HKLM", "HKCU"})
      regKeys_.push_back(std::string(root) + "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + p.guid());
    EXPECT_EQ(RunSetup(Package(p, "ShowAddRemove=1\r\nAppVersion=2.0.0\r\n", "", "first.exe"), {{"/S"}}).exitCode, 0);
    const std::string version = std::string(c.readme).substr(8, 5);
    p.AddPayload("files/readme.txt", c.readme);
    const std::string pkg = Package(p, "ShowAddRemove=1\r\n" + c.setup, "", "second.exe");
    RunResult r = RunSetup(pkg, {{"/S", "/L"}});
    EXPECT_EQ(r.exitCode, 0) << ReadSetupLog();
    EXPECT_TRUE(r.dialogs.empty()) << r.dialogs[0];
    EXPECT_EQ(ReadFile(p.installDirUnix() + "/readme.txt"), c.readme);
    EXPECT_FALSE(Exists(p.installDirUnix() + " " + version));
    EXPECT_EQ(RegValue("HKLM", "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + p.guid(), "DisplayVersion"),
              version);
  }
}

}  // namespace
