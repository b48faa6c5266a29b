// A second installation of the same product over the first one (update
// mode): it finds the first through its uninstall registration, installs
// into the first one's folder, and extends the uninstall lists.
#include <gtest/gtest.h>

#include <algorithm>

#include "harness.h"
#include "setup_run_test.h"

using namespace e2e;

namespace {

std::string Version(const std::string& version, const std::string& dir) {
  return "[Setup]\r\nAppName=EkTest update\r\nAppVersion=" + version +
         "\r\nGUID={GUID}\r\nInstallDir=" + dir +
         "\r\nUninstall=1\r\nShowAddRemove=1\r\nIfInstalled=2\r\nWindows 10=1\r\n";
}

using Update = SetupRunTest;

TEST_F(Update, SecondInstallationExtendsTheListsWithoutDuplicates) {
  Product v1("update");
  v1.AddEnglish();
  v1.SetIni(Version("1.0", "{INSTALLDIR}"));
  v1.AddPayload("a.txt", "one\r\n");
  v1.AddPayload("b.txt", "bee\r\n");
  v1.AddRecord("a.txt|<InstallDir>\\a.txt|11");
  v1.AddRecord("b.txt|<InstallDir>\\sub\\b.txt|11");
  const std::string dir = v1.installDirUnix();
  cleanup_.push_back(dir);
  const std::string key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + v1.guid();
  regKeys_.push_back("HKLM\\" + key);
  ASSERT_EQ(RunSetup(v1.Build(), {{"/S"}}).exitCode, 0);
  const std::string ini = dir + "/Uninstall.ini";
  const auto first = IniSection(ini, "Files");
  ASSERT_EQ(first.size(), 4u);  // a, b, the uninstaller and its information file

  // Version 2 names another folder: the update installs into the first one's.
  Product v2("update2");
  v2.AddEnglish();
  std::string text = Version("2.0", "C:\\Program Files\\EkTest somewhere else");
  // The same product: the first version's identifier.
  text.replace(text.find("{GUID}"), 6, v1.guid());
  v2.SetIni(text);
  cleanup_.push_back(UnixPath("C:\\Program Files\\EkTest somewhere else"));
  v2.AddPayload("a.txt", "two\r\n");
  v2.AddPayload("c.txt", "sea\r\n");
  v2.AddRecord("a.txt|<InstallDir>\\a.txt|11");
  v2.AddRecord("c.txt|<InstallDir>\\sub\\c.txt|11");
  ASSERT_EQ(RunSetup(v2.Build(), {{"/S", "/L"}}).exitCode, 0);
  EXPECT_TRUE(LogHasLine("Mode=Update")) << ReadSetupLog();
  EXPECT_FALSE(Exists(UnixPath("C:\\Program Files\\EkTest somewhere else")));
  EXPECT_EQ(ReadFile(dir + "/a.txt"), "two\r\n");
  EXPECT_EQ(ReadFile(dir + "/sub/c.txt"), "sea\r\n");

  const auto files = IniSection(ini, "Files");
  ASSERT_EQ(files.size(), 5u);
  for (size_t i = 0; i < first.size(); ++i) EXPECT_EQ(files[i], first[i]);  // older entries keep their places
  EXPECT_EQ(files[4], std::make_pair(std::string("4"), v1.installDirWin() + "\\sub\\c.txt"));
  std::vector<std::string> folders;
  for (const auto& [k, v] : IniSection(ini, "Folders")) folders.push_back(v);
  EXPECT_EQ(std::count(folders.begin(), folders.end(), v1.installDirWin() + "\\sub"), 1);
  EXPECT_EQ(ReadIni(ini)["General"]["AppVersion"], "2.0");
  // The registration is the first one's key, rewritten.
  EXPECT_EQ(RegValue("HKLM", key, "DisplayVersion"), "2.0");
  EXPECT_EQ(RegValue("HKLM", key, "UninstallString"), v1.installDirWin() + "\\Uninstall.exe");
  EXPECT_TRUE(EktmpFolders().empty());
}

}  // namespace
