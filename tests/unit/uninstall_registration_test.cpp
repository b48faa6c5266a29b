#include <gtest/gtest.h>

#include <set>

#include "base/result.h"
#include "action_fixture.h"
#include "install/uninstall_registration.h"
#include "platform/registry.h"
#include "platform/system.h"

namespace ek {
namespace {

using platform::RegKey;
using platform::RegRoot;
using test::ScratchFolder;
constexpr platform::RegView kView = platform::RegView::View64;
const std::wstring kUninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::set<std::wstring> g_taken;
bool Taken(const std::wstring& name) { return g_taken.count(name) > 0; }

TEST(UninstallKeyName, SideBySideSuffixes) {
  g_taken = {};
  EXPECT_EQ(UninstallKeyName(L"{G}", true, &Taken), L"{G}");
  g_taken = {L"{G}"};
  EXPECT_EQ(UninstallKeyName(L"{G}", false, &Taken), L"{G}");
  EXPECT_EQ(UninstallKeyName(L"{G}", true, &Taken), L"{G}_ek1");
  g_taken = {L"{G}", L"{G}_ek1", L"{G}_ek3"};
  EXPECT_EQ(UninstallKeyName(L"{G}", true, &Taken), L"{G}_ek2");
  g_taken = {L"{G}"};
  for (int i = 1; i <= 9; ++i) g_taken.insert(L"{G}_ek" + ToText(i));
  EXPECT_EQ(UninstallKeyName(L"{G}", true, &Taken), L"{G}");
}

class UninstallRegistration : public test::ActionTest {
 protected:
  void SetUp() override {
    test::ActionTest::SetUp();
    State().AllUsers = false;
    State().UninstallFile = L"Uninstall.exe";
  }
  void TearDown() override {
    for (const wchar_t* suffix : {L"", L"_ek1", L"_ek2"})
      Ignore(platform::DeleteKeyTree(RegRoot::CurrentUser, kUninstall + unique() + suffix, kView));
    test::ActionTest::TearDown();
  }
  void Configure(const std::wstring& extra, const std::wstring& totalSize = L"1048576") {
    LoadConfig(L"[Setup]\r\nGUID=" + unique() +
               L"\r\nAppName=Reg App\r\nAppVersion=2.10.1\r\nPublisher=Ek Ltd\r\nWebSite=https://example.com/<AppName>\r\n"
               L"SupportLink=https://example.com/help\r\nTotalSize=" + totalSize + L"\r\n" + extra);
  }
  RegKey Key(const std::wstring& suffix = L"") const {
    RegKey k;
    EXPECT_TRUE(k.Open(RegRoot::CurrentUser, kUninstall + unique() + suffix, kView, false));
    return k;
  }
};

TEST_F(UninstallRegistration, EveryValueOfACurrentUserInstallation) {
  ScratchFolder dir(L"unreg");
  Configure(L"");
  State().InstallDir = dir.path();
  State().MainExe = dir.Write(L"app.exe", L"x");
  RegisterUninstallEntry();
  RegKey k = Key();
  ASSERT_TRUE(k.IsOpen());
  const platform::LocalDate d = platform::Today();
  wchar_t date[16];
  std::swprintf(date, 16, L"%04d%02d%02d", d.year, d.month, d.day);
  EXPECT_EQ(k.ReadString(L"DisplayName"), L"Reg App");
  EXPECT_EQ(k.ReadString(L"DisplayVersion"), L"2.10.1");
  EXPECT_EQ(k.ReadDword(L"VersionMajor"), 2u);
  EXPECT_EQ(k.ReadDword(L"VersionMinor"), 10u);
  EXPECT_EQ(k.ReadString(L"DisplayIcon"), State().MainExe);
  EXPECT_EQ(k.ReadDword(L"EstimatedSize"), 1024u);
  EXPECT_EQ(k.ReadString(L"InstallLocation"), dir.path());
  EXPECT_EQ(k.ReadString(L"UninstallString"), dir.path() + L"\\Uninstall.exe");
  EXPECT_EQ(k.ReadString(L"InstallDate"), std::wstring(date));
  EXPECT_EQ(k.ReadString(L"HelpLink"), L"https://example.com/help");
  EXPECT_EQ(k.ReadString(L"Publisher"), L"Ek Ltd");
  EXPECT_EQ(k.ReadString(L"URLInfoAbout"), L"https://example.com/Reg App");
  EXPECT_EQ(k.ReadDword(L"NoModify"), 1u);
  EXPECT_EQ(k.ReadDword(L"NoRepair"), 1u);
  EXPECT_EQ(k.ReadDword(L"NoRemove"), 0u);
  EXPECT_EQ(Entries(L"RegistryKeys"), (std::vector<std::wstring>{L"DHKEY_CURRENT_USER\\" + kUninstall + unique()}));
  EXPECT_FALSE(State().HadErrors);
}

TEST_F(UninstallRegistration, IconAndSizeRules) {
  ScratchFolder dir(L"unregicon");
  State().InstallDir = dir.path();
  State().MainExe = dir.path() + L"\\missing.exe";
  Configure(L"ProductIcon=2\r\n", L"1023");
  RegisterUninstallEntry();
  EXPECT_FALSE(Key().ValueExists(L"DisplayIcon"));  // neither ProductIcon.ico nor the program exists
  EXPECT_EQ(Key().ReadDword(L"EstimatedSize"), 0u);
  const std::wstring ico = dir.Write(L"ProductIcon.ico", L"icon");
  State().MainExe = dir.Write(L"app.exe", L"x");
  RegisterUninstallEntry();
  EXPECT_EQ(Key().ReadString(L"DisplayIcon"), ico);

  // An upgrade adds its size to the old one and leaves name and version alone
  // with CheckNoUpdate; an update does not record the key again.
  RegKey w;
  ASSERT_TRUE(w.Open(RegRoot::CurrentUser, kUninstall + unique(), kView, true));
  ASSERT_TRUE(w.WriteDword(L"EstimatedSize", 5000));
  ASSERT_TRUE(w.WriteString(L"DisplayVersion", L"1.0"));
  Configure(L"UpgradeMode=1\r\nCheckNoUpdate=1\r\n", L"2048000");
  State().UpdateMode = true;
  State().UninstallIni = std::make_unique<IniDocument>();
  RegisterUninstallEntry();
  EXPECT_EQ(Key().ReadDword(L"EstimatedSize"), 7000u);
  EXPECT_EQ(Key().ReadString(L"DisplayVersion"), L"1.0");
  EXPECT_TRUE(Entries(L"RegistryKeys").empty());
  ASSERT_TRUE(w.DeleteValue(L"EstimatedSize"));
  RegisterUninstallEntry();
  EXPECT_FALSE(Key().ValueExists(L"EstimatedSize"));  // an upgrade without an old size writes none
}

TEST_F(UninstallRegistration, SideBySideKeysAndFailures) {
  Configure(L"IfInstalled=3\r\n");
  State().AppNameVersion = L"Reg App 2.10.1";
  RegisterUninstallEntry();
  RegisterUninstallEntry();
  RegisterUninstallEntry();
  EXPECT_EQ(Key(L"_ek1").ReadString(L"DisplayName"), L"Reg App 2.10.1");
  EXPECT_TRUE(Key(L"_ek2").IsOpen());
  EXPECT_EQ(Entries(L"RegistryKeys").back(), L"DHKEY_CURRENT_USER\\" + kUninstall + unique() + L"_ek2");

  // A key that cannot be made: logged, not recorded, the installation goes on.
  State().UninstallIni = std::make_unique<IniDocument>();
  const std::wstring tooLong(300, L'g');
  LoadConfig(L"[Setup]\r\nGUID=" + tooLong + L"\r\n");
  RegisterUninstallEntry();
  EXPECT_TRUE(Logged(L"Error creating registry key: HKEY_CURRENT_USER\\" + kUninstall + tooLong)) << LogText();
  EXPECT_TRUE(State().HadErrors);
  EXPECT_TRUE(Entries(L"RegistryKeys").empty());
  // Without a GUID nothing may land on the Uninstall key itself.
  State().HadErrors = false;
  LoadConfig(L"[Setup]\r\nAppName=No Guid\r\n");
  RegisterUninstallEntry();
  EXPECT_TRUE(State().HadErrors);
  RegKey list;
  ASSERT_TRUE(list.Open(RegRoot::CurrentUser, kUninstall, kView, false));
  EXPECT_FALSE(list.ValueExists(L"DisplayName"));
  EXPECT_TRUE(Entries(L"RegistryKeys").empty());
}

}  // namespace
}  // namespace ek
