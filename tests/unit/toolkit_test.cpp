// The window toolkit on real windows: scaling when the window reaches a
// monitor with another DPI (Wine shows one monitor only, so the message the
// system sends then is sent here by hand), anchors, keyboard access, the
// names a screen reader hears, pictures, rich text, and the end of the
// program when an event handler throws.
#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>

#include "base/result.h"
#include "platform/file_system.h"
#include "platform/handles.h"
#include "platform/ui.h"
#include "platform/window.h"
#include "setup_fixture.h"

using namespace ek;
using namespace ek::platform;

namespace {

HWND Hwnd(const Control* c) { return static_cast<HWND>(c->handle()); }

// The control's window in the form's client area, in pixels.
Rect PixelRect(const Form& f, const Control* c) {
  RECT r;
  ::GetWindowRect(Hwnd(c), &r);
  ::MapWindowPoints(nullptr, static_cast<HWND>(f.handle()), reinterpret_cast<POINT*>(&r), 2);
  return Rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

int FontHeight(const Control* c) {
  HFONT f = reinterpret_cast<HFONT>(::SendMessageW(Hwnd(c), WM_GETFONT, 0, 0));
  LOGFONTW lf{};
  ::GetObjectW(f, sizeof lf, &lf);
  return lf.lfHeight;
}

void PostKey(HWND to, WPARAM key) {
  ::PostMessageW(to, WM_KEYDOWN, key, 1);
  ::PostMessageW(to, WM_KEYUP, key, 0xC0000001);
  PumpMessages();
}

class Toolkit : public ::testing::Test {
 protected:
  ComScope com;  // screen readers reach the controls through COM
  void SetUp() override {
    InitCommonControls();
    ASSERT_TRUE(form.Create(L"TestForm", L"Toolkit", 300, 200, 0xFFFFFF));
  }
  Form form;
};

}  // namespace

TEST(ToolkitRules, ScalingAndAnchors) {
  EXPECT_EQ(ScaleRect(Rect{10, 10, 100, 25}, 144), (Rect{15, 15, 150, 38}));
  EXPECT_EQ(ScaleRect(Rect{25, 130, 445, 120}, 96), (Rect{25, 130, 445, 120}));
  // Neighbours stay neighbours: the edges are scaled, not the sizes.
  const Rect a = ScaleRect(Rect{0, 0, 15, 10}, 120), b = ScaleRect(Rect{15, 0, 15, 10}, 120);
  EXPECT_EQ(a.right(), b.x);
  EXPECT_EQ(UnscaleValue(ScaleValue(376, 144), 144), 376);

  const Rect r{10, 20, 100, 30};
  EXPECT_EQ(AnchoredRect(r, anchor::kDefault, 50, 40), r);
  EXPECT_EQ(AnchoredRect(r, anchor::kLeft | anchor::kTop | anchor::kRight, 50, 40), (Rect{10, 20, 150, 30}));
  EXPECT_EQ(AnchoredRect(r, anchor::kRight | anchor::kBottom, 50, 40), (Rect{60, 60, 100, 30}));
  EXPECT_EQ(AnchoredRect(r, anchor::kAll, 50, 40), (Rect{10, 20, 150, 70}));
  EXPECT_EQ(AnchoredRect(r, anchor::kLeft | anchor::kBottom, -20, -10), (Rect{10, 10, 100, 30}));
  EXPECT_EQ(AnchoredRect(r, anchor::kAll, -500, 0).w, 0);
}

TEST(ToolkitRules, PicturesFitTheirBox) {
  const PictureFit own = FitPicture(40, 20, 100, 100, false, false, false);
  EXPECT_EQ(own.w, 40);
  EXPECT_EQ(own.h, 20);
  const PictureFit stretched = FitPicture(40, 20, 100, 100, true, false, false);
  EXPECT_EQ(stretched.w, 100);
  EXPECT_EQ(stretched.h, 100);
  const PictureFit wide = FitPicture(40, 20, 100, 100, true, true, true);
  EXPECT_EQ(wide.w, 100);
  EXPECT_EQ(wide.h, 50);
  EXPECT_EQ(wide.y, 25);
  const PictureFit tall = FitPicture(20, 40, 100, 60, true, true, false);
  EXPECT_EQ(tall.h, 60);
  EXPECT_EQ(tall.w, 30);
  EXPECT_EQ(tall.x, 0);
}

TEST_F(Toolkit, AnotherDpiScalesControlsFontsAndTheWindow) {
  auto* button = form.AddButton(L"B", nullptr, L"Press", Rect{10, 10, 100, 25}, {});
  auto* edit = form.AddEdit(L"E", nullptr, Rect{10, 50, 200, 21});
  auto* label = form.AddLabel(L"L", nullptr, L"A label that measures itself", Rect{10, 90, 0, 0});
  auto* group = form.AddGroupBox(L"G", nullptr, L"Group", Rect{10, 120, 280, 70});
  auto* inside = form.AddCheckBox(L"C", group, L"Inside", Rect{10, 20, 200, 17});
  int relaidOut = 0;
  form.handlers().dpiChanged = [&] { ++relaidOut; };
  const int dpi = form.Dpi();
  EXPECT_EQ(PixelRect(form, button), ScaleRect(Rect{10, 10, 100, 25}, dpi));
  const int labelWidth = label->Width();
  ASSERT_GT(labelWidth, 50);

  // What the system sends when the window reaches a monitor of 144 dpi.
  const int newDpi = dpi == 144 ? 192 : 144;
  RECT suggested{40, 30, 40 + ScaleValue(320, newDpi), 30 + ScaleValue(240, newDpi)};
  ::SendMessageW(static_cast<HWND>(form.handle()), WM_DPICHANGED, MAKEWPARAM(newDpi, newDpi),
                 reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(form.Dpi(), newDpi);
  EXPECT_EQ(relaidOut, 1);
  EXPECT_EQ(PixelRect(form, button), ScaleRect(Rect{10, 10, 100, 25}, newDpi));
  EXPECT_EQ(PixelRect(form, edit), ScaleRect(Rect{10, 50, 200, 21}, newDpi));
  // A control inside a group keeps its place in the group.
  EXPECT_EQ(PixelRect(form, inside), ScaleRect(Rect{20, 140, 200, 17}, newDpi));
  EXPECT_EQ(FontHeight(button), -::MulDiv(8, newDpi, 72));
  // The label measured its text again: about the same logical width.
  EXPECT_NEAR(label->Width(), labelWidth, labelWidth / 8);
  RECT client;
  ::GetClientRect(static_cast<HWND>(form.handle()), &client);
  EXPECT_EQ(client.right, ScaleValue(300, newDpi));
  EXPECT_EQ(client.bottom, ScaleValue(200, newDpi));
  EXPECT_EQ(form.ClientWidth(), 300);
  RECT window;
  ::GetWindowRect(static_cast<HWND>(form.handle()), &window);
  EXPECT_EQ(window.left, 40);
  EXPECT_EQ(window.top, 30);
}

TEST_F(Toolkit, AnchorsFollowTheClientArea) {
  auto* edit = form.AddEdit(L"E", nullptr, Rect{10, 10, 200, 21});
  edit->SetAnchors(anchor::kLeft | anchor::kTop | anchor::kRight);
  auto* ok = form.AddButton(L"OK", nullptr, L"OK", Rect{210, 160, 75, 25}, {});
  ok->SetAnchors(anchor::kRight | anchor::kBottom);
  form.SetClientSize(350, 260);
  EXPECT_EQ(edit->Bounds(), (Rect{10, 10, 250, 21}));
  EXPECT_EQ(ok->Bounds(), (Rect{260, 220, 75, 25}));
  EXPECT_EQ(PixelRect(form, ok), ScaleRect(Rect{260, 220, 75, 25}, form.Dpi()));
}

TEST_F(Toolkit, KeyboardReachesEveryControl) {
  int linkClicks = 0, okClicks = 0, cancels = 0, entered = 0;
  auto* edit = form.AddEdit(L"E", nullptr, Rect{10, 10, 200, 21});
  auto* link = form.AddLink(L"Link", nullptr, L"A link", 10, 40, [&] { ++linkClicks; });
  auto* check = form.AddCheckBox(L"C", nullptr, L"Check", Rect{10, 60, 200, 17});
  auto* ok = form.AddButton(L"OK", nullptr, L"OK", Rect{10, 90, 75, 25}, [&] { ++okClicks; });
  form.SetDefaultButton(ok);
  form.handlers().cancel = [&] { ++cancels; };
  form.Show(true);
  PumpMessages();

  edit->Focus();
  PostKey(Hwnd(edit), VK_TAB);
  EXPECT_TRUE(link->HasFocus());
  PostKey(Hwnd(link), VK_RETURN);
  EXPECT_EQ(linkClicks, 1);
  PostKey(Hwnd(link), VK_TAB);
  EXPECT_TRUE(check->HasFocus());
  // Enter outside a button presses the default button.
  PostKey(Hwnd(check), VK_RETURN);
  EXPECT_EQ(okClicks, 1);
  PostKey(Hwnd(check), VK_ESCAPE);
  EXPECT_EQ(cancels, 1);
  // Enter on a button presses that button.
  ok->Focus();
  PostKey(Hwnd(ok), VK_RETURN);
  EXPECT_EQ(okClicks, 2);
  // An edit box that handles Enter itself.
  edit->SetOnEnter([&] { ++entered; });
  edit->Focus();
  PostKey(Hwnd(edit), VK_RETURN);
  EXPECT_EQ(entered, 1);
  EXPECT_EQ(okClicks, 2);
  // A hidden control gives its focus away.
  edit->Show(false);
  EXPECT_FALSE(edit->HasFocus());
}

TEST_F(Toolkit, ScreenReadersHearNamesAndRoles) {
  auto* edit = form.AddEdit(L"E", nullptr, Rect{10, 10, 200, 21});
  edit->SetAccessibleName(L"Destination Folder");
  auto* link = form.AddLink(L"Link", nullptr, L"License &Agreement", 10, 40, {});
  auto* list = form.AddCheckList(L"List", nullptr, Rect{10, 60, 200, 60}, 17);
  list->SetItems({{L"First", true, true}, {L"Second", false, false}});
  list->SetAccessibleName(L"Components");
  auto* box = form.AddCheckBox(L"C", nullptr, L"Create shortcut", Rect{10, 130, 200, 17});
  box->SetChecked(true);

  auto query = [](const Control* c, long child, std::wstring* name, long* role, long* state) {
    ComPtr<IAccessible> acc;
    ASSERT_TRUE(SUCCEEDED(::AccessibleObjectFromWindow(Hwnd(c), OBJID_CLIENT, __uuidof(IAccessible), acc.put_void())));
    VARIANT id;
    id.vt = VT_I4;
    id.lVal = child;
    BSTR b = nullptr;
    if (name && SUCCEEDED(acc->get_accName(id, &b)) && b) {
      *name = b;
      ::SysFreeString(b);
    }
    VARIANT v;
    ::VariantInit(&v);
    if (role && SUCCEEDED(acc->get_accRole(id, &v)) && v.vt == VT_I4) *role = v.lVal;
    ::VariantInit(&v);
    if (state && SUCCEEDED(acc->get_accState(id, &v)) && v.vt == VT_I4) *state = v.lVal;
  };
  std::wstring name;
  long role = 0, state = 0;
  query(edit, CHILDID_SELF, &name, &role, nullptr);
  EXPECT_EQ(name, L"Destination Folder");
  EXPECT_EQ(role, ROLE_SYSTEM_TEXT);
  query(link, CHILDID_SELF, &name, &role, nullptr);
  EXPECT_EQ(name, L"License Agreement");
  EXPECT_EQ(role, ROLE_SYSTEM_LINK);
  query(list, CHILDID_SELF, &name, &role, nullptr);
  EXPECT_EQ(name, L"Components");
  query(list, 1, &name, &role, &state);
  EXPECT_EQ(name, L"First");
  EXPECT_EQ(role, ROLE_SYSTEM_LISTITEM);
  EXPECT_TRUE(state & STATE_SYSTEM_CHECKED);
  query(list, 2, nullptr, nullptr, &state);
  EXPECT_FALSE(state & STATE_SYSTEM_CHECKED);
  EXPECT_TRUE(state & STATE_SYSTEM_UNAVAILABLE);
  query(box, CHILDID_SELF, &name, &role, &state);
  EXPECT_EQ(name, L"Create shortcut");
  EXPECT_EQ(role, ROLE_SYSTEM_CHECKBUTTON);
  EXPECT_TRUE(state & STATE_SYSTEM_CHECKED);
}

TEST_F(Toolkit, CheckListTicksOnlyWhatMayChange) {
  auto* list = form.AddCheckList(L"List", nullptr, Rect{10, 10, 200, 80}, 17);
  list->SetItems({{L"Locked", true, false}, {L"Free", false, true}});
  std::vector<int> changed;
  list->SetOnCheck([&](int i) { changed.push_back(i); });
  form.Show(true);
  list->Focus();
  ::SendMessageW(Hwnd(list), LB_SETCURSEL, 0, 0);
  PostKey(Hwnd(list), VK_SPACE);
  EXPECT_TRUE(list->Items()[0].checked);
  ::SendMessageW(Hwnd(list), LB_SETCURSEL, 1, 0);
  PostKey(Hwnd(list), VK_SPACE);
  EXPECT_TRUE(list->Items()[1].checked);
  EXPECT_EQ(changed, std::vector<int>{1});
}

namespace {

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  File f;
  ASSERT_TRUE(f.Create(path));
  ASSERT_TRUE(f.Write(bytes.data(), bytes.size()));
}

void Put32(std::string& s, uint32_t v) { s.append(reinterpret_cast<const char*>(&v), 4); }
void Put16(std::string& s, uint16_t v) { s.append(reinterpret_cast<const char*>(&v), 2); }

// A 32-bit bitmap (bottom-up rows) as stored in BMP and ICO files.
std::string DibBits(int w, int h, uint32_t color, bool withMask) {
  std::string s;
  Put32(s, 40);
  Put32(s, static_cast<uint32_t>(w));
  Put32(s, static_cast<uint32_t>(withMask ? 2 * h : h));
  Put16(s, 1);
  Put16(s, 32);
  for (int i = 0; i < 6; ++i) Put32(s, 0);
  for (int i = 0; i < w * h; ++i) Put32(s, color);
  if (withMask) s.append(static_cast<size_t>(h) * 4, '\0');  // rows of 32 bits
  return s;
}

}  // namespace

TEST(Pictures, IconsPngAndBmpDecode) {
  ComScope com;
  test::ScratchFolder dir(L"pictures");
  // PNG: red, then blue at half transparency.
  const unsigned char png[] = {
      0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00,
      0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00, 0x00, 0xF4, 0x22, 0x7F, 0x8A, 0x00, 0x00, 0x00,
      0x0E, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0xF8, 0xCF, 0xC0, 0x00, 0x42, 0x0D, 0x00, 0x0F, 0x7A, 0x03,
      0x7E, 0x77, 0xE9, 0x7F, 0x97, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
  WriteBytes(dir.path() + L"\\logo.png", std::string(reinterpret_cast<const char*>(png), sizeof png));
  const Image p = LoadPngImage(dir.path() + L"\\logo.png");
  ASSERT_TRUE(p.valid());
  EXPECT_EQ(p.width(), 2);
  EXPECT_EQ(p.pixels()[0], 0xFFFF0000u);
  EXPECT_EQ(p.pixels()[1] >> 24, 128u);

  std::string bmp = "BM";
  const std::string dib = DibBits(4, 3, 0x0000FF00, false);
  Put32(bmp, static_cast<uint32_t>(14 + dib.size()));
  Put32(bmp, 0);
  Put32(bmp, 14 + 40);
  bmp += dib;
  WriteBytes(dir.path() + L"\\logo.bmp", bmp);
  const Image b = LoadBmpImage(dir.path() + L"\\logo.bmp");
  ASSERT_TRUE(b.valid());
  EXPECT_EQ(b.width(), 4);
  EXPECT_EQ(b.height(), 3);
  EXPECT_EQ(b.pixels()[5] & 0xFFFFFF, 0x00FF00u);
  EXPECT_FALSE(b.hasAlpha());

  std::string ico;
  Put16(ico, 0);
  Put16(ico, 1);
  Put16(ico, 1);
  const std::string icon = DibBits(16, 16, 0xFF2060C0, true);
  ico.push_back(16);
  ico.push_back(16);
  ico.push_back(0);
  ico.push_back(0);
  Put16(ico, 1);
  Put16(ico, 32);
  Put32(ico, static_cast<uint32_t>(icon.size()));
  Put32(ico, 6 + 16);
  ico += icon;
  WriteBytes(dir.path() + L"\\logo.ico", ico);
  const Image i = LoadIconImage(dir.path() + L"\\logo.ico", 16);
  ASSERT_TRUE(i.valid());
  EXPECT_EQ(i.width(), 16);
  EXPECT_EQ(i.pixels()[40], 0xFF2060C0u);

  EXPECT_FALSE(LoadPngImage(dir.path() + L"\\logo.bmp").valid());
  EXPECT_FALSE(LoadBmpImage(dir.path() + L"\\missing.bmp").valid());
  EXPECT_FALSE(LoadIconImage(dir.path() + L"\\missing.ico", 32).valid());
}

TEST_F(Toolkit, RichTextShowsFormattingOrPlainText) {
  test::ScratchFolder dir(L"richtext");
  auto* rich = form.AddRichText(L"R", nullptr, Rect{0, 0, 300, 200});
  const std::wstring rtf = dir.Write(L"a.rtf", L"{\\rtf1\\ansi{\\b Bold} words https://example.com/x}", TextEncoding::Utf8);
  ASSERT_TRUE(rich->LoadFile(rtf));
  const std::wstring shown = rich->PlainText();
  EXPECT_NE(shown.find(L"Bold words"), std::wstring::npos);
  EXPECT_EQ(shown.find(L"\\rtf"), std::wstring::npos);
  const std::wstring txt = dir.Write(L"b.txt", L"Line one\r\nLine \u00E4 two\r\n", TextEncoding::Utf8Bom);
  ASSERT_TRUE(rich->LoadFile(txt));
  EXPECT_NE(rich->PlainText().find(L"Line \u00E4 two"), std::wstring::npos);
  EXPECT_FALSE(rich->LoadFile(dir.path() + L"\\missing.txt"));
}

namespace {

std::wstring g_fatalMarker;

void RecordFatal(std::string_view what) {
  File f;
  if (f.Create(g_fatalMarker)) (void)f.Write(what.data(), what.size());
}

}  // namespace

TEST(ToolkitDeathTest, AnExceptionInAHandlerEndsTheProgramWithCode1) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The same file for this process and the copy that runs the statement.
  g_fatalMarker = TempFolder() + L"\\ektest-fatal-handler.txt";
  Ignore(DeleteFileAt(g_fatalMarker));
  EXPECT_EXIT(
      {
        InitCommonControls();
        SetFatalHandler(&RecordFatal);
        Form f;
        if (!f.Create(L"T", L"T", 100, 100, 0xFFFFFF)) std::exit(3);
        auto* b = f.AddButton(L"B", nullptr, L"Throw", Rect{0, 0, 50, 20}, [] { throw std::runtime_error("broken handler"); });
        ::SendMessageW(Hwnd(b), BM_CLICK, 0, 0);
        std::exit(4);
      },
      ::testing::ExitedWithCode(1), "");
  auto bytes = ReadWholeFile(g_fatalMarker);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(*bytes, "broken handler");
  Ignore(DeleteFileAt(g_fatalMarker));
}
