// The rules of the windows that need no window: [GUI] values, placement on
// the mouse's monitor, the logo size, the dark theme, the notice and license
// lines, the flags, the folder rules of the options dialog and the sizes of
// the components.
#include <gtest/gtest.h>

#include <set>

#include "platform/window.h"
#include "setup_fixture.h"
#include "ui/flags.h"
#include "ui/license_window.h"
#include "ui/options_dialog.h"
#include "ui/window_rules.h"

using namespace ek;

TEST(WindowRules, GuiColorsAndStyles) {
  EXPECT_EQ(ParseGuiColor(L"8421504"), 0x808080u);
  EXPECT_EQ(ParseGuiColor(L"$0223211C"), 0x0223211Cu);
  EXPECT_EQ(ParseGuiColor(L"$FF8000"), 0xFF8000u);
  EXPECT_FALSE(ParseGuiColor(L"blue"));
  EXPECT_FALSE(ParseGuiColor(L""));
  EXPECT_FALSE(ParseGuiColor(L"-5"));

  ASSERT_TRUE(ParseTextStyle(L"Bold Italic"));
  EXPECT_TRUE(ParseTextStyle(L"Bold Italic")->bold);
  EXPECT_TRUE(ParseTextStyle(L"Bold Italic")->italic);
  EXPECT_TRUE(ParseTextStyle(L"Underline")->underline);
  // Only the exact spelling counts.
  EXPECT_FALSE(ParseTextStyle(L"bold"));
  EXPECT_FALSE(ParseTextStyle(L"Italic Bold"));
}

TEST(WindowRules, PlacementOnTheMonitorUnderTheMouse) {
  const ScreenBox left{0, 0, 1920, 1080}, right{1920, 0, 1280, 1024};
  struct Case {
    const char* what;
    int left, top;
    ScreenBox monitor;
    int wantLeft, wantTop;
  } cases[] = {
      // A window on the right monitor, the mouse on the left one: its centre.
      {"other monitor", 2300, 300, left, 960 - 250, 300},
      {"already on it", 100, 300, left, 100, 300},
      {"above it", 100, -500, left, 100, 540 - 200},
      {"below it", 100, 1200, left, 100, 540 - 200},
      {"left edge on the right monitor", 1950, 10, right, 1950, 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    int l = c.left, t = c.top;
    PlaceOnMonitor(l, t, 500, 400, c.monitor);
    EXPECT_EQ(l, c.wantLeft);
    EXPECT_EQ(t, c.wantTop);
  }
}

TEST(WindowRules, LogoIconSizeOnLargeScreens) {
  EXPECT_EQ(LogoIconPixels(48, 192, false), 128);
  EXPECT_EQ(LogoIconPixels(128, 192, false), 256);
  EXPECT_EQ(LogoIconPixels(128, 240, false), 256);
  EXPECT_EQ(LogoIconPixels(48, 192, true), 48);
  EXPECT_EQ(LogoIconPixels(128, 192, true), 128);
  EXPECT_EQ(LogoIconPixels(48, 144, false), 48);
  EXPECT_EQ(LogoIconPixels(128, 96, false), 128);
}

TEST(WindowRules, DarkThemeFromThePersonalizeValues) {
  EXPECT_TRUE(DarkThemeFrom(0u, std::nullopt));
  EXPECT_TRUE(DarkThemeFrom(1u, 0u));
  EXPECT_TRUE(DarkThemeFrom(std::nullopt, 0u));
  EXPECT_FALSE(DarkThemeFrom(1u, 1u));
  EXPECT_FALSE(DarkThemeFrom(std::nullopt, std::nullopt));
}

TEST(WindowRules, NoticeLine) {
  EXPECT_EQ(NoticeWithYear(L"\u00A9 <Year> Example", L"2024"), L"\u00A9 2024 Example");
  EXPECT_EQ(NoticeWithYear(L"<YEAR>-<YEAR>", L"2024"), L"2024-<YEAR>");

  struct Case {
    const wchar_t* notice;
    const wchar_t* text;
    bool copyright, publisher;
  } cases[] = {
      // The publisher at the end goes to the link.
      {L"\u00A9 2024 Example Ltd", L"\u00A9 2024 ", true, true},
      {L"\u00A9 2024 EXAMPLE LTD", L"\u00A9 2024 ", true, true},
      // Only the publisher: only the link.
      {L"Example Ltd", L"", false, true},
      // Anything else: only the text.
      {L"All rights reserved", L"All rights reserved", true, false},
      {L"Example Ltd, all rights reserved", L"Example Ltd, all rights reserved", true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.notice, c.notice + wcslen(c.notice)).size());
    const NoticeParts p = SplitNotice(c.notice, L"Example Ltd");
    EXPECT_EQ(p.text, c.text);
    EXPECT_EQ(p.showCopyright, c.copyright);
    EXPECT_EQ(p.showPublisher, c.publisher);
  }
  EXPECT_FALSE(SplitNotice(L"Text", L"").showPublisher);
  EXPECT_TRUE(NoticeNeedsBlank(L"\u00A9 2024"));
  EXPECT_FALSE(NoticeNeedsBlank(L"\u00A9 2024 "));
  EXPECT_TRUE(NoticeNeedsBlank(L" "));
}

