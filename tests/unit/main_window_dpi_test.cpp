// The installer's own main window moved to a monitor with another dpi. Wine
// shows one monitor only, so the test sends the window what Windows sends
// when it reaches the other monitor, and reads the controls back through
// Win32: each keeps its place and size in the window's own units, its font
// follows the new dpi, and no two visible controls come to overlap.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/window.h"
#include "setup_fixture.h"
#include "ui/main_window.h"

using namespace ek;

namespace {

struct Seen {
  HWND hwnd;
  std::wstring text;
  bool visible;
  RECT rect;  // in the form's client area, pixels
  int fontHeight;
};

std::vector<Seen> Look(HWND form) {
  std::vector<Seen> out;
  for (HWND c = ::GetWindow(form, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
    // Shown in a window that itself stays hidden (it must not take the
    // foreground from the end-to-end tests that run beside this one).
    Seen s{c, {}, (::GetWindowLongW(c, GWL_STYLE) & WS_VISIBLE) != 0, {}, 0};
    wchar_t text[256] = {};
    ::GetWindowTextW(c, text, 256);
    s.text = text;
    ::GetWindowRect(c, &s.rect);
    ::MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&s.rect), 2);
    LOGFONTW lf{};
    if (HFONT f = reinterpret_cast<HFONT>(::SendMessageW(c, WM_GETFONT, 0, 0))) ::GetObjectW(f, sizeof lf, &lf);
    s.fontHeight = lf.lfHeight;
    out.push_back(s);
  }
  return out;
}

bool Overlap(const RECT& a, const RECT& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

class MainWindowDpi : public test::SetupStateTest {};

TEST_F(MainWindowDpi, MovedToAMonitorWithAnotherDpiKeepsItsLayout) {
  LoadConfig(L"[Setup]\nAppName=Ek Notes\nAppVersion=2.1\nDialogLicense=1\nShowPublisher=1\n"
             L"Copyright=Ek Test Ltd\nWebSite=https://example.com/\n");
  LoadLanguageTexts(L"[Title]\n0=<AppNameVersion> Setup\n"
                    L"[Welcome]\n0=<AppName> Setup\n1=This will install <AppName> on your computer.\n"
                    L"2=&Install\n3=Options\n5=By installing this product, you agree to our\n6=License Agreement\n");
  MainWindow window;
  ASSERT_TRUE(window.Create({}));
  window.LoadLogoAndLayout();
  window.LoadWindowTexts();
  window.Layout();
  HWND form = static_cast<HWND>(window.handle());
  const int dpi = static_cast<int>(::GetDpiForWindow(form));
  const std::vector<Seen> before = Look(form);
  ASSERT_GE(before.size(), 8u);
  ASSERT_GE(std::count_if(before.begin(), before.end(), [](const Seen& s) { return s.visible; }), 6);
  RECT client{};
  ::GetClientRect(form, &client);

  const int newDpi = dpi == 144 ? 192 : 144;
  RECT window0{};
  ::GetWindowRect(form, &window0);
  RECT suggested{window0.left, window0.top, window0.left + ::MulDiv(window0.right - window0.left, newDpi, dpi),
                 window0.top + ::MulDiv(window0.bottom - window0.top, newDpi, dpi)};
  ::SendMessageW(form, WM_DPICHANGED, MAKEWPARAM(newDpi, newDpi), reinterpret_cast<LPARAM>(&suggested));
  platform::PumpMessages();

  RECT newClient{};
  ::GetClientRect(form, &newClient);
  EXPECT_NEAR(newClient.right, ::MulDiv(client.right, newDpi, dpi), 2);
  EXPECT_NEAR(newClient.bottom, ::MulDiv(client.bottom, newDpi, dpi), 2);
  const std::vector<Seen> after = Look(form);
  ASSERT_EQ(after.size(), before.size());
  // Labels measure their text again at the new size, and text does not grow
  // quite in step with the dpi: a few per cent of slack.
  auto slack = [](int expected) { return 2 + std::abs(expected) / 25; };
  for (size_t i = 0; i < after.size(); ++i) {
    const Seen &b = before[i], &a = after[i];
    SCOPED_TRACE(std::string(b.text.begin(), b.text.end()));
    EXPECT_EQ(a.visible, b.visible);
    if (!b.visible) continue;
    const int left = ::MulDiv(b.rect.left, newDpi, dpi), top = ::MulDiv(b.rect.top, newDpi, dpi);
    const int width = ::MulDiv(b.rect.right - b.rect.left, newDpi, dpi);
    const int height = ::MulDiv(b.rect.bottom - b.rect.top, newDpi, dpi);
    EXPECT_NEAR(a.rect.left, left, slack(left));
    EXPECT_NEAR(a.rect.top, top, slack(top));
    EXPECT_NEAR(a.rect.right - a.rect.left, width, slack(width));
    EXPECT_NEAR(a.rect.bottom - a.rect.top, height, slack(height));
    if (b.fontHeight != 0) EXPECT_NEAR(a.fontHeight, ::MulDiv(b.fontHeight, newDpi, dpi), 1);
    EXPECT_GE(a.rect.left, 0);
    EXPECT_LE(a.rect.right, newClient.right);
    EXPECT_LE(a.rect.bottom, newClient.bottom);
    // The text, in the control's new font and at its new width, is not cut.
    if (a.text.empty()) continue;
    HDC dc = ::GetDC(a.hwnd);
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(a.hwnd, WM_GETFONT, 0, 0)));
    RECT need{0, 0, a.rect.right - a.rect.left, 0};
    ::DrawTextW(dc, a.text.c_str(), -1, &need, DT_CALCRECT | DT_WORDBREAK);
    ::SelectObject(dc, old);
    ::ReleaseDC(a.hwnd, dc);
    EXPECT_LE(need.bottom, a.rect.bottom - a.rect.top);
    EXPECT_LE(need.right, a.rect.right - a.rect.left);
  }
  for (size_t i = 0; i < after.size(); ++i)
    for (size_t j = i + 1; j < after.size(); ++j)
      if (after[i].visible && after[j].visible && !Overlap(before[i].rect, before[j].rect))
        EXPECT_FALSE(Overlap(after[i].rect, after[j].rect))
            << std::string(after[i].text.begin(), after[i].text.end()) << " / "
            << std::string(after[j].text.begin(), after[j].text.end());
}

}  // namespace
