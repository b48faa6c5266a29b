#include <gtest/gtest.h>

#include "base/result.h"
#include "action_fixture.h"
#include "install/environment_action.h"
#include "platform/registry.h"

namespace ek {
namespace {

using platform::RegKey;
using platform::RegRoot;
constexpr platform::RegView kView = platform::RegView::View64;

TEST(EnvironmentLists, AppendAndPrependRules) {
  struct Case {
    bool append;
    const wchar_t* current;
    const wchar_t* part;
    std::optional<std::wstring> want;  // nothing: unchanged
    bool added;
  } cases[] = {
      {true, L"C:\\Windows;C:\\Bin", L"C:\\Tools", L"C:\\Windows;C:\\Bin;C:\\Tools", true},
      {true, L"C:\\Tools;C:\\Windows", L"c:\\tools", std::nullopt, false},  // case ignored
      {true, L"C:\\Windows;C:\\Tools", L"C:\\Tools", std::nullopt, false},
      {true, L"C:\\Windows;", L"C:\\Tools", L"C:\\Windows;C:\\Tools", true},  // no second ";"
      {true, L";C:\\Windows", L"C:\\Tools", L"C:\\Windows;C:\\Tools", true},
      {true, L"", L"C:\\Tools", L"C:\\Tools", true},
      {true, L"C:\\Tools2", L"C:\\Tools", L"C:\\Tools2;C:\\Tools", true},  // whole entries only
      {false, L"C:\\Windows;C:\\Tools;C:\\Bin", L"C:\\Tools", L"C:\\Tools;C:\\Windows;C:\\Bin", false},
      {false, L"C:\\Windows;C:\\Bin", L"C:\\Tools", L"C:\\Tools;C:\\Windows;C:\\Bin", true},
      {false, L"c:\\tools;C:\\Windows", L"C:\\Tools", std::nullopt, false},  // first already
      {false, L";C:\\Windows;C:\\Bin;", L"C:\\Tools", L"C:\\Tools;C:\\Windows;C:\\Bin", true},
      {false, L"C:\\Windows;C:\\TOOLS", L"C:\\Tools", L"C:\\Tools;C:\\Windows", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::wstring(c.append ? L"append " : L"prepend ") + c.part + L" to " + c.current);
    const auto r = c.append ? AppendToList(c.current, c.part) : PrependToList(c.current, c.part);
    ASSERT_EQ(r.has_value(), c.want.has_value());
    if (!r) continue;
    EXPECT_EQ(r->value, *c.want);
    EXPECT_EQ(r->added, c.added);
  }
}

// Variables of the test's own in the user's and the system's environment.
class EnvironmentAction : public test::ActionTest {
 protected:
  void SetUp() override {
    test::ActionTest::SetUp();
    State().AllUsers = false;
    name_ = L"EK_" + unique().substr(7, 8);
  }
  void TearDown() override {
    for (const auto& [root, key] : Keys()) {
      RegKey k;
      if (k.Open(root, key, kView, true))
        for (const std::wstring& n : {name_, name_ + L"_2"}) Ignore(k.DeleteValue(n));
    }
    test::ActionTest::TearDown();
  }
  static std::vector<std::pair<RegRoot, std::wstring>> Keys() {
    return {{RegRoot::CurrentUser, L"Environment"},
            {RegRoot::LocalMachine, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment"}};
  }
  static std::optional<platform::RegValue> Value(bool system, const std::wstring& name) {
    RegKey k;
    if (!k.Open(system ? RegRoot::LocalMachine : RegRoot::CurrentUser, Keys()[system ? 1 : 0].second, kView, false))
      return std::nullopt;
    return k.ReadValue(name);
  }
  static std::wstring Text(const platform::RegValue& v) {
    std::wstring s(reinterpret_cast<const wchar_t*>(v.data.data()), v.data.size() / 2);
    while (!s.empty() && s.back() == L'\0') s.pop_back();
    return s;
  }
  static void Set(const std::wstring& name, const std::wstring& value, bool expandable = false) {
    RegKey k;
    ASSERT_TRUE(k.Open(RegRoot::CurrentUser, L"Environment", kView, true));
    ASSERT_TRUE(k.WriteString(name, value, expandable));
  }
  std::wstring name_;
};

TEST_F(EnvironmentAction, OverwriteAndRemoveRecordTheOldValue) {
  ApplyEnvironmentRecord(name_ + L"*?first*?OVERWRITE*?Yes*?Default");
  auto v = Value(false, name_);
  ASSERT_TRUE(v);
  EXPECT_EQ(v->type, platform::kRegSz);
  EXPECT_EQ(Text(*v), L"first");
  ApplyEnvironmentRecord(name_ + L"*?second*?overwrite*?yes*?user");
  EXPECT_EQ(Text(*Value(false, name_)), L"second");
  ApplyEnvironmentRecord(name_ + L"*?*?Remove*?Yes*?User");
  EXPECT_FALSE(Value(false, name_));
  EXPECT_EQ(Entries(L"Environment"),
            (std::vector<std::wstring>{L"DU" + name_, L"WU" + name_ + L"*?first", L"WU" + name_ + L"*?second"}));
  // Removing what is not there changes nothing; nothing is recorded without the flag.
  ApplyEnvironmentRecord(name_ + L"*?*?REMOVE*?Yes*?User");
  ApplyEnvironmentRecord(name_ + L"_2*?x*?OVERWRITE*?No*?User");
  EXPECT_EQ(Entries(L"Environment").size(), 3u);
  EXPECT_FALSE(State().HadErrors);
}

TEST_F(EnvironmentAction, ListsKeepTheirTypeAndPathIsExpandable) {
  // A variable that does not exist is created as by OVERWRITE.
  ApplyEnvironmentRecord(name_ + L"*?C:\\Tools*?PREPEND*?Yes*?User");
  EXPECT_EQ(Value(false, name_)->type, platform::kRegSz);
  ApplyEnvironmentRecord(name_ + L"*?C:\\More*?APPEND*?Yes*?User");
  EXPECT_EQ(Text(*Value(false, name_)), L"C:\\Tools;C:\\More");
  EXPECT_EQ(Value(false, name_)->type, platform::kRegSz);
  ApplyEnvironmentRecord(name_ + L"*?C:\\More*?PREPEND*?Yes*?User");  // moved to the front, not new
  EXPECT_EQ(Text(*Value(false, name_)), L"C:\\More;C:\\Tools");
  EXPECT_EQ(Entries(L"Environment"), (std::vector<std::wstring>{L"DU" + name_, L"UU" + name_ + L"*?C:\\More"}));

  // An expandable variable stays expandable, or its %references% would break.
  Set(name_ + L"_2", L"%SystemRoot%\\a", true);
  ApplyEnvironmentRecord(name_ + L"_2*?C:\\b*?APPEND*?No*?User");
  auto v = Value(false, name_ + L"_2");
  EXPECT_EQ(v->type, platform::kRegExpandSz);
  EXPECT_EQ(Text(*v), L"%SystemRoot%\\a;C:\\b");

  // PATH: appended as REG_EXPAND_SZ and never removed. The user's PATH is put
  // back afterwards.
  RegKey env;
  ASSERT_TRUE(env.Open(RegRoot::CurrentUser, L"Environment", kView, true));
  const auto saved = env.ReadValue(L"PATH");
  ASSERT_TRUE(env.WriteString(L"PATH", L"C:\\Windows;C:\\Bin"));
  ApplyEnvironmentRecord(L"Path*?C:\\Tools*?APPEND*?Yes*?User");
  ApplyEnvironmentRecord(L"PATH*?*?REMOVE*?Yes*?User");
  v = env.ReadValue(L"PATH");
  if (saved) EXPECT_TRUE(env.WriteValue(L"PATH", *saved));
  else Ignore(env.DeleteValue(L"PATH"));
  ASSERT_TRUE(v);
  EXPECT_EQ(v->type, platform::kRegExpandSz);
  EXPECT_EQ(Text(*v), L"C:\\Windows;C:\\Bin;C:\\Tools");
  EXPECT_EQ(Entries(L"Environment").back(), L"UUPath*?C:\\Tools");
}

TEST_F(EnvironmentAction, ScopesAndFailures) {
  State().AllUsers = true;
  ApplyEnvironmentRecord(name_ + L"*?machine*?OVERWRITE*?Yes*?Default");
  EXPECT_EQ(Text(*Value(true, name_)), L"machine");
  EXPECT_FALSE(Value(false, name_));
  EXPECT_EQ(Entries(L"Environment"), (std::vector<std::wstring>{L"DS" + name_}));

  // A scope that names no environment is reported, and the next record runs.
  ApplyEnvironmentRecord(name_ + L"_2*?x*?OVERWRITE*?Yes*?Machine");
  EXPECT_TRUE(Logged(L"Access Denied: Unable to set environment variable (Machine): " + name_ + L"_2")) << LogText();
  EXPECT_TRUE(State().HadErrors);
  ApplyEnvironmentRecord(name_ + L"_2*?x*?OVERWRITE*?Yes*?User");
  EXPECT_EQ(Text(*Value(false, name_ + L"_2")), L"x");

  // An unknown action changes nothing and is no failure.
  State().HadErrors = false;
  ApplyEnvironmentRecord(name_ + L"_2*?y*?REPLACE*?Yes*?User");
  ApplyEnvironmentRecord(name_ + L"_2*?y*?OVERWRITE*?Yes");  // four fields
  ApplyEnvironmentRecord(L"*?y*?OVERWRITE*?Yes*?User");         // no name
  RegKey env;
  ASSERT_TRUE(env.Open(RegRoot::CurrentUser, L"Environment", kView, false));
  EXPECT_FALSE(env.ValueExists(L""));
  EXPECT_EQ(Text(*Value(false, name_ + L"_2")), L"x");
  EXPECT_FALSE(State().HadErrors);
}

}  // namespace
}  // namespace ek
