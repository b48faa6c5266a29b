#include <gtest/gtest.h>

#include "base/result.h"
#include "action_fixture.h"
#include "install/association_action.h"
#include "platform/registry.h"

namespace ek {
namespace {

using platform::RegKey;
using platform::RegRoot;
constexpr platform::RegView kView = platform::RegView::View64;

TEST(AssociationCommand, ProgramQuotedOnce) {
  EXPECT_EQ(OpenCommandFor(L"C:\\App\\app.exe"), L"\"C:\\App\\app.exe\" \"%1\"");
  EXPECT_EQ(OpenCommandFor(L"\"C:\\My App\\app.exe\""), L"\"C:\\My App\\app.exe\" \"%1\"");
  EXPECT_EQ(OpenCommandFor(L"\"C:\\My App\\app.exe"), L"\"C:\\My App\\app.exe\" \"%1\"");
}

class Associations : public test::ActionTest {
 protected:
  void SetUp() override {
    test::ActionTest::SetUp();
    State().AllUsers = false;
    // A unique extension; its default program identifier is X + "file".
    ext_ = L"ek" + unique().substr(7, 8);
  }
  void TearDown() override {
    for (RegRoot root : {RegRoot::CurrentUser, RegRoot::LocalMachine})
      for (const std::wstring& k : {L"." + ext_, ext_ + L"file", ext_ + L"file_copy", std::wstring(L"Other.") + ext_})
        Ignore(platform::DeleteKeyTree(root, L"Software\\Classes\\" + k, kView));
    Ignore(platform::DeleteKeyTree(RegRoot::CurrentUser, FileExts(), kView));
    test::ActionTest::TearDown();
  }
  std::wstring FileExts() const { return L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\." + ext_; }
  static std::wstring Read(RegRoot root, const std::wstring& key, const std::wstring& name = L"") {
    RegKey k;
    if (!k.Open(root, L"Software\\Classes\\" + key, kView, false)) return L"<nokey>";
    return k.ReadString(name).value_or(L"<missing>");
  }
  static bool Exists(RegRoot root, const std::wstring& key) {
    return platform::RegKeyExists(root, L"Software\\Classes\\" + key, kView);
  }
  std::wstring Record(const std::wstring& progId = L"", const std::wstring& rest = L"*?*?*?*?") const {
    return L"." + ext_ + L"*?C:\\App\\<AppName>.exe*?Ek document*?" + progId + rest;
  }
  std::wstring ext_;
};

TEST_F(Associations, LayoutOfANewAssociation) {
  LoadConfig(L"[Setup]\r\nAppName=Viewer\r\n");
  ApplyAssociation(L"." + ext_ + L"*?C:\\App\\<AppName>.exe*?Ek document*?*? text/plain *?text*?*?2");
  const RegRoot cu = RegRoot::CurrentUser;
  const std::wstring id = ext_ + L"file";
  EXPECT_EQ(Read(cu, L"." + ext_), id);
  EXPECT_EQ(Read(cu, L"." + ext_, L"Content Type"), L"text/plain");
  EXPECT_EQ(Read(cu, L"." + ext_, L"PerceivedType"), L"text");
  EXPECT_EQ(Read(cu, L"." + ext_ + L"\\OpenWithProgIds", id), L"");
  EXPECT_EQ(Read(cu, id), L"Ek document");
  EXPECT_EQ(Read(cu, id + L"\\DefaultIcon"), L"C:\\App\\Viewer.exe,2");
  EXPECT_EQ(Read(cu, id + L"\\shell\\open\\command"), L"\"C:\\App\\Viewer.exe\" \"%1\"");
  EXPECT_EQ(Entries(L"RegistryKeys"), (std::vector<std::wstring>{L"3HKEY_CURRENT_USER\\SOFTWARE\\Classes\\." + ext_,
                                                                L"3HKEY_CURRENT_USER\\SOFTWARE\\Classes\\" + id}));
  EXPECT_FALSE(State().HadErrors);
  // Without a program there is no command to register.
  ApplyAssociation(L".z" + ext_ + L"*?*?Nothing*?*?*?*?*?");
  EXPECT_FALSE(Exists(cu, L".z" + ext_));
}

TEST_F(Associations, ExtensionOfAnotherProgramIsTakenOverAndListed) {
  RegKey k;
  ASSERT_TRUE(k.Create(RegRoot::CurrentUser, L"Software\\Classes\\." + ext_, kView));
  ASSERT_TRUE(k.WriteString(L"", L"Other." + ext_));
  ApplyAssociation(Record(L"Mine." + ext_));
  EXPECT_EQ(Read(RegRoot::CurrentUser, L"." + ext_), L"Mine." + ext_);
  EXPECT_EQ(Read(RegRoot::CurrentUser, L"." + ext_ + L"\\OpenWithProgIds", L"Other." + ext_), L"");
  EXPECT_EQ(Read(RegRoot::CurrentUser, L"." + ext_ + L"\\OpenWithProgIds", L"Mine." + ext_), L"");
  // The extension key existed, so only the program identifier is recorded.
  EXPECT_EQ(Entries(L"RegistryKeys"),
            (std::vector<std::wstring>{L"3HKEY_CURRENT_USER\\SOFTWARE\\Classes\\Mine." + ext_}));
  Ignore(platform::DeleteKeyTree(RegRoot::CurrentUser, L"Software\\Classes\\Mine." + ext_, kView));
}

TEST_F(Associations, ReinstallKeepsTheOldIdentifierOnceAsBackup) {
  const std::wstring id = ext_ + L"file";
  ApplyAssociation(Record());
  RegKey mark;
  ASSERT_TRUE(mark.Create(RegRoot::CurrentUser, L"Software\\Classes\\" + id + L"\\shell\\edit", kView));
  ApplyAssociation(Record());  // the same identifier again
  EXPECT_TRUE(Exists(RegRoot::CurrentUser, id + L"_copy\\shell\\edit"));
  EXPECT_EQ(Read(RegRoot::CurrentUser, id + L"_copy\\shell\\open\\command"), L"\"C:\\App\\.exe\" \"%1\"");
  EXPECT_FALSE(Exists(RegRoot::CurrentUser, id + L"\\shell\\edit"));  // a fresh identifier
  EXPECT_EQ(Read(RegRoot::CurrentUser, id), L"Ek document");

  // A third installation leaves the first backup alone.
  ApplyAssociation(Record(L"", L"*?*?*?C:\\Other.ico*?"));
  EXPECT_TRUE(Exists(RegRoot::CurrentUser, id + L"_copy\\shell\\edit"));
  EXPECT_EQ(Read(RegRoot::CurrentUser, id + L"\\DefaultIcon"), L"C:\\Other.ico,0");

  // No backup in an update, with -noextbackup or without an uninstaller.
  Ignore(platform::DeleteKeyTree(RegRoot::CurrentUser, L"Software\\Classes\\" + id + L"_copy", kView));
  State().UpdateMode = true;
  ApplyAssociation(Record());
  State().UpdateMode = false;
  LoadConfig(L"[Setup]\r\nSetupParameters=-noextbackup\r\n");
  ApplyAssociation(Record());
  LoadConfig(L"[Setup]\r\n");
  State().CreateUninstaller = false;
  ApplyAssociation(Record());
  EXPECT_FALSE(Exists(RegRoot::CurrentUser, id + L"_copy"));
}

TEST_F(Associations, MachineWideAssociationClearsTheUsersOwn) {
  const std::wstring id = ext_ + L"file";
  auto plantUserKeys = [&] {
    for (const std::wstring& k : {L"Software\\Classes\\." + ext_, L"Software\\Classes\\" + id, FileExts()}) {
      RegKey key;
      ASSERT_TRUE(key.Create(RegRoot::CurrentUser, k, kView));
    }
  };
  State().AllUsers = true;
  plantUserKeys();
  ApplyAssociation(Record());
  EXPECT_EQ(Read(RegRoot::LocalMachine, L"." + ext_), id);
  EXPECT_EQ(Entries(L"RegistryKeys")[0], L"3HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\." + ext_);
  EXPECT_FALSE(Exists(RegRoot::CurrentUser, L"." + ext_));
  EXPECT_FALSE(Exists(RegRoot::CurrentUser, id));
  EXPECT_FALSE(platform::RegKeyExists(RegRoot::CurrentUser, FileExts(), kView));

  LoadConfig(L"[Setup]\r\nSetupParameters=-nodeluserext -nodeluserprefext\r\n");
  plantUserKeys();
  ApplyAssociation(Record());
  EXPECT_TRUE(Exists(RegRoot::CurrentUser, L"." + ext_));
  EXPECT_TRUE(Exists(RegRoot::CurrentUser, id));
  EXPECT_TRUE(platform::RegKeyExists(RegRoot::CurrentUser, FileExts(), kView));

  // The user's Explorer choice goes in a current-user installation too, his
  // own association of course stays.
  State().AllUsers = false;
  LoadConfig(L"[Setup]\r\n");
  ApplyAssociation(Record());
  EXPECT_TRUE(Exists(RegRoot::CurrentUser, L"." + ext_));
  EXPECT_FALSE(platform::RegKeyExists(RegRoot::CurrentUser, FileExts(), kView));
}

TEST_F(Associations, IdentifierThatCannotBeWrittenIsReported) {
  const std::wstring tooLong(300, L'p');  // key names end at 255 characters
  ApplyAssociation(Record(tooLong));
  EXPECT_TRUE(Logged(L"Error creating association: ." + ext_)) << LogText();
  EXPECT_TRUE(State().HadErrors);
  // The extension key itself was written and recorded; failures there count for nothing.
  EXPECT_EQ(Entries(L"RegistryKeys"), (std::vector<std::wstring>{L"3HKEY_CURRENT_USER\\SOFTWARE\\Classes\\." + ext_}));
}

}  // namespace
}  // namespace ek
