// Silent installations that exercise the install actions after the file
// stage: registry values, shortcuts, the Windows uninstall registration, INI
// values, associations, environment variables, fonts and COM servers. The
// results are read back inside Wine (probe, reg.exe, uninstaller.exe) and in
// the uninstall information file.
#include <gtest/gtest.h>

#include <algorithm>

#include "harness.h"
#include "setup_run_test.h"

using namespace e2e;

namespace {

using Entries = std::vector<std::string>;

Entries Values(const std::string& ini, const std::string& section) {
  Entries out;
  for (const auto& [k, v] : IniSection(ini, section)) out.push_back(v);
  return out;
}

bool Has(const Entries& list, const std::string& value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

std::string Utf16LeBom(const std::string& ascii) {
  std::string out = "\xFF\xFE";
  for (char c : ascii) out += std::string(1, c) + std::string(1, '\0');
  return out;
}

using Actions = SetupRunTest;

TEST_F(Actions, EveryKindOfEntryLandsAndIsRecorded) {
  Product p("actions");
  const std::string id = p.guid().substr(1, 8);
  const std::string key = "Software\\EkTest" + p.guid();
  const std::string ext = "ek" + id;
  const std::string env = "EK_E2E_" + id;
  const std::string face = "EkW" + id.substr(0, 5);
  const std::string iniDir = "C:\\EkTest ini " + id;
  const std::string existingIni = iniDir + "\\existing.ini";
  const std::string dir = p.installDirWin();
  p.AddEnglish();
  p.SetIni(Product::StandardSetup() +
           "Uninstall=1\r\nShowAddRemove=1\r\nMainExe=<InstallDir>\\app.exe\r\nTotalSize=2097152\r\n"
           "[Shortcuts]\r\n"
           "0=<ProgramGroup>*?<AppName>*?<InstallDir>\\app.exe*?Opens the test*?--open \"doc 1\"*?"
           "<InstallDir>\\work*?<InstallDir>\\app.ico*?2*?Maximized*?Yes\r\n"
           "1=<Desktop>*?<AppName> " + id + "*?<InstallDir>\\app.exe*?*?*?*?*?*?Normal*?No\r\n"
           "[Registry]\r\n"
           "0=HKLM\\" + key + "*?Text*?REG_SZ*?<AppName>*?Yes*?Yes*?64-Bit\r\n"
           "1=HKLM\\" + key + "*?Expand*?REG_EXPAND_SZ*?%ProgramFiles%\\x*?Yes*?Yes*?32-Bit\r\n"
           "2=HKLM\\" + key + "*?Number*?REG_DWORD*?4294967295*?Yes*?Yes*?Default\r\n"
           "3=HKLM\\" + key + "\\*?Bytes*?REG_BINARY*?0a,1b,ff*?Yes*?Yes*?Default\r\n"
           "4=HKCU\\" + key + "\\Sub*?*?REG_SZ*?default value*?Yes*?Yes*?Default\r\n"
           "[INI]\r\n"
           "0=<InstallDir>\\conf\\new.ini*?Paths*?Home*?<InstallDir>*?Yes*?Yes*?No\r\n"
           "1=" + existingIni + "*?Main*?Added*?yes*?Yes*?Yes*?Yes\r\n"
           "2=" + existingIni + "*?Main*?Keep*?changed*?No*?Yes*?Yes\r\n"
           "[Extensions]\r\n"
           "ext=." + ext + "*?<InstallDir>\\app.exe*?EkTest document*?*?text/plain*?text*?*?1\r\n"
           "[Environments]\r\n"
           "0=" + env + "*?<InstallDir>*?OVERWRITE*?Yes*?Default\r\n"
           "[Others]\r\n"
           "0=FONT*?<InstallDir>\\fonts\\" + face + ".ttf*?Yes\r\n"
           "1=DLL/ActiveX*?<InstallDir>\\ekcomserver.dll*?Yes\r\n");
  p.AddPayload("app.exe", ReadFile(BuildDir() + "/bin/argdump.exe"));
  p.AddPayload("font.ttf", UniqueFont(face));
  p.AddPayload("ekcomserver.dll", ReadFile(BuildDir() + "/bin/ekcomserver.dll"));
  p.AddRecord("app.exe|<InstallDir>\\app.exe|11");
  p.AddRecord("font.ttf|<InstallDir>\\fonts\\" + face + ".ttf|11");
  p.AddRecord("ekcomserver.dll|<InstallDir>\\ekcomserver.dll|11");
  const std::string pkg = p.Build();
  WriteFile(UnixPath(existingIni), Utf16LeBom("; kept comment\r\n[Main]\r\nKeep=1\r\n"));

  const std::string uninstallKey = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + p.guid();
  const std::string fonts = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
  regKeys_ = {"HKLM\\" + key, "HKCU\\" + key, "HKLM\\Software\\Classes\\." + ext, "HKLM\\Software\\Classes\\" + ext + "file",
              uninstallKey};
  regKeys32_ = {"HKLM\\" + key};
  regValues_ = {{"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", env},
                {fonts, face + " (TrueType)"},
                {"HKCU\\Software\\EkComServerTest", dir + "\\ekcomserver.dll"}};
  cleanup_ = {p.installDirUnix(), UnixPath(iniDir)};
  // The program group carries the product's fixed name: one left behind by an
  // interrupted earlier run would exist already and rightly not be recorded.
  const std::string group = Probe({"folder", "23"})["path"] + "\\EkTest actions";
  RemoveAll(UnixPath(group));
  cleanup_.push_back(UnixPath(group));

  RunResult r = RunSetup(pkg, {{"/S", "/L"}});
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_TRUE(r.dialogs.empty());
  EXPECT_TRUE(LogHasLine("CompletedWithError=0")) << ReadSetupLog();
  const std::string ini = p.installDirUnix() + "/Uninstall.ini";
  ASSERT_TRUE(Exists(ini));

  // Registry values of every type and view.
  auto values = Probe({"reg", "HKLM", key, "*", "64"});
  EXPECT_EQ(values["type[Text]"], "1");
  EXPECT_EQ(values["value[Text]"], "EkTest actions");
  EXPECT_EQ(values["type[Number]"], "4");
  EXPECT_EQ(values["value[Number]"], "4294967295");
  EXPECT_EQ(values["type[Bytes]"], "3");
  EXPECT_EQ(values["value[Bytes]"], "0A1BFF");
  EXPECT_EQ(values.count("value[Expand]"), 0u);  // only in the 32-bit view
  auto view32 = Probe({"reg", "HKLM", key, "Expand", "32"});
  EXPECT_EQ(view32["type[Expand]"], "2");
  EXPECT_EQ(view32["value[Expand]"], "%ProgramFiles%\\x");
  EXPECT_EQ(RegValue("HKCU", key + "\\Sub", ""), "default value");
  EXPECT_TRUE(Contains(WineOutput({"reg", "query", "HKLM\\" + key, "/v", "Number"}), "0xffffffff"));
  const std::string k = "HKEY_LOCAL_MACHINE\\" + key;
  const Entries regKeys = Values(ini, "RegistryKeys");
  const Entries regValues = Values(ini, "RegistryValues");
  for (const std::string& e : {"6" + k, "3" + k, "DHKEY_CURRENT_USER\\" + key, "DHKEY_CURRENT_USER\\" + key + "\\Sub"})
    EXPECT_TRUE(Has(regKeys, e)) << e;
  for (const std::string& e : {"6" + k + "*?Text", "3" + k + "*?Expand", "D" + k + "*?Number", "D" + k + "*?Bytes",
                               "DHKEY_CURRENT_USER\\" + key + "\\Sub*?"})
    EXPECT_TRUE(Has(regValues, e)) << e;

  // Shortcuts, moved to the all-users folders of an administrator's installation.
  const Entries files = Values(ini, "Files");
  const std::string link = group + "\\EkTest actions.lnk";
  ASSERT_TRUE(Has(files, link)) << link;
  auto l = Probe({"link", link});
  EXPECT_EQ(l["target"], dir + "\\app.exe");
  EXPECT_EQ(l["arguments"], "--open \"doc 1\"");
  EXPECT_EQ(l["description"], "Opens the test");
  EXPECT_EQ(l["workdir"], dir + "\\work");
  EXPECT_EQ(l["icon"], dir + "\\app.ico");
  EXPECT_EQ(l["iconindex"], "2");
  EXPECT_EQ(std::stoul(Probe({"linkflags", link})["linkflags"]) & 0x2000, 0x2000u);  // run as administrator
  EXPECT_TRUE(Has(Values(ini, "Folders"), group));
  const std::string desktopLink = Probe({"folder", "25"})["path"] + "\\EkTest actions " + id + ".lnk";
  EXPECT_TRUE(Has(files, desktopLink)) << desktopLink;
  EXPECT_EQ(Probe({"link", desktopLink})["workdir"], dir);  // the target's folder
  cleanup_.push_back(UnixPath(desktopLink));

  // The product in Wine's own list of installed programs.
  EXPECT_TRUE(Contains(WineOutput({"uninstaller", "--list"}), p.guid() + "|||EkTest actions"));
  EXPECT_EQ(RegValue("HKLM", uninstallKey.substr(5), "UninstallString"), dir + "\\Uninstall.exe");
  EXPECT_EQ(RegValue("HKLM", uninstallKey.substr(5), "EstimatedSize"), "2048");
  EXPECT_EQ(RegValue("HKLM", uninstallKey.substr(5), "DisplayIcon"), dir + "\\app.exe");
  EXPECT_EQ(regKeys.back(), "DHKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + p.guid());

  // INI values: a new file as a whole, keys of an existing file one by one.
  EXPECT_EQ(ReadIni(p.installDirUnix() + "/conf/new.ini")["Paths"]["Home"], dir);
  EXPECT_TRUE(Has(files, dir + "\\conf\\new.ini"));
  EXPECT_TRUE(Has(Values(ini, "Folders"), dir + "\\conf"));
  EXPECT_EQ(ReadFile(UnixPath(existingIni)), Utf16LeBom("; kept comment\r\n[Main]\r\nKeep=1\r\nAdded=yes\r\n"));
  EXPECT_EQ(Values(ini, "INIValues"), (Entries{existingIni + "*?Main*?Added"}));

  // The association as the shell resolves it.
  auto assoc = Probe({"assoc", "." + ext});
  EXPECT_EQ(assoc["command"], "\"" + dir + "\\app.exe\" \"%1\"");
  EXPECT_EQ(assoc["description"], "EkTest document");
  EXPECT_TRUE(Has(regKeys, "3HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\." + ext));
  EXPECT_TRUE(Has(regKeys, "3HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\" + ext + "file"));

  // The variable as a newly started process sees it.
  EXPECT_EQ(Probe({"env", env})["value"], dir);
  EXPECT_EQ(Values(ini, "Environment"), (Entries{"DS" + env}));

  // The font, listed in the Fonts key and seen by a new process; the COM server.
  EXPECT_EQ(RegValue("HKLM", fonts.substr(5), face + " (TrueType)"), dir + "\\fonts\\" + face + ".ttf");
  EXPECT_EQ(Probe({"font", face})["found"], "1");
  EXPECT_EQ(Values(ini, "Fonts"), (Entries{dir + "\\fonts\\" + face + ".ttf"}));
  EXPECT_TRUE(Has(regValues, "6HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts*?" + face +
                                 " (TrueType)"));
  EXPECT_EQ(RegValue("HKCU", "Software\\EkComServerTest", dir + "\\ekcomserver.dll"), "registered");
  EXPECT_EQ(Values(ini, "ActiveX"), (Entries{dir + "\\ekcomserver.dll"}));
}

TEST_F(Actions, CurrentUserWithoutRightsStaysInTheUsersOwnPlaces) {
  Product p("actionscu");
  const std::string id = p.guid().substr(1, 8);
  const std::string key = "Software\\EkTest" + p.guid();
  const std::string ext = "ekcu" + id;
  const std::string env = "EK_CU_" + id;
  const std::string dir = p.installDirWin();
  p.AddEnglish();
  p.SetIni(Product::StandardSetup() +
           "Uninstall=1\r\nShowAddRemove=1\r\n"
           "[Shortcuts]\r\n"
           "0=<CommonDesktop>*?<AppName> " + id + "*?<InstallDir>\\app.exe*?*?*?*?*?*?Normal*?No\r\n"
           "[Registry]\r\n"
           "0=HKLM\\" + key + "*?Machine*?REG_SZ*?for the user*?Yes*?Yes*?Default\r\n"
           "1=HKCR\\." + ext + "x*?*?REG_SZ*?" + ext + "xfile*?Yes*?Yes*?Default\r\n"
           "[Extensions]\r\n"
           "ext=" + ext + "*?<InstallDir>\\app.exe*?Own document*?*?*?*?*?\r\n"
           "[Environments]\r\n"
           "0=" + env + "*?mine*?OVERWRITE*?Yes*?Default\r\n");
  p.AddPayload("app.exe", "stand-in");
  p.AddRecord("app.exe|<InstallDir>\\app.exe|11");
  const std::string pkg = p.Build();
  const std::string uninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + p.guid();
  regKeys_ = {"HKCU\\" + key, "HKLM\\" + key, "HKCU\\Software\\Classes\\." + ext + "x", "HKCU\\Software\\Classes\\." + ext,
              "HKCU\\Software\\Classes\\" + ext + "file", "HKCU\\" + uninstallKey};
  regValues_ = {{"HKCU\\Environment", env}};
  cleanup_ = {p.installDirUnix()};

  RunOptions o;
  o.args = {"/S", "/CU"};
  o.env = {{"EK_TEST_AS_STANDARD_USER", "1"}};
  RunResult r = RunSetup(pkg, o);
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_TRUE(r.dialogs.empty());
  const std::string ini = p.installDirUnix() + "/Uninstall.ini";
  EXPECT_EQ(ReadIni(ini)["General"]["Admin"], "0");
  EXPECT_EQ(ReadIni(ini)["General"]["AllUsers"], "0");

  // Machine-wide keys and classes go below the user's own key.
  EXPECT_EQ(RegValue("HKCU", key, "Machine"), "for the user");
  EXPECT_FALSE(RegKeyExists("HKLM", key));
  EXPECT_EQ(RegValue("HKCU", "Software\\Classes\\." + ext + "x", ""), ext + "xfile");
  const Entries regKeys = Values(ini, "RegistryKeys");
  const Entries regValues = Values(ini, "RegistryValues");
  EXPECT_TRUE(Has(regValues, "DHKEY_CURRENT_USER\\" + key + "*?Machine"));
  EXPECT_TRUE(Has(regValues, "DHKEY_CURRENT_USER\\Software\\Classes\\." + ext + "x*?"));
  EXPECT_TRUE(Has(regKeys, "DHKEY_CURRENT_USER\\Software\\Classes\\." + ext + "x"));

  // The all-users desktop becomes the user's own.
  const std::string link = Probe({"folder", "0"})["path"] + "\\EkTest actionscu " + id + ".lnk";
  cleanup_.push_back(UnixPath(link));
  EXPECT_EQ(Probe({"link", link})["target"], dir + "\\app.exe");
  EXPECT_TRUE(Has(Values(ini, "Files"), link)) << link;

  // The user's association. (Wine's HKEY_CLASSES_ROOT does not merge the
  // user's classes, so the shell cannot be asked here; the keys are read.)
  EXPECT_EQ(RegValue("HKCU", "Software\\Classes\\." + ext, ""), ext + "file");
  EXPECT_EQ(RegValue("HKCU", "Software\\Classes\\" + ext + "file\\shell\\open\\command", ""),
            "\"" + dir + "\\app.exe\" \"%1\"");
  EXPECT_TRUE(Has(regKeys, "3HKEY_CURRENT_USER\\SOFTWARE\\Classes\\." + ext));

  // The user's environment.
  EXPECT_EQ(Probe({"env", env})["value"], "mine");
  EXPECT_EQ(Values(ini, "Environment"), (Entries{"DU" + env}));

  // Listed among the installed programs from the user's own key.
  EXPECT_TRUE(Contains(WineOutput({"uninstaller", "--list"}), p.guid() + "|||EkTest actionscu"));
  EXPECT_EQ(regKeys.back(), "DHKEY_CURRENT_USER\\" + uninstallKey);
}

TEST_F(Actions, FailuresAreLoggedAndTheInstallationGoesOn) {
  Product p("actionsfail");
  const std::string id = p.guid().substr(1, 8);
  const std::string key = "Software\\EkTest" + p.guid();
  const std::string volatileKey = "HARDWARE\\DESCRIPTION\\System\\EkTest" + p.guid();
  const std::string dir = p.installDirWin();
  p.AddEnglish();
  p.SetIni(Product::StandardSetup() +
           "Uninstall=1\r\n"
           "[Registry]\r\n"
           "0=HKLM\\" + volatileKey + "*?V*?REG_SZ*?x*?Yes*?Yes*?Default\r\n"
           "1=HKCU\\" + key + "*?Count*?REG_DWORD*?abc*?Yes*?Yes*?Default\r\n"
           "2=HKCU\\" + key + "*?After*?REG_SZ*?written*?Yes*?Yes*?Default\r\n"
           "[INI]\r\n"
           "0=<InstallDir>\\blocker\\x.ini*?S*?k*?v*?Yes*?Yes*?No\r\n"
           "1=<InstallDir>\\ok.ini*?S*?k*?v*?Yes*?Yes*?No\r\n"
           "[Extensions]\r\n"
           "ext=.ekbad" + id + "*?<InstallDir>\\app.exe*?Doc*?" + std::string(300, 'p') + "*?*?*?*?\r\n"
           "[Environments]\r\n"
           "0=EK_BAD_" + id + "*?x*?OVERWRITE*?Yes*?Elsewhere\r\n"
           "[Others]\r\n"
           "0=FONT*?<InstallDir>\\missing.ttf*?Yes\r\n"
           "1=Font*?<InstallDir>\\junk.ttf*?Yes\r\n");
  p.AddPayload("junk.ttf", "not a font");
  p.AddPayload("blocker", "a file where a folder should be");
  p.AddRecord("junk.ttf|<InstallDir>\\junk.ttf|11");
  p.AddRecord("blocker|<InstallDir>\\blocker|11");
  const std::string pkg = p.Build();
  regKeys_ = {"HKCU\\" + key, "HKLM\\Software\\Classes\\.ekbad" + id};
  cleanup_ = {p.installDirUnix()};

  const std::vector<std::string> lines = {
      "Error creating registry key: HKEY_LOCAL_MACHINE\\" + volatileKey,
      "Error writing registry value: HKEY_CURRENT_USER\\" + key + ": Count",
      "Error creating directory: " + dir + "\\blocker",
      "Error editing INI file: " + dir + "\\blocker\\x.ini",
      "Error creating association: .ekbad" + id,
      "Access Denied: Unable to set environment variable (Elsewhere): EK_BAD_" + id,
      "Font file not found: " + dir + "\\missing.ttf",
      "Error registering font: " + dir + "\\junk.ttf",
  };
  // Silent, without /L: the errors alone leave the log behind.
  RunResult r = RunSetup(pkg, {{"/S"}});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_TRUE(r.dialogs.empty());
  for (const auto& line : lines) EXPECT_TRUE(LogHasLine(line)) << line << "\n" << ReadSetupLog();
  EXPECT_TRUE(LogHasLine("InstallationCompleted=1"));
  EXPECT_TRUE(LogHasLine("CompletedWithError=1"));
  // Each failure ended only its own record.
  EXPECT_EQ(RegValue("HKCU", key, "After"), "written");
  EXPECT_TRUE(Exists(p.installDirUnix() + "/ok.ini"));
  const std::string ini = p.installDirUnix() + "/Uninstall.ini";
  const Entries regKeys = Values(ini, "RegistryKeys");
  EXPECT_FALSE(Has(regKeys, "DHKEY_LOCAL_MACHINE\\" + volatileKey));  // taken back
  EXPECT_FALSE(Has(Values(ini, "RegistryValues"), "DHKEY_CURRENT_USER\\" + key + "*?Count"));
  EXPECT_TRUE(Values(ini, "Fonts").empty());
  EXPECT_TRUE(Values(ini, "Environment").empty());

  // Interactive: every failure shows its box, and the default answers go on.
  ClearSetupLog();
  RemoveAll(p.installDirUnix());
  RunOptions o;
  o.pressInstall = true;
  RunResult shown = RunSetup(pkg, o);
  std::string all;
  for (const auto& d : shown.dialogs) all += d + "\n";
  const std::vector<std::string> texts = {
      "Setup\tError creating registry key:|HKEY_LOCAL_MACHINE\\" + volatileKey + "||Access is denied.||Continue anyway?",
      "Setup\tError creating registry value:|HKEY_CURRENT_USER\\" + key + ": Count||Access is denied.||Continue anyway?",
      "Setup\tError writing INI value:|" + dir + "\\blocker\\x.ini||Access is denied.",
      "Setup\tError creating association for:|.ekbad" + id + "||Access is denied.",
      "Setup\tUnable to set Environment Variable: EK_BAD_" + id + "||You don't have enough rights",
      "Setup\tFile not found:|" + dir + "\\missing.ttf",
      "Setup\tError registering font:|" + dir + "\\junk.ttf",
  };
  for (const auto& t : texts) EXPECT_TRUE(Contains(all, t)) << t << "\n---\n" << all;
  EXPECT_EQ(shown.dialogs.size(), texts.size()) << all;
  EXPECT_EQ(RegValue("HKCU", key, "After"), "written");
}

}  // namespace