TEST(WindowRules, BottomLinesAreCentred) {
  LineBox c{0, 0, 100, 13, true}, p{0, 0, 60, 13, true};
  LayoutNoticeLine(494, 376, c, p);
  EXPECT_EQ(c.top, 376 - 26);
  EXPECT_EQ(p.top, c.top);
  EXPECT_EQ(c.left, 247 - 80);
  EXPECT_EQ(p.left, c.left + 100);

  c.visible = false;
  LayoutNoticeLine(494, 376, c, p);
  EXPECT_EQ(p.left, 247 - 30);

  c.visible = true;
  p.visible = false;
  LayoutNoticeLine(494, 376, c, p);
  EXPECT_EQ(c.left, 247 - 50);

  // Fits: one line. Too wide: the link goes under the text.
  LineBox t{0, 0, 280, 13, true}, l{0, 0, 120, 13, true};
  LayoutLicenseLine(494, 350, t, l);
  EXPECT_EQ(t.top, 350 - 28);
  EXPECT_EQ(l.top, t.top);
  EXPECT_EQ(t.left, 247 - 200);
  EXPECT_EQ(l.left, t.left + 280);
  t.width = 400;
  LayoutLicenseLine(494, 350, t, l);
  EXPECT_EQ(t.left, 247 - 200);
  EXPECT_EQ(l.left, 247 - 60);
  EXPECT_EQ(l.top, t.top + 14);
  EXPECT_LE(l.top + l.height, 350);
}

TEST(WindowRules, FlagsAreDistinctAndFramed) {
  std::set<std::vector<uint32_t>> seen;
  for (int i = 0; i < kFlagCount; ++i) {
    const auto px = PaintFlag(i, 24, 16);
    ASSERT_EQ(px.size(), 24u * 16u);
    EXPECT_EQ(px[0], 0xFF505050u) << i;
    EXPECT_EQ(px.back(), 0xFF505050u) << i;
    EXPECT_TRUE(seen.insert(px).second) << "flag " << i << " looks like another";
  }
  EXPECT_EQ(PaintFlag(99, 24, 16), PaintFlag(0, 24, 16));
  EXPECT_TRUE(PaintFlag(1, 0, 16).empty());
}

TEST(WindowRules, LinksStayReadable) {
  const uint32_t white = 0xFFFFFF, dark = 0x0223211C & 0xFFFFFF;
  EXPECT_EQ(platform::LinkColorOn(white, 0xCC6600), 0xCC6600u);  // Windows' own blue stays
  // Wine's light grey on white hardly shows: a blue instead.
  EXPECT_GE(platform::ContrastRatio(white, platform::LinkColorOn(white, 0xE0E0E0)), 3.0);
  EXPECT_GE(platform::ContrastRatio(dark, platform::LinkColorOn(dark, 0x800000)), 3.0);
  EXPECT_NEAR(platform::ContrastRatio(white, 0), 21.0, 0.01);
}

TEST(OptionsRules, FolderCompletion) {
  const std::wstring setup = L"Z:\\media\\dist";
  EXPECT_EQ(CompleteInstallFolder(L"D:", setup), L"D:\\");
  EXPECT_EQ(CompleteInstallFolder(L"Apps\\Tool", setup), L"Z:\\media\\dist\\Apps\\Tool");
  EXPECT_EQ(CompleteInstallFolder(L"\\Apps\\Tool", setup), L"Z:\\media\\dist\\Apps\\Tool");
  EXPECT_EQ(CompleteInstallFolder(L"\\\\server\\share\\Tool", setup), L"\\\\server\\share\\Tool");
  EXPECT_EQ(CompleteInstallFolder(L"C:\\Program Files\\Tool", setup), L"C:\\Program Files\\Tool");
}

