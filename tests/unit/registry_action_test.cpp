#include <gtest/gtest.h>

#include "base/result.h"
#include "action_fixture.h"
#include "install/registry_action.h"
#include "platform/registry.h"

namespace ek {
namespace {

using platform::RegKey;
using platform::RegRoot;
using platform::RegView;
using Bytes = std::vector<unsigned char>;

TEST(RegistryData, DwordTexts) {
  struct Case {
    const wchar_t* text;
    std::optional<uint32_t> want;
  } cases[] = {
      {L"4294967295", 4294967295u}, {L"4294967296", 0u},    {L"-1", 0xFFFFFFFFu}, {L"$FF", 255u},
      {L"0x10", 16u},               {L" 12 ", 12u},         {L"0", 0u},           {L"abc", std::nullopt},
      {L"", std::nullopt},          {L"12abc", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseDwordData(c.text), c.want) << c.text;
}

TEST(RegistryData, BinaryPairsNeedSeparators) {
  struct Case {
    std::wstring text;
    std::optional<Bytes> want;
  } cases[] = {
      {L"0a,1b,ff", Bytes{0x0A, 0x1B, 0xFF}},
      {L"0A 1B FF ", Bytes{0x0A, 0x1B, 0xFF}},
      {L"0A1B", Bytes{0x0A}},  // "0A1" goes, the lone "B" is ignored
      {L"0a,1", Bytes{0x0A}},
      {L"", Bytes{}},
      {L"0g,11", std::nullopt},
      {L"1,2,", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseBinaryData(c.text), c.want) << c.text;
  // More than the 4096 bytes a record used to carry.
  std::wstring big;
  for (int i = 0; i < 5000; ++i) big += L"7f,";
  EXPECT_EQ(ParseBinaryData(big), Bytes(5000, 0x7F));
}

TEST(RegistryRoots, MappingByInstallationMode) {
  struct Case {
    const wchar_t* root;
    bool allUsers, isAdmin;
    const wchar_t* wantRoot;  // nullptr: not a root
    const wchar_t* wantKey;
  } cases[] = {
      {L"HKCU", true, true, L"HKEY_CURRENT_USER", L"K"},
      {L"HKEY_CURRENT_USER", false, false, L"HKEY_CURRENT_USER", L"K"},
      {L"HKLM", true, true, L"HKEY_LOCAL_MACHINE", L"K"},
      {L"HKLM", false, true, L"HKEY_LOCAL_MACHINE", L"K"},  // an administrator keeps the machine key
      {L"HKLM", false, false, L"HKEY_CURRENT_USER", L"K"},
      {L"HKLM", true, false, L"HKEY_LOCAL_MACHINE", L"K"},
      {L"HKCR", true, true, L"HKEY_CLASSES_ROOT", L"K"},
      {L"HKEY_CLASSES_ROOT", false, false, L"HKEY_CURRENT_USER", L"Software\\Classes\\K"},
      {L"HKU", false, false, L"HKEY_USERS", L"K"},
      {L"HKDE", true, false, L"HKEY_LOCAL_MACHINE", L"K"},
      {L"HKEY_DEFAULT", false, true, L"HKEY_CURRENT_USER", L"K"},
      {L"HKDE", false, false, L"HKEY_CURRENT_USER", L"K"},
      {L"HKXX", true, true, nullptr, nullptr},
      {L"HKEY_LOCAL", true, true, nullptr, nullptr},
      {L"HKEY_DE", true, true, nullptr, nullptr},  // short forms only below five characters
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::wstring(c.root) + (c.allUsers ? L" all" : L" user") + (c.isAdmin ? L" admin" : L""));
    auto t = MapRegistryRoot(c.root, L"K", c.allUsers, c.isAdmin);
    if (!c.wantRoot) {
      EXPECT_FALSE(t);
      continue;
    }
    ASSERT_TRUE(t);
    EXPECT_EQ(uninstall::RootName(t->root), c.wantRoot);
    EXPECT_EQ(t->key, c.wantKey);
  }
}

TEST(RegistryRoots, ViewsAndMarks) {
  EXPECT_EQ(RegistryViewOf(L"32-BIT", true), RegView::View32);
  EXPECT_EQ(RegistryViewOf(L"64-BIT", false), RegView::View64);
  EXPECT_EQ(RegistryViewOf(L"DEFAULT", true), RegView::View64);
  EXPECT_EQ(RegistryViewOf(L"DEFAULT", false), RegView::View32);
  EXPECT_EQ(RegistryViewOf(L"", true), RegView::View64);
  EXPECT_EQ(ViewMarkOf(L"32-BIT"), uninstall::ViewMark::View32);
  EXPECT_EQ(ViewMarkOf(L"64-BIT"), uninstall::ViewMark::View64);
  EXPECT_EQ(ViewMarkOf(L"DEFAULT"), uninstall::ViewMark::Default);
  EXPECT_EQ(ViewMarkOf(L""), uninstall::ViewMark::Default);
  // The mark names the view the value went to: a view field that is no
  // view is the default view, also when it begins with "3" or "6".
  EXPECT_EQ(ViewMarkOf(L"32"), uninstall::ViewMark::Default);
  EXPECT_EQ(RegistryViewOf(L"32", true), RegView::View64);
}

TEST(RegistryRecords, FieldsAndSkippedRecords) {
  auto r = ParseRegistryRecord(L"hkcu\\Software\\A\\*?Name*?reg_dword*?5*?yes*?No*?64-bit");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->root, L"HKCU");
  EXPECT_EQ(r->key, L"Software\\A");  // the trailing "\" is dropped
  EXPECT_EQ(r->name, L"Name");
  EXPECT_EQ(r->type, L"REG_DWORD");
  EXPECT_TRUE(r->overwrite);
  EXPECT_FALSE(r->record);
  EXPECT_EQ(r->view, L"64-BIT");
  EXPECT_FALSE(ParseRegistryRecord(L""));
  EXPECT_FALSE(ParseRegistryRecord(L"HKCU\\A*?n*?REG_SZ*?d*?Yes*?Yes"));  // six fields
  EXPECT_FALSE(ParseRegistryRecord(L"HKCU\\*?n*?REG_SZ*?d*?Yes*?Yes*?Default"));  // no key below the root
}

// Records applied to Wine's registry, below a key of the test's own.
class RegistryAction : public test::ActionTest {
 protected:
  void TearDown() override {
    for (RegView v : {RegView::View32, RegView::View64}) {
      Ignore(platform::DeleteKeyTree(RegRoot::CurrentUser, L"Software\\" + unique(), v));
      Ignore(platform::DeleteKeyTree(RegRoot::LocalMachine, L"Software\\" + unique(), v));
      Ignore(platform::DeleteKeyTree(RegRoot::CurrentUser, L"Software\\Classes\\." + unique(), v));
    }
    test::ActionTest::TearDown();
  }
  std::wstring Record(const std::wstring& key, const std::wstring& name, const std::wstring& type,
                      const std::wstring& data, const wchar_t* overwrite = L"Yes", const wchar_t* uninstall = L"Yes",
                      const wchar_t* view = L"Default") {
    return key + L"*?" + name + L"*?" + type + L"*?" + data + L"*?" + overwrite + L"*?" + uninstall + L"*?" + view;
  }
  static std::optional<platform::RegValue> Read(RegRoot root, const std::wstring& key, const std::wstring& name,
                                                RegView view) {
    RegKey k;
    if (!k.Open(root, key, view, false)) return std::nullopt;
    return k.ReadValue(name);
  }
};

TEST_F(RegistryAction, EveryTypeInEveryView) {
  const std::wstring key = L"Software\\" + unique();
  struct Case {
    const wchar_t* view;
    const wchar_t* mark;
    RegView readView;
  } views[] = {{L"32-Bit", L"3", RegView::View32}, {L"64-Bit", L"6", RegView::View64}, {L"Default", L"D", RegView::View64}};
  for (const auto& v : views) {
    SCOPED_TRACE(v.view);
    const std::wstring sub = key + L"\\" + v.view;
    ASSERT_TRUE(ApplyRegistryRecord(Record(L"HKLM\\" + sub, L"Text", L"REG_SZ", L"<AppName> text", L"Yes", L"Yes", v.view)));
    ASSERT_TRUE(ApplyRegistryRecord(Record(L"HKLM\\" + sub, L"Expand", L"reg_expand_sz", L"%SystemRoot%\\x", L"Yes", L"Yes", v.view)));
    ASSERT_TRUE(ApplyRegistryRecord(Record(L"HKLM\\" + sub, L"Number", L"REG_DWORD", L"4294967295", L"Yes", L"Yes", v.view)));
    ASSERT_TRUE(ApplyRegistryRecord(Record(L"HKLM\\" + sub, L"Bytes", L"REG_BINARY", L"0a,1b,ff", L"Yes", L"Yes", v.view)));
    ASSERT_TRUE(ApplyRegistryRecord(Record(L"HKLM\\" + sub, L"", L"REG_SZ", L"default value", L"Yes", L"Yes", v.view)));
    auto text = Read(RegRoot::LocalMachine, sub, L"Text", v.readView);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->type, platform::kRegSz);
    auto expand = Read(RegRoot::LocalMachine, sub, L"Expand", v.readView);
    ASSERT_TRUE(expand);
    EXPECT_EQ(expand->type, platform::kRegExpandSz);
    RegKey k;
    ASSERT_TRUE(k.Open(RegRoot::LocalMachine, sub, v.readView, false));
    EXPECT_EQ(k.ReadString(L"Expand"), L"%SystemRoot%\\x");  // stored unexpanded
    EXPECT_EQ(k.ReadDword(L"Number"), 4294967295u);
    EXPECT_EQ(k.ReadValue(L"Bytes")->data, (Bytes{0x0A, 0x1B, 0xFF}));
    EXPECT_EQ(k.ReadValue(L"Bytes")->type, platform::kRegBinary);
    EXPECT_EQ(k.ReadString(L""), L"default value");
    const std::wstring entry = std::wstring(v.mark) + L"HKEY_LOCAL_MACHINE\\" + sub + L"*?";
    auto values = Entries(L"RegistryValues");
    for (const wchar_t* name : {L"Text", L"Expand", L"Number", L"Bytes", L""})
      EXPECT_NE(std::find(values.begin(), values.end(), entry + name), values.end()) << entry + name;
  }
  // The 32-bit view lies under Wow6432Node, the others do not.
  EXPECT_TRUE(platform::RegKeyExists(RegRoot::LocalMachine, L"Software\\Wow6432Node\\" + unique() + L"\\32-Bit", RegView::View64));
  EXPECT_FALSE(platform::RegKeyExists(RegRoot::LocalMachine, key + L"\\32-Bit", RegView::View64));
  EXPECT_FALSE(platform::RegKeyExists(RegRoot::LocalMachine, key + L"\\64-Bit", RegView::View32));
}

TEST_F(RegistryAction, MissingKeysRecordedShortestFirstBeforeTheValue) {
  const std::wstring key = L"Software\\" + unique() + L"\\A\\B";
  ASSERT_TRUE(ApplyRegistryRecord(Record(L"HKCU\\" + key + L"\\", L"Version", L"REG_SZ", L"1")));
  const std::wstring k = L"DHKEY_CURRENT_USER\\Software\\" + unique();
  EXPECT_EQ(Entries(L"RegistryKeys"), (std::vector<std::wstring>{k, k + L"\\A", k + L"\\A\\B"}));
  EXPECT_EQ(Entries(L"RegistryValues"), (std::vector<std::wstring>{k + L"\\A\\B*?Version"}));

  // A second value in the existing key records no key again.
  ASSERT_TRUE(ApplyRegistryRecord(Record(L"HKCU\\" + key, L"Other", L"REG_SZ", L"2")));
  EXPECT_EQ(Entries(L"RegistryKeys").size(), 3u);

  // A value not to be uninstalled protects the recorded keys that hold it.
  ASSERT_TRUE(ApplyRegistryRecord(Record(L"HKCU\\" + key, L"Kept", L"REG_SZ", L"3", L"Yes", L"No")));
  EXPECT_EQ(Entries(L"RegistryKeys"), (std::vector<std::wstring>{L"", L"", L""}));
  EXPECT_EQ(Entries(L"RegistryValues").size(), 2u);

  // Without an uninstaller nothing is recorded at all.
  State().UninstallIni = std::make_unique<IniDocument>();
  State().CreateUninstaller = false;
  ASSERT_TRUE(ApplyRegistryRecord(Record(L"HKCU\\" + key + L"\\C", L"New", L"REG_SZ", L"4")));
  EXPECT_TRUE(State().UninstallIni->Sections().empty());
}

TEST_F(RegistryAction, ExistingValueKeptWithoutOverwrite) {
  const std::wstring key = L"Software\\" + unique();
  ASSERT_TRUE(ApplyRegistryRecord(Record(L"HKCU\\" + key, L"V", L"REG_SZ", L"first", L"Yes", L"No")));
  State().UninstallIni = std::make_unique<IniDocument>();
  EXPECT_TRUE(ApplyRegistryRecord(Record(L"HKCU\\" + key, L"V", L"REG_DWORD", L"7", L"No", L"Yes")));
  RegKey k;
  ASSERT_TRUE(k.Open(RegRoot::CurrentUser, key, RegView::View64, false));
  EXPECT_EQ(k.ReadString(L"V"), L"first");
  EXPECT_TRUE(State().UninstallIni->Sections().empty());
  // Overwrite "Yes" replaces it, type and all.
  EXPECT_TRUE(ApplyRegistryRecord(Record(L"HKCU\\" + key, L"V", L"REG_DWORD", L"7", L"YES", L"Yes")));
  EXPECT_EQ(k.ReadDword(L"V"), 7u);
}

TEST_F(RegistryAction, ClassesOfAUserWithoutRightsGoBelowHisOwnKey) {
  State().IsAdmin = false;
  State().AllUsers = false;
  RegKey classes;  // present on every Windows, not always in a fresh Wine prefix
  ASSERT_TRUE(classes.Create(RegRoot::CurrentUser, L"Software\\Classes", RegView::View64));
  ASSERT_TRUE(ApplyRegistryRecord(Record(L"HKCR\\." + unique(), L"", L"REG_SZ", L"xyzfile")));
  RegKey k;
  ASSERT_TRUE(k.Open(RegRoot::CurrentUser, L"Software\\Classes\\." + unique(), RegView::View64, false));
  EXPECT_EQ(k.ReadString(L""), L"xyzfile");
  const std::wstring entry = L"DHKEY_CURRENT_USER\\Software\\Classes\\." + unique();
  EXPECT_EQ(Entries(L"RegistryKeys"), (std::vector<std::wstring>{entry}));
  EXPECT_EQ(Entries(L"RegistryValues"), (std::vector<std::wstring>{entry + L"*?"}));
}

TEST_F(RegistryAction, FailuresAreLoggedAndTheInstallationGoesOn) {
  const std::wstring key = L"Software\\" + unique();
  // Data that is no number: the key stays recorded, the value is not.
  EXPECT_TRUE(ApplyRegistryRecord(Record(L"HKCU\\" + key, L"Count", L"REG_DWORD", L"abc")));
  EXPECT_TRUE(Logged(L"Error writing registry value: HKEY_CURRENT_USER\\" + key + L": Count")) << LogText();
  EXPECT_TRUE(State().HadErrors);
  EXPECT_EQ(Entries(L"RegistryKeys"), (std::vector<std::wstring>{L"DHKEY_CURRENT_USER\\" + key}));
  EXPECT_TRUE(Entries(L"RegistryValues").empty());
  EXPECT_TRUE(ApplyRegistryRecord(Record(L"HKCU\\" + key, L"Bytes", L"REG_BINARY", L"zz")));
  EXPECT_TRUE(Logged(L"Error writing registry value: HKEY_CURRENT_USER\\" + key + L": Bytes"));

  // A non-volatile key cannot be made below a volatile one: the entries just
  // made are taken back.
  State().HadErrors = false;
  const std::wstring bad = L"HARDWARE\\DESCRIPTION\\System\\" + unique() + L"\\Sub";
  EXPECT_TRUE(ApplyRegistryRecord(Record(L"HKLM\\" + bad, L"V", L"REG_SZ", L"x")));
  EXPECT_TRUE(Logged(L"Error creating registry key: HKEY_LOCAL_MACHINE\\" + bad)) << LogText();
  EXPECT_TRUE(State().HadErrors);
  auto keys = Entries(L"RegistryKeys");
  ASSERT_EQ(keys.size(), 3u);
  EXPECT_EQ(keys[0], L"DHKEY_CURRENT_USER\\" + key);
  EXPECT_EQ(keys[1], L"");
  EXPECT_EQ(keys[2], L"");

  // Records that name nothing are skipped without a report.
  State().HadErrors = false;
  State().SetupLog.clear();
  for (const std::wstring& r : {Record(L"HKXX\\" + key, L"V", L"REG_SZ", L"x"), std::wstring(L"HKCU\\" + key + L"*?V"),
                                Record(L"HKCU", L"V", L"REG_SZ", L"x")})
    EXPECT_TRUE(ApplyRegistryRecord(r)) << r;
  // An unknown type writes nothing, so it must not be listed for removal.
  EXPECT_TRUE(ApplyRegistryRecord(Record(L"HKCU\\" + key, L"Multi", L"REG_MULTI_SZ", L"x")));
  RegKey k;
  ASSERT_TRUE(k.Open(RegRoot::CurrentUser, key, RegView::View64, false));
  EXPECT_FALSE(k.ValueExists(L"Multi"));
  EXPECT_TRUE(Entries(L"RegistryValues").empty());
  EXPECT_FALSE(State().HadErrors);
  EXPECT_TRUE(State().SetupLog.empty());
}

}  // namespace
}  // namespace ek
