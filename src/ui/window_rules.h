// The rules of the main window that do not need a window: [GUI] values, the
// placement on the mouse's monitor, the logo size, the dark theme, and the
// notice and license lines at the bottom. Sizes are in 96-dpi units unless
// said otherwise.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ek {

// A [GUI] colour ($00BBGGRR, decimal or after "$"); nothing when it is not a
// number.
std::optional<uint32_t> ParseGuiColor(std::wstring_view text);

struct TextStyle {
  bool bold = false;
  bool italic = false;
  bool underline = false;
};
// "Bold", "Italic", "Underline" or "Bold Italic", exactly so written.
std::optional<TextStyle> ParseTextStyle(std::wstring_view text);

struct ScreenBox {
  int left = 0, top = 0, width = 0, height = 0;
};
// Moves a window whose left (top) edge lies outside the monitor to the
// monitor's centre in that direction; screen pixels.
void PlaceOnMonitor(int& left, int& top, int width, int height, const ScreenBox& monitor);

// The pixel size at which an icon logo is taken.
int LogoIconPixels(int configured, int dpi, bool noScale);

// Dark mode from the two values of the user's Personalize key (nothing: the
// value is missing or not an integer).
bool DarkThemeFrom(std::optional<uint32_t> appsUseLightTheme, std::optional<uint32_t> systemUsesLightTheme);
inline constexpr uint32_t kDarkWindowColor = 35856668;   // $0223211C
inline constexpr uint32_t kDarkTitleColor = 47041995;    // $02CDCDCB
inline constexpr uint32_t kGrey = 0x808080;
inline constexpr uint32_t kDefaultLinkColor = 0xFF8000;

// The first "<YEAR>" (any case) of the stored notice replaced by the year.
std::wstring NoticeWithYear(std::wstring_view stored, std::wstring_view year);

struct NoticeParts {
  std::wstring text;  // before the publisher link
  bool showCopyright = true;
  bool showPublisher = true;
};
// Splits the expanded notice: a notice that ends with the publisher's name
// leaves the name to the link; one that is only the name shows only the
// link; any other shows only the text.
NoticeParts SplitNotice(std::wstring_view notice, std::wstring_view publisher);
// The notice text is followed by one blank unless it already ends with one.
bool NoticeNeedsBlank(std::wstring_view text);

struct LineBox {
  int left = 0, top = 0, width = 0, height = 0;
  bool visible = false;
};
// The notice line: both labels two heights above the bottom, centred as one
// line (or the one that is visible).
void LayoutNoticeLine(int clientWidth, int clientHeight, LineBox& copyright, LineBox& publisher);
// The license line above it, centred as one line; when it does not fit the
// link goes under the text, each centred.
void LayoutLicenseLine(int clientWidth, int copyrightTop, LineBox& text, LineBox& link);

}  // namespace ek