TEST(OptionsRules, BrowsedFolderBySelectFolderMode) {
  const std::wstring old = L"C:\\Program Files\\Tool";
  EXPECT_EQ(BrowsedInstallFolder(old, L"D:\\Apps", 0), L"D:\\Apps\\Tool");
  EXPECT_EQ(BrowsedInstallFolder(old, L"D:\\Apps", 2), L"D:\\");
  EXPECT_EQ(BrowsedInstallFolder(old, L"D:\\Apps", 1), L"D:\\Apps");
  EXPECT_EQ(BrowsedInstallFolder(old, L"E:", 1), L"E:\\");
  // Cancelled: the browser gives the start back; nothing changes.
  EXPECT_EQ(BrowsedInstallFolder(old, old, 0), L"");
  EXPECT_EQ(BrowsedInstallFolder(old, L"D", 0), L"");
}

class ComponentSizes : public test::SetupStateTest {};

TEST_F(ComponentSizes, FieldsSizesAndTheSumOfTheChecked) {
  LoadConfig(
      L"[Setup]\nTotalSize=5000\n[Components]\n"
      L"0=Main*?Main part*?files*?100*?YES*?YES\n"
      L"1=Sources*?Source code*?$SOURCEDIR*?$SIZE*?YES*?YES\n"
      L"2=Extra*?*?extra*?20*?YES*?YES\n"
      L"3=All*?Everything*?$ALLFILES*?$SIZE*?YES*?NO\n"
      L"4=Nothing*?No marker*?files*?$SIZE*?YES*?NO\n"
      L"5=Last*?desc*?files*?7\n");
  auto& s = State();
  s.SourceSize = 50;
  for (int i = 0; i < 6; ++i) s.Options.CheckListBox1.push_back({L"", i < 3, true});

  EXPECT_EQ(ComponentField(0, 1), L"Main part");
  EXPECT_EQ(ComponentField(0, 3), L"100");
  EXPECT_EQ(ComponentField(0, 5), L"");   // the last field has no separator after it
  EXPECT_EQ(ComponentField(5, 3), L"");   // nor has this one
  EXPECT_EQ(ComponentField(9, 1), L"");   // no such record

  EXPECT_EQ(ComponentSize(0), 100);
  EXPECT_EQ(ComponentSize(1), 50);
  EXPECT_EQ(ComponentSize(3), 5000);
  EXPECT_EQ(ComponentSize(4), 0);  // "$SIZE" without a marker shows no size

  EXPECT_EQ(ComponentsSize(), 170);
  EXPECT_EQ(s.TotalSize, 170);
  // A checked record for all files replaces the sum by the package's total,
  // also after TotalSize was overwritten by the sum above.
  s.Options.CheckListBox1[3].checked = true;
  EXPECT_EQ(ComponentsSize(), 5000);
  s.Options.CheckListBox1[3].checked = false;
  s.Options.CheckListBox1[4].checked = true;
  EXPECT_EQ(ComponentsSize(), 170);
}

TEST_F(ComponentSizes, LicenseEntryByLanguage) {
  LoadConfig(L"[License]\nEnglish=en.rtf\n(Default)=any.txt\n");
  EXPECT_EQ(LicenseEntry(L"English"), L"en.rtf");
  EXPECT_EQ(LicenseEntry(L"German"), L"any.txt");
  LoadConfig(L"[License]\nEnglish=en.rtf\n");
  EXPECT_EQ(LicenseEntry(L"German"), L"");
}

TEST_F(ComponentSizes, DropDownChoiceFollowsTheRememberedText) {
  LoadConfig(L"[Setup]\nCustomComboBox=1\nCustomComboBoxItems=Red##Green##Blue\n");
  auto& s = State();
  s.Options.GroupBox3.visible = true;
  s.ComboBox = L"green";
  OptionsForm().LoadOptionsTexts();
  EXPECT_EQ(s.ComboBoxIndex, 1);
  EXPECT_EQ(s.ComboBox, L"Green");
  // A remembered text that is not in the list keeps the index; an index
  // outside the list selects nothing and keeps the text.
  s.ComboBox = L"Purple";
  s.ComboBoxIndex = 7;
  OptionsForm().LoadOptionsTexts();
  EXPECT_EQ(s.ComboBoxIndex, 7);
  EXPECT_EQ(s.ComboBox, L"Purple");
}
