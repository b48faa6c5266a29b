#include "ui/window_rules.h"

#include "base/text.h"

namespace ek {

std::optional<uint32_t> ParseGuiColor(std::wstring_view text) {
  const auto v = ParseInt64(text);
  if (!v || *v < 0 || *v > 0xFFFFFFFFll) return std::nullopt;
  return static_cast<uint32_t>(*v);
}

std::optional<TextStyle> ParseTextStyle(std::wstring_view text) {
  if (text == L"Bold") return TextStyle{true, false, false};
  if (text == L"Italic") return TextStyle{false, true, false};
  if (text == L"Underline") return TextStyle{false, false, true};
  if (text == L"Bold Italic") return TextStyle{true, true, false};
  return std::nullopt;
}

void PlaceOnMonitor(int& left, int& top, int width, int height, const ScreenBox& m) {
  if (left < m.left || left > m.left + m.width) left = m.left + m.width / 2 - width / 2;
  if (top < m.top || top > m.top + m.height) top = m.top + m.height / 2 - height / 2;
}

int LogoIconPixels(int configured, int dpi, bool noScale) {
  if (dpi >= 192 && !noScale) return configured == 128 ? 256 : 128;
  return configured;
}

bool DarkThemeFrom(std::optional<uint32_t> apps, std::optional<uint32_t> system) {
  if (apps && *apps == 0) return true;
  return system && *system == 0;
}

std::wstring NoticeWithYear(std::wstring_view stored, std::wstring_view year) {
  return ReplaceFirstNoCase(stored, L"<YEAR>", year);
}

NoticeParts SplitNotice(std::wstring_view notice, std::wstring_view publisher) {
  NoticeParts p;
  p.text = std::wstring(notice);
  if (publisher.empty()) {
    p.showPublisher = false;
    return p;
  }
  if (EqualsNoCase(notice, publisher)) p.showCopyright = false;
  if (notice.size() >= publisher.size() && EndsWithNoCase(notice, publisher))
    p.text = std::wstring(notice.substr(0, notice.size() - publisher.size()));
  else
    p.showPublisher = false;
  return p;
}

bool NoticeNeedsBlank(std::wstring_view text) { return !(text.size() >= 2 && text.back() == L' '); }

void LayoutNoticeLine(int cw, int ch, LineBox& c, LineBox& p) {
  c.top = ch - 2 * c.height;
  p.top = c.top;
  if (c.visible) {
    c.left = p.visible ? cw / 2 - (c.width + p.width) / 2 : cw / 2 - c.width / 2;
    p.left = c.left + c.width;
  } else {
    p.left = cw / 2 - p.width / 2;
  }
}

void LayoutLicenseLine(int cw, int copyrightTop, LineBox& t, LineBox& l) {
  t.top = copyrightTop - 2 * t.height - 2;
  l.top = t.top;
  t.left = cw / 2 - (t.width + l.width) / 2;
  l.left = t.left + t.width;
  if (cw - 5 < l.left + l.width) {
    t.left = cw / 2 - t.width / 2;
    l.left = cw / 2 - l.width / 2;
    l.top = t.top + t.height + 1;
  }
}

}  // namespace ek
