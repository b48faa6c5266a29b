#include <gtest/gtest.h>

#include "config/utilities.h"
#include "setup_fixture.h"

namespace ek {
namespace {

using test::ScratchFolder;
using test::SetupStateTest;

TEST(SizeText, Units) {
  const std::wstring sep = platform::DecimalSeparator();
  struct Case {
    int64_t bytes;
    std::wstring want;
  } cases[] = {
      {0, L"0 byte"},
      {1, L"1 bytes"},
      {1023, L"1023 bytes"},
      {-5, L"-5 bytes"},
      {1024, L"1" + sep + L"00 KB"},
      {1048575, L"1024" + sep + L"00 KB"},  // rounded by the format, not moved to the next unit
      {1572864, L"1" + sep + L"50 MB"},
      {1ll << 30, L"1" + sep + L"00 GB"},
      {5ll << 40, L"5120" + sep + L"00 GB"},
  };
  for (const auto& c : cases) EXPECT_EQ(SizeText(c.bytes), c.want) << c.bytes;
}

class PathUtilities : public SetupStateTest {};

TEST_F(PathUtilities, ExtendedPath) {
  const std::wstring drive259 = L"C:\\" + std::wstring(256, L'a');
  const std::wstring drive260 = drive259 + L"b";
  const std::wstring unc = L"\\\\server\\share\\" + std::wstring(250, L'u');
  const std::wstring prefixed = L"\\\\?\\" + drive260;
  EXPECT_EQ(ExtendedPath(drive259), drive259);
  EXPECT_EQ(ExtendedPath(drive260), L"\\\\?\\" + drive260);
  EXPECT_EQ(ExtendedPath(prefixed), prefixed);
  EXPECT_EQ(ExtendedPath(unc), L"\\\\?\\UNC\\server\\share\\" + std::wstring(250, L'u'));
  EXPECT_EQ(ExtendedPath(L"\\\\server\\x"), L"\\\\server\\x");
  State().NoLongPathPrefix = true;
  EXPECT_EQ(ExtendedPath(drive260), drive260);
}

TEST_F(PathUtilities, DriveFreeSpace) {
  EXPECT_GT(DriveFreeSpace(L"C:\\windows"), 0u);
  EXPECT_GT(DriveFreeSpace(L"c:"), 0u);
  EXPECT_EQ(DriveFreeSpace(L"\\\\server\\share\\x"), 0u);
  EXPECT_EQ(DriveFreeSpace(L"relative\\folder"), 0u);
  EXPECT_EQ(DriveFreeSpace(L"C"), 0u);
  EXPECT_EQ(DriveFreeSpace(L""), 0u);
}

TEST_F(PathUtilities, LongPathName) {
  ScratchFolder folder(L"long");
  const std::wstring gone = folder.path() + L"\\no longer there";
  EXPECT_EQ(LongPathNameOf(folder.path()), folder.path());
  EXPECT_EQ(LongPathNameOf(gone), L"");
  LoadConfig(L"[Setup]\r\nSetupParameters=-nospathconvert\r\n");
  EXPECT_EQ(LongPathNameOf(gone), gone);
}

TEST(NewGuidText, FreshUpperCaseGuids) {
  const std::wstring a = NewGuidText(), b = NewGuidText();
  ASSERT_EQ(a.size(), 38u);
  EXPECT_NE(a, b);
  EXPECT_EQ(a.front(), L'{');
  EXPECT_EQ(a.back(), L'}');
  for (size_t i = 1; i < 37; ++i) {
    const wchar_t c = a[i];
    if (i == 9 || i == 14 || i == 19 || i == 24) EXPECT_EQ(c, L'-') << i;
    else EXPECT_TRUE((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F')) << i;
  }
}

TEST(EnvironmentValue, SetUnsetAndLong) {
  EXPECT_EQ(EnvironmentValue(L"EK_TEST_NEVER_SET_ANYWHERE"), L"");
  EXPECT_EQ(EnvironmentValue(L""), L"");
  const std::wstring v259(259, L'v'), v1000(1000, L'w');
  ASSERT_TRUE(platform::SetEnvironmentValue(L"EK_TEST_259", v259));
  ASSERT_TRUE(platform::SetEnvironmentValue(L"EK_TEST_1000", v1000));
  EXPECT_EQ(EnvironmentValue(L"EK_TEST_259"), v259);
  EXPECT_EQ(EnvironmentValue(L"ek_test_1000"), v1000);  // longer values are returned whole as well
}

}  // namespace
}  // namespace ek
