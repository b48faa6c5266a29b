#include "platform/window.h"

#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>
#include <richedit.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/text.h"
#include "platform/accessible.h"
#include "platform/file_system.h"
#include "platform/ui.h"

namespace ek::platform {
namespace {

constexpr wchar_t kFormClass[] = L"EkSetupForm";
constexpr wchar_t kNameProp[] = L"EkName";
constexpr wchar_t kParentProp[] = L"EkParent";
constexpr wchar_t kKindProp[] = L"EkKind";
constexpr wchar_t kFontProp[] = L"EkFont";
constexpr wchar_t kBottomProp[] = L"EkBottom";
constexpr wchar_t kColorProp[] = L"EkColor";
constexpr wchar_t kShieldProp[] = L"EkShield";
constexpr UINT kActivatedMessage = WM_APP + 1;
constexpr int kComboDropHeight = 200;  // the list below a drop-down, 96-dpi units

std::vector<Form*> g_forms;

HWND H(WindowHandle h) { return static_cast<HWND>(h); }
COLORREF Ref(uint32_t c) { return static_cast<COLORREF>(c & 0x00FFFFFFu); }

// The control's name (and its group's) as window properties, so that test
// drivers in other processes can find it. Global atoms are shared.
void SetAtomProp(HWND hwnd, const wchar_t* prop, const std::wstring& value) {
  const auto old = static_cast<ATOM>(reinterpret_cast<uintptr_t>(::RemovePropW(hwnd, prop)));
  if (old) ::GlobalDeleteAtom(old);
  if (value.empty()) return;
  if (ATOM a = ::GlobalAddAtomW(value.substr(0, 250).c_str()))
    ::SetPropW(hwnd, prop, reinterpret_cast<HANDLE>(static_cast<uintptr_t>(a)));
}

const wchar_t* KindName(Control::Kind k) {
  switch (k) {
    case Control::Kind::Label: return L"Label";
    case Control::Kind::Link: return L"Link";
    case Control::Kind::Button: return L"Button";
    case Control::Kind::Edit: return L"Edit";
    case Control::Kind::CheckBox: return L"CheckBox";
    case Control::Kind::GroupBox: return L"GroupBox";
    case Control::Kind::RadioGroup: return L"RadioGroup";
    case Control::Kind::ComboBox: return L"ComboBox";
    case Control::Kind::CheckList: return L"CheckList";
    case Control::Kind::Progress: return L"Progress";
    case Control::Kind::Picture: return L"Picture";
    case Control::Kind::RichText: return L"RichText";
  }
  return L"";
}

void Tag(HWND hwnd, const std::wstring& name, const std::wstring& parent, const std::wstring& kind) {
  SetAtomProp(hwnd, kNameProp, name);
  SetAtomProp(hwnd, kParentProp, parent);
  SetAtomProp(hwnd, kKindProp, kind);
}

// The font as the test driver re-creates it to measure texts.
void TagFont(HWND hwnd, const FontStyle& f) {
  SetAtomProp(hwnd, kFontProp, f.face + L"|" + ToText(f.points) + L"|" + (f.bold ? L"1" : L"0") + L"|" +
                                   (f.italic ? L"1" : L"0") + L"|" + (f.underline ? L"1" : L"0"));
}

void Untag(HWND hwnd) {
  for (const wchar_t* p : {kNameProp, kParentProp, kKindProp, kFontProp, kColorProp}) SetAtomProp(hwnd, p, L"");
  for (const wchar_t* p : {kBottomProp, kShieldProp, L"EkContent", L"EkScrollY"}) ::RemovePropW(hwnd, p);
}

// Labels and pictures paint themselves (the system's static control would
// paint over them whenever its text or state changes).
constexpr wchar_t kLabelClass[] = L"EkSetupLabel";

const wchar_t* LabelClass() {
  static const bool registered = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = &::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kLabelClass;
    return ::RegisterClassExW(&wc) != 0;
  }();
  return registered ? kLabelClass : L"STATIC";
}

HWND CreateChild(Form& form, const wchar_t* cls, DWORD style, DWORD exStyle, const std::wstring& text) {
  return ::CreateWindowExW(exStyle, cls, text.c_str(), WS_CHILD | style, 0, 0, 10, 10, H(form.handle()), nullptr,
                           ::GetModuleHandleW(nullptr), nullptr);
}

Form* FormOfWindow(HWND hwnd) {
  if (!hwnd) return nullptr;
  HWND root = ::GetAncestor(hwnd, GA_ROOT);
  for (Form* f : g_forms)
    if (f->handle() == root) return f;
  return nullptr;
}

// Runs an event handler; an exception that escapes it ends the program
// through the fatal handler.
template <typename F>
auto Guard(F&& f) -> decltype(f()) {
  try {
    return f();
  } catch (...) {
    HandleEscapedException();
  }
}

int ToLogicalCeil(int pixels, int dpi) { return (pixels * 96 + dpi - 1) / dpi; }

UINT DrawFlags(const LabelOptions& o) {
  UINT f = DT_EXPANDTABS;
  if (!o.showAccelChar) f |= DT_NOPREFIX;
  if (o.wordWrap) f |= DT_WORDBREAK;
  if (o.align == TextAlign::Center) f |= DT_CENTER;
  if (o.align == TextAlign::Right) f |= DT_RIGHT;
  return f;
}

LRESULT CALLBACK ControlSubclass(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref);

}  // namespace

// ----- pure rules -----

int ScaleValue(int logical, int dpi) { return ::MulDiv(logical, dpi, 96); }
int UnscaleValue(int pixels, int dpi) { return dpi > 0 ? ::MulDiv(pixels, 96, dpi) : pixels; }
Rect ScaleRect(const Rect& r, int dpi) {
  const int x = ScaleValue(r.x, dpi), y = ScaleValue(r.y, dpi);
  return Rect{x, y, ScaleValue(r.x + r.w, dpi) - x, ScaleValue(r.y + r.h, dpi) - y};
}

Rect AnchoredRect(const Rect& r, unsigned a, int dw, int dh) {
  Rect n = r;
  if (a & anchor::kRight) {
    if (a & anchor::kLeft) n.w += dw;
    else n.x += dw;
  } else if (!(a & anchor::kLeft)) {
    n.x += dw / 2;
  }
  if (a & anchor::kBottom) {
    if (a & anchor::kTop) n.h += dh;
    else n.y += dh;
  } else if (!(a & anchor::kTop)) {
    n.y += dh / 2;
  }
  if (n.w < 0) n.w = 0;
  if (n.h < 0) n.h = 0;
  return n;
}

uint32_t SystemColor(int index) { return static_cast<uint32_t>(::GetSysColor(index)); }

namespace {

double Channel(uint32_t v) {
  const double c = static_cast<double>(v & 0xFF) / 255.0;
  return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(uint32_t bgr) {
  return 0.2126 * Channel(bgr) + 0.7152 * Channel(bgr >> 8) + 0.0722 * Channel(bgr >> 16);
}

}  // namespace

double ContrastRatio(uint32_t a, uint32_t b) {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

uint32_t LinkColorOn(uint32_t background, uint32_t hotLight) {
  if (ContrastRatio(background, hotLight) >= 3.0) return hotLight & 0xFFFFFFu;
  // RGB(0, 102, 204) on light backgrounds, a light blue on dark ones.
  return Luminance(background) > 0.4 ? 0xCC6600u : 0xFFB060u;
}

// ----- Control -----

Control::Control(Form* form, Kind kind, std::wstring name) : form_(form), kind_(kind), name_(std::move(name)) {
  font_ = form->Font();
}

Control::~Control() = default;

void Control::AttachWindow(WindowHandle h) {
  hwnd_ = h;
  ::SetWindowSubclass(H(h), ControlSubclass, 1, reinterpret_cast<DWORD_PTR>(this));
  Tag(H(h), name_, parent_ ? parent_->name() : std::wstring(), KindName(kind_));
}

void Control::RunGuarded(const std::function<void()>& f) const {
  if (f) Guard([&] { f(); });
}

void Control::SetText(const std::wstring& text) {
  if (!hwnd_) return;
  ::SetWindowTextW(H(hwnd_), text.c_str());
  FitToText();
}

std::wstring Control::Text() const {
  if (!hwnd_) return {};
  const int n = ::GetWindowTextLengthW(H(hwnd_));
  std::wstring s(static_cast<size_t>(n) + 1, L'\0');
  const int got = ::GetWindowTextW(H(hwnd_), s.data(), n + 1);
  s.resize(static_cast<size_t>(std::max(got, 0)));
  return s;
}

bool Control::IsShowing() const { return visible_ && (!parent_ || parent_->IsShowing()); }

void Control::UpdateVisibility() {
  if (hwnd_) {
    const bool show = IsShowing();
    if (!show && HasFocus()) {
      // Focus must not stay on a window that is gone from the screen.
      HWND next = ::GetNextDlgTabItem(H(form_->handle()), H(hwnd_), FALSE);
      ::SetFocus(next && next != H(hwnd_) ? next : H(form_->handle()));
    }
    ::ShowWindow(H(hwnd_), show ? SW_SHOWNA : SW_HIDE);
  }
  for (Control* c : children_) c->UpdateVisibility();
  AfterPlacement();
}

void Control::Show(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  UpdateVisibility();
}

void Control::Enable(bool enabled) {
  enabled_ = enabled;
  if (hwnd_) ::EnableWindow(H(hwnd_), enabled ? TRUE : FALSE);
  Repaint();
}

Rect Control::FormBounds() const {
  Rect r = bounds_;
  for (Control* p = parent_; p; p = p->parent_) {
    r.x += p->bounds_.x;
    r.y += p->bounds_.y;
  }
  return r;
}

void Control::Place() {
  if (!hwnd_) return;
  Rect px = form_->PixelRect(FormBounds());
  int h = px.h;
  if (kind_ == Kind::ComboBox) h += form_->Scale(kComboDropHeight);
  ::SetWindowPos(H(hwnd_), nullptr, px.x, px.y, px.w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  AfterPlacement();
  for (Control* c : children_) c->Place();
}

void Control::SetBounds(const Rect& r) {
  bounds_ = r;
  Place();
}
void Control::SetLeft(int x) { SetBounds({x, bounds_.y, bounds_.w, bounds_.h}); }
void Control::SetTop(int y) { SetBounds({bounds_.x, y, bounds_.w, bounds_.h}); }
void Control::SetWidth(int w) { SetBounds({bounds_.x, bounds_.y, w, bounds_.h}); }
void Control::SetHeight(int h) { SetBounds({bounds_.x, bounds_.y, bounds_.w, h}); }

void Control::SetFont(const FontStyle& font) {
  font_ = font;
  ApplyFont();
}

void Control::ApplyFont() {
  fontHandle_ = form_->FontHandle(font_);
  if (hwnd_) {
    ::SendMessageW(H(hwnd_), WM_SETFONT, reinterpret_cast<WPARAM>(fontHandle_), TRUE);
    TagFont(H(hwnd_), font_);
  }
  FitToText();
}

void Control::SetColor(uint32_t color) {
  color_ = color;
  if (hwnd_) {
    wchar_t hex[16];
    std::swprintf(hex, 16, L"%06X", static_cast<unsigned>(color & 0xFFFFFFu));
    SetAtomProp(H(hwnd_), kColorProp, color == kNoColor ? std::wstring() : std::wstring(hex));
  }
  Repaint();
}

void Control::Focus() {
  if (hwnd_ && IsShowing() && enabled_) ::SetFocus(H(hwnd_));
}

bool Control::HasFocus() const { return hwnd_ && ::GetFocus() == H(hwnd_); }

void Control::SetAccessibleName(const std::wstring& name) { accessibleName_ = name; }

std::wstring Control::AccessibleName() const {
  if (!accessibleName_.empty()) return accessibleName_;
  return ReplaceAll(Text(), L"&", L"");
}

void Control::Repaint() {
  if (hwnd_) ::InvalidateRect(H(hwnd_), nullptr, TRUE);
}

bool Control::Command(int) { return false; }
bool Control::Notify(void*, intptr_t*) { return false; }

// ----- Label and Link -----

Label::Label(Form* form, std::wstring name, LabelOptions options)
    : Control(form, Kind::Label, std::move(name)), options_(options) {}

void Label::SetText(const std::wstring& text) {
  if (!hwnd_) return;
  ::SetWindowTextW(H(hwnd_), text.c_str());
  FitToText();
  Repaint();
}

void Label::SetShowAccelChar(bool on) {
  options_.showAccelChar = on;
  if (hwnd_ && kind_ == Kind::Label) {
    LONG style = ::GetWindowLongW(H(hwnd_), GWL_STYLE);
    style = on ? (style & ~SS_NOPREFIX) : (style | SS_NOPREFIX);
    ::SetWindowLongW(H(hwnd_), GWL_STYLE, style);
  }
  FitToText();
  Repaint();
}

Rect Label::TextExtent() const {
  const std::wstring t = Text();
  HDC dc = ::GetDC(nullptr);
  HGDIOBJ old = ::SelectObject(dc, static_cast<HFONT>(form_->FontHandle(font_)));
  const int dpi = form_->Dpi();
  RECT r{0, 0, options_.wordWrap ? form_->Scale(bounds_.w) : 100000, 0};
  UINT flags = DrawFlags(options_) | DT_CALCRECT;
  ::DrawTextW(dc, t.empty() ? L" " : t.c_str(), -1, &r, flags);
  ::SelectObject(dc, old);
  ::ReleaseDC(nullptr, dc);
  return Rect{0, 0, t.empty() ? 0 : ToLogicalCeil(r.right - r.left, dpi), ToLogicalCeil(r.bottom - r.top, dpi)};
}

void Label::ApplyFont() {
  fontHandle_ = form_->FontHandle(font_);
  if (hwnd_) {
    ::SendMessageW(H(hwnd_), WM_SETFONT, reinterpret_cast<WPARAM>(fontHandle_), FALSE);
    TagFont(H(hwnd_), font_);
  }
  FitToText();
  Repaint();
}

void Label::FitToText() {
  if (!options_.autoSize || !hwnd_) return;
  const Rect e = TextExtent();
  bounds_.w = e.w;
  bounds_.h = e.h;
  Place();
}

void Label::Paint(void* dcHandle) {
  HDC dc = static_cast<HDC>(dcHandle);
  RECT rc;
  ::GetClientRect(H(hwnd_), &rc);
  const int w = rc.right, h = rc.bottom;
  if (w <= 0 || h <= 0) return;
  HDC mem = ::CreateCompatibleDC(dc);
  HBITMAP bmp = ::CreateCompatibleBitmap(dc, w, h);
  HGDIOBJ oldBmp = ::SelectObject(mem, bmp);
  const Rect px = form_->PixelRect(FormBounds());
  form_->PaintBackground(mem, Rect{px.x, px.y, w, h}, -px.x, -px.y);
  HGDIOBJ oldFont = ::SelectObject(mem, static_cast<HFONT>(form_->FontHandle(font_)));
  ::SetBkMode(mem, TRANSPARENT);
  const bool linkLook = kind_ == Kind::Link && static_cast<Link*>(this)->IsActive();
  uint32_t c = color_;
  if (c == kNoColor)
    c = linkLook ? LinkColorOn(form_->Background(), SystemColor(kColorHotLight)) : SystemColor(kColorWindowText);
  if (!enabled_) c = SystemColor(COLOR_GRAYTEXT);
  ::SetTextColor(mem, Ref(c));
  const std::wstring t = Text();
  RECT tr{0, 0, w, h};
  UINT flags = DrawFlags(options_);
  if (options_.alignBottom) {
    RECT calc{0, 0, w, 0};
    ::DrawTextW(mem, t.c_str(), -1, &calc, flags | DT_CALCRECT);
    tr.top = std::max<LONG>(0, h - (calc.bottom - calc.top));
  }
  ::DrawTextW(mem, t.c_str(), -1, &tr, flags);
  if (kind_ == Kind::Link && HasFocus()) {
    RECT fr{0, 0, w, h};
    ::DrawFocusRect(mem, &fr);
  }
  ::BitBlt(dc, 0, 0, w, h, mem, 0, 0, SRCCOPY);
  ::SelectObject(mem, oldFont);
  ::SelectObject(mem, oldBmp);
  ::DeleteObject(bmp);
  ::DeleteDC(mem);
}

Link::Link(Form* form, std::wstring name, std::function<void()> onClick)
    : Label(form, std::move(name), LabelOptions{}), onClick_(std::move(onClick)) {
  kind_ = Kind::Link;
}

void Link::Click() {
  if (enabled_ && IsShowing()) RunGuarded(onClick_);
}

void Link::SetActive(bool active) {
  active_ = active;
  if (hwnd_) {
    LONG style = ::GetWindowLongW(H(hwnd_), GWL_STYLE);
    style = active ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP);
    ::SetWindowLongW(H(hwnd_), GWL_STYLE, style);
  }
  Repaint();
}

bool Link::Command(int code) {
  if (code != BN_CLICKED) return false;
  Click();
  return true;
}

// ----- Button -----

Button::Button(Form* form, std::wstring name, std::function<void()> onClick)
    : Control(form, Kind::Button, std::move(name)), onClick_(std::move(onClick)) {}

void Button::Click() {
  if (enabled_ && IsShowing()) RunGuarded(onClick_);
}

bool Button::Command(int code) {
  if (code != BN_CLICKED) return false;
  Click();
  return true;
}

void Button::SetShield(bool on) {
  shield_ = on;
  if (!hwnd_) return;
  ::SendMessageW(H(hwnd_), BCM_SETSHIELD, 0, on ? TRUE : FALSE);
  if (on) ::SetPropW(H(hwnd_), kShieldProp, reinterpret_cast<HANDLE>(1));
  else ::RemovePropW(H(hwnd_), kShieldProp);
}

void Button::SetWordWrap(bool on) {
  if (!hwnd_) return;
  LONG style = ::GetWindowLongW(H(hwnd_), GWL_STYLE);
  style = on ? (style | BS_MULTILINE) : (style & ~BS_MULTILINE);
  ::SetWindowLongW(H(hwnd_), GWL_STYLE, style);
  Repaint();
}

void Button::SetPicture(const Image& image) {
  picture_ = image;
  if (!hwnd_) return;
  LONG style = ::GetWindowLongW(H(hwnd_), GWL_STYLE);
  style = (style & ~0x0F) | BS_OWNERDRAW;
  ::SetWindowLongW(H(hwnd_), GWL_STYLE, style);
  Repaint();
}

void Button::PaintPicture(void* item) {
  auto* di = static_cast<DRAWITEMSTRUCT*>(item);
  HDC dc = di->hDC;
  RECT r = di->rcItem;
  const Rect px = form_->PixelRect(FormBounds());
  if (flat_) {
    form_->PaintBackground(dc, Rect{px.x, px.y, r.right - r.left, r.bottom - r.top}, -px.x, -px.y);
    if (di->itemState & ODS_SELECTED) ::DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
  } else {
    ::DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | ((di->itemState & ODS_SELECTED) ? DFCS_PUSHED : 0));
  }
  if (picture_.valid()) {
    // Pictures of buttons are made at the screen's scale already.
    const int w = picture_.width(), h = picture_.height();
    const int x = (r.right - r.left - w) / 2 + ((di->itemState & ODS_SELECTED) ? 1 : 0);
    const int y = (r.bottom - r.top - h) / 2 + ((di->itemState & ODS_SELECTED) ? 1 : 0);
    picture_.Draw(dc, x, y, w, h, false);
  }
  if (di->itemState & ODS_FOCUS) {
    RECT f = r;
    ::InflateRect(&f, -2, -2);
    ::DrawFocusRect(dc, &f);
  }
}

// ----- Edit, CheckBox -----

Edit::Edit(Form* form, std::wstring name) : Control(form, Kind::Edit, std::move(name)) {}

bool Edit::HandleEnter() {
  if (!onEnter_) return false;
  RunGuarded(onEnter_);
  return true;
}

void Edit::SelectAll() {
  if (hwnd_) ::SendMessageW(H(hwnd_), EM_SETSEL, 0, -1);
}

bool Edit::Command(int code) {
  if (code != EN_CHANGE) return false;
  RunGuarded(onChange_);
  return true;
}

CheckBox::CheckBox(Form* form, std::wstring name, bool) : Control(form, Kind::CheckBox, std::move(name)) {}

void CheckBox::SetChecked(bool checked) {
  if (hwnd_) ::SendMessageW(H(hwnd_), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool CheckBox::IsChecked() const {
  return hwnd_ && ::SendMessageW(H(hwnd_), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool CheckBox::Command(int code) {
  if (code != BN_CLICKED) return false;
  RunGuarded(onClick_);
  return true;
}

// ----- GroupBox, RadioGroup -----

GroupBox::GroupBox(Form* form, std::wstring name, Kind kind) : Control(form, kind, std::move(name)) {}

RadioGroup::RadioGroup(Form* form, std::wstring name) : GroupBox(form, std::move(name), Kind::RadioGroup) {}

RadioGroup::~RadioGroup() {
  for (WindowHandle b : buttons_)
    if (::IsWindow(H(b))) {
      Untag(H(b));
      ::DestroyWindow(H(b));
    }
}

void RadioGroup::SetItems(const std::vector<std::wstring>& items) {
  items_ = items;
  while (buttons_.size() > items.size()) {
    Untag(H(buttons_.back()));
    ::DestroyWindow(H(buttons_.back()));
    buttons_.pop_back();
  }
  for (size_t i = 0; i < items.size(); ++i) {
    if (i >= buttons_.size()) {
      DWORD style = BS_AUTORADIOBUTTON | (i == 0 ? (WS_GROUP | WS_TABSTOP) : 0);
      HWND b = CreateChild(*form_, L"BUTTON", style, 0, items[i]);
      if (!b) continue;
      // In the order of Tab where the group was made: new windows come last,
      // so the items only need to keep their own order.
      if (!buttons_.empty())
        ::SetWindowPos(b, H(buttons_.back()), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      ::SetWindowSubclass(b, ControlSubclass, 2, reinterpret_cast<DWORD_PTR>(this));
      Tag(b, name_ + L"." + ToText(static_cast<int64_t>(i)), name_, L"Radio");
      buttons_.push_back(b);
    } else {
      ::SetWindowTextW(H(buttons_[i]), items[i].c_str());
    }
    ::SendMessageW(H(buttons_[i]), WM_SETFONT, reinterpret_cast<WPARAM>(fontHandle_), TRUE);
    TagFont(H(buttons_[i]), font_);
  }
  SetItemIndex(index_);
  AfterPlacement();
}

std::vector<std::wstring> RadioGroup::Items() const { return items_; }

void RadioGroup::SetItemIndex(int index) {
  index_ = index;
  for (size_t i = 0; i < buttons_.size(); ++i)
    ::SendMessageW(H(buttons_[i]), BM_SETCHECK, static_cast<int>(i) == index ? BST_CHECKED : BST_UNCHECKED, 0);
}

void RadioGroup::Enable(bool enabled) {
  Control::Enable(enabled);
  for (WindowHandle b : buttons_) ::EnableWindow(H(b), enabled ? TRUE : FALSE);
}

void RadioGroup::ApplyFont() {
  Control::ApplyFont();
  for (WindowHandle b : buttons_) {
    ::SendMessageW(H(b), WM_SETFONT, reinterpret_cast<WPARAM>(fontHandle_), TRUE);
    TagFont(H(b), font_);
  }
}

void RadioGroup::AfterPlacement() {
  if (!hwnd_) return;
  const Rect g = FormBounds();
  const int n = static_cast<int>(buttons_.size());
  if (n == 0) return;
  // Evenly spaced below the caption, as a radio group lays out its items.
  const int top = 16, bottom = 4;
  const int step = std::max(1, (g.h - top - bottom) / n);
  for (int i = 0; i < n; ++i) {
    const Rect item{g.x + 8, g.y + top + i * step + (step - 17) / 2, g.w - 16, 17};
    const Rect px = form_->PixelRect(item);
    ::SetWindowPos(H(buttons_[static_cast<size_t>(i)]), nullptr, px.x, px.y, px.w, px.h, SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(H(buttons_[static_cast<size_t>(i)]), IsShowing() ? SW_SHOWNA : SW_HIDE);
  }
}

void RadioGroup::ItemClicked(int index) {
  index_ = index;
  RunGuarded(onClick_);
}

WindowHandle RadioGroup::ItemHandle(size_t i) const { return i < buttons_.size() ? buttons_[i] : nullptr; }

// ----- ComboBox -----

ComboBox::ComboBox(Form* form, std::wstring name) : Control(form, Kind::ComboBox, std::move(name)) {}

void ComboBox::SetItems(const std::vector<std::wstring>& items) {
  items_ = items;
  if (!hwnd_) return;
  const int keep = ItemIndex();
  ::SendMessageW(H(hwnd_), CB_RESETCONTENT, 0, 0);
  for (const auto& i : items) ::SendMessageW(H(hwnd_), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(i.c_str()));
  SetItemIndex(keep);
}

void ComboBox::SetItemIndex(int index) {
  if (!hwnd_) return;
  if (index < 0 || index >= static_cast<int>(items_.size())) index = -1;
  ::SendMessageW(H(hwnd_), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int ComboBox::ItemIndex() const {
  if (!hwnd_) return -1;
  return static_cast<int>(::SendMessageW(H(hwnd_), CB_GETCURSEL, 0, 0));
}

bool ComboBox::Command(int code) {
  if (code != CBN_SELCHANGE) return false;
  RunGuarded(onChange_);
  return true;
}

void ComboBox::AfterPlacement() {
  if (!hwnd_) return;
  // The closed box takes the height it was given.
  const int px = form_->Scale(bounds_.h);
  const int edge = static_cast<int>(::SendMessageW(H(hwnd_), CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
  RECT wr;
  ::GetWindowRect(H(hwnd_), &wr);
  const int delta = px - (wr.bottom - wr.top);
  if (delta != 0 && edge + delta > 4)
    ::SendMessageW(H(hwnd_), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), edge + delta);
}

// ----- CheckList -----

CheckList::CheckList(Form* form, std::wstring name, int itemHeight)
    : Control(form, Kind::CheckList, std::move(name)), itemHeight_(itemHeight) {}

int CheckList::ItemHeightPixels() const { return form_->Scale(itemHeight_); }

void CheckList::SetItems(const std::vector<Item>& items) {
  items_ = items;
  if (!hwnd_) return;
  const int sel = SelectedIndex();
  ::SendMessageW(H(hwnd_), LB_RESETCONTENT, 0, 0);
  for (const auto& i : items) ::SendMessageW(H(hwnd_), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(i.text.c_str()));
  if (sel >= 0 && sel < static_cast<int>(items.size())) ::SendMessageW(H(hwnd_), LB_SETCURSEL, static_cast<WPARAM>(sel), 0);
}

void CheckList::SetItemText(size_t i, const std::wstring& text) {
  if (i >= items_.size()) return;
  items_[i].text = text;
  if (!hwnd_) return;
  const int sel = SelectedIndex();
  ::SendMessageW(H(hwnd_), LB_DELETESTRING, i, 0);
  ::SendMessageW(H(hwnd_), LB_INSERTSTRING, i, reinterpret_cast<LPARAM>(text.c_str()));
  if (sel >= 0) ::SendMessageW(H(hwnd_), LB_SETCURSEL, static_cast<WPARAM>(sel), 0);
}

void CheckList::SetChecked(size_t i, bool checked) {
  if (i >= items_.size()) return;
  items_[i].checked = checked;
  Repaint();
}

int CheckList::SelectedIndex() const {
  if (!hwnd_) return -1;
  return static_cast<int>(::SendMessageW(H(hwnd_), LB_GETCURSEL, 0, 0));
}

void CheckList::Toggle(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size()) || !items_[static_cast<size_t>(index)].enabled || !enabled_)
    return;
  items_[static_cast<size_t>(index)].checked = !items_[static_cast<size_t>(index)].checked;
  Repaint();
  if (onCheck_) {
    auto f = onCheck_;
    Guard([&] { f(index); });
  }
}

bool CheckList::Command(int code) {
  if (code != LBN_SELCHANGE) return false;
  if (onSelect_) {
    auto f = onSelect_;
    const int i = SelectedIndex();
    Guard([&] { f(i); });
  }
  return true;
}

void CheckList::ApplyFont() {
  Control::ApplyFont();
  if (hwnd_) ::SendMessageW(H(hwnd_), LB_SETITEMHEIGHT, 0, ItemHeightPixels());
}

void CheckList::DrawItem(void* item) {
  auto* di = static_cast<DRAWITEMSTRUCT*>(item);
  if (di->itemID == static_cast<UINT>(-1)) return;
  const size_t i = di->itemID;
  if (i >= items_.size()) return;
  HDC dc = di->hDC;
  RECT r = di->rcItem;
  const bool selected = (di->itemState & ODS_SELECTED) != 0;
  ::FillRect(dc, &r, ::GetSysColorBrush(COLOR_WINDOW));
  const int box = std::max<int>(8, static_cast<int>(r.bottom - r.top) - form_->Scale(4));
  RECT b{r.left + form_->Scale(2), r.top + ((r.bottom - r.top) - box) / 2, 0, 0};
  b.right = b.left + box;
  b.bottom = b.top + box;
  UINT state = DFCS_BUTTONCHECK | DFCS_FLAT;
  if (items_[i].checked) state |= DFCS_CHECKED;
  if (!items_[i].enabled || !enabled_) state |= DFCS_INACTIVE;
  ::DrawFrameControl(dc, &b, DFC_BUTTON, state);
  RECT t{b.right + form_->Scale(4), r.top, r.right, r.bottom};
  RECT hl = t;
  if (selected) ::FillRect(dc, &hl, ::GetSysColorBrush(COLOR_HIGHLIGHT));
  ::SetBkMode(dc, TRANSPARENT);
  COLORREF c = ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
  if (!items_[i].enabled || !enabled_) c = ::GetSysColor(COLOR_GRAYTEXT);
  ::SetTextColor(dc, c);
  HGDIOBJ old = ::SelectObject(dc, static_cast<HFONT>(fontHandle_));
  t.left += form_->Scale(2);
  ::DrawTextW(dc, items_[i].text.c_str(), -1, &t, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  ::SelectObject(dc, old);
  if (di->itemState & ODS_FOCUS) ::DrawFocusRect(dc, &hl);
}

// ----- ProgressBar, Picture, RichText -----

ProgressBar::ProgressBar(Form* form, std::wstring name) : Control(form, Kind::Progress, std::move(name)) {}

void ProgressBar::SetPosition(int percent) {
  if (percent == position_) return;
  position_ = percent;
  if (hwnd_) ::SendMessageW(H(hwnd_), PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

Picture::Picture(Form* form, std::wstring name) : Control(form, Kind::Picture, std::move(name)) {}

void Picture::SetImage(Image image) {
  image_ = std::move(image);
  if (form_->handle()) ::InvalidateRect(H(form_->handle()), nullptr, TRUE);
}

void Picture::SetOptions(const PictureOptions& o) {
  options_ = o;
  if (form_->handle()) ::InvalidateRect(H(form_->handle()), nullptr, TRUE);
}

void Picture::DrawInto(void* dc, int originX, int originY) const {
  if (!image_.valid() || !IsShowing()) return;
  const Rect px = form_->PixelRect(FormBounds());
  // The picture's own pixels are device pixels: scaled with the form only when stretched.
  const PictureFit f = FitPicture(image_.width(), image_.height(), px.w, px.h, options_.stretch,
                                  options_.proportional, options_.center);
  HDC h = static_cast<HDC>(dc);
  const int saved = ::SaveDC(h);
  ::IntersectClipRect(h, px.x + originX, px.y + originY, px.x + originX + px.w, px.y + originY + px.h);
  image_.Draw(dc, px.x + originX + f.x, px.y + originY + f.y, f.w, f.h, options_.transparent);
  ::RestoreDC(h, saved);
}

void Picture::MouseDown(bool left) {
  if (onMouseDown_) {
    auto f = onMouseDown_;
    Guard([&] { f(left); });
  }
}

namespace {

HMODULE RichEditModule() {
  static HMODULE m = [] {
    HMODULE h = ::LoadLibraryW(L"msftedit.dll");
    return h ? h : ::LoadLibraryW(L"riched20.dll");
  }();
  return m;
}

const wchar_t* RichEditClass() {
  RichEditModule();
  WNDCLASSEXW wc{sizeof wc};
  return ::GetClassInfoExW(nullptr, MSFTEDIT_CLASS, &wc) ? MSFTEDIT_CLASS : RICHEDIT_CLASSW;
}

struct StreamSource {
  const std::string* bytes;
  size_t pos = 0;
};

DWORD CALLBACK ReadStream(DWORD_PTR cookie, LPBYTE buf, LONG want, LONG* got) {
  auto* s = reinterpret_cast<StreamSource*>(cookie);
  const size_t n = std::min(static_cast<size_t>(want), s->bytes->size() - s->pos);
  std::memcpy(buf, s->bytes->data() + s->pos, n);
  s->pos += n;
  *got = static_cast<LONG>(n);
  return 0;
}

}  // namespace

RichText::RichText(Form* form, std::wstring name) : Control(form, Kind::RichText, std::move(name)) {}

bool RichText::LoadFile(const std::wstring& path) {
  if (!hwnd_) return false;
  auto bytes = ReadWholeFile(path);
  if (!bytes) return false;
  std::string data(bytes->begin(), bytes->end());
  if (data.rfind("{\\rtf", 0) == 0) {
    StreamSource src{&data};
    EDITSTREAM es{reinterpret_cast<DWORD_PTR>(&src), 0, ReadStream};
    ::SendMessageW(H(hwnd_), EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&es));
    return es.dwError == 0;
  }
  SetPlainText(DecodeText(data, TextEncoding::Ansi, &platform::AnsiToWide).text);
  return true;
}

void RichText::SetPlainText(const std::wstring& text) {
  if (!hwnd_) return;
  SETTEXTEX st{ST_DEFAULT, 1200};
  ::SendMessageW(H(hwnd_), EM_SETTEXTEX, reinterpret_cast<WPARAM>(&st), reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring RichText::PlainText() const { return Text(); }

bool RichText::Notify(void* nm, intptr_t* result) {
  auto* hdr = static_cast<NMHDR*>(nm);
  if (hdr->code != EN_LINK) return false;
  auto* link = reinterpret_cast<ENLINK*>(nm);
  if (link->msg != WM_LBUTTONUP) return false;
  std::wstring url(static_cast<size_t>(std::max<LONG>(0, link->chrg.cpMax - link->chrg.cpMin)) + 1, L'\0');
  TEXTRANGEW tr{link->chrg, url.data()};
  const LRESULT n = ::SendMessageW(H(hwnd_), EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&tr));
  url.resize(static_cast<size_t>(std::max<LRESULT>(0, n)));
  if (onLink_) {
    auto f = onLink_;
    Guard([&] { f(url); });
  }
  *result = 1;
  return true;
}

// ----- Form -----

struct Form::Impl {
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    try {
      return Handle(hwnd, msg, wp, lp);
    } catch (...) {
      HandleEscapedException();
    }
  }

  static LRESULT Handle(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<Form*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_NCCREATE) {
      auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
      self = static_cast<Form*>(cs->lpCreateParams);
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
      self->hwnd_ = hwnd;
    }
    if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);
    switch (msg) {
      case WM_CLOSE:
        self->ClosedByUser();
        return 0;
      case WM_ACTIVATE:
        if (LOWORD(wp) == WA_INACTIVE) {
          HWND f = ::GetFocus();
          if (f && ::IsChild(hwnd, f)) self->lastFocus_ = f;
        } else {
          self->RestoreFocus();
          // Runs after the activation has finished, as a form's OnActivate does.
          ::PostMessageW(hwnd, kActivatedMessage, 0, 0);
          return 0;
        }
        break;
      case WM_SETFOCUS:
        self->RestoreFocus();
        return 0;
      case kActivatedMessage:
        self->Activated();
        return 0;
      case WM_COMMAND: {
        HWND child = reinterpret_cast<HWND>(lp);
        const int code = HIWORD(wp);
        if (Control* c = self->FindByHandle(child)) {
          if (c->kind() == Control::Kind::RadioGroup) {
            auto* g = static_cast<RadioGroup*>(c);
            for (size_t i = 0; g->ItemHandle(i); ++i)
              if (g->ItemHandle(i) == child && code == BN_CLICKED) g->ItemClicked(static_cast<int>(i));
            return 0;
          }
          c->Command(code);
          return 0;
        }
        return 0;
      }
      case WM_NOTIFY: {
        auto* hdr = reinterpret_cast<NMHDR*>(lp);
        intptr_t result = 0;
        if (Control* c = self->FindByHandle(hdr->hwndFrom))
          if (c->Notify(hdr, &result)) return result;
        break;
      }
      case WM_DRAWITEM: {
        auto* di = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
        Control* c = self->FindByHandle(di->hwndItem);
        if (!c) break;
        if (c->kind() == Control::Kind::Link) {
          // Owner-drawn: the label's own painting into the item's DC.
          static_cast<Link*>(c)->Paint(di->hDC);
          return TRUE;
        }
        if (c->kind() == Control::Kind::Button) {
          static_cast<Button*>(c)->PaintPicture(di);
          return TRUE;
        }
        if (c->kind() == Control::Kind::CheckList) {
          static_cast<CheckList*>(c)->DrawItem(di);
          return TRUE;
        }
        break;
      }
      case WM_MEASUREITEM: {
        auto* mi = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
        if (mi->CtlType == ODT_LISTBOX) {
          mi->itemHeight = static_cast<UINT>(self->Scale(17));
          return TRUE;
        }
        break;
      }
      case WM_CTLCOLORSTATIC:
      case WM_CTLCOLORBTN: {
        HDC dc = reinterpret_cast<HDC>(wp);
        Control* c = self->FindByHandle(reinterpret_cast<HWND>(lp));
        if (c && (c->kind() == Control::Kind::Edit || c->kind() == Control::Kind::RichText)) break;
        ::SetBkMode(dc, TRANSPARENT);
        ::SetBkColor(dc, Ref(self->color_));
        if (c && c->Color() != kNoColor) ::SetTextColor(dc, Ref(c->Color()));
        return reinterpret_cast<LRESULT>(self->brush_);
      }
      case WM_ERASEBKGND: {
        RECT r;
        ::GetClientRect(hwnd, &r);
        self->PaintBackground(reinterpret_cast<HDC>(wp), Rect{0, 0, r.right, r.bottom}, 0, 0);
        return 1;
      }
      case WM_SETCURSOR:
        if (self->waitCursor_) {
          ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
          return TRUE;
        }
        if (Control* c = self->FindByHandle(reinterpret_cast<HWND>(wp))) {
          if (c->kind() == Control::Kind::Link && static_cast<Link*>(c)->IsActive()) {
            ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
          }
        }
        break;
      case WM_SIZE:
        if (wp != SIZE_MINIMIZED && !self->inSizeChange_) self->ClientResized(LOWORD(lp), HIWORD(lp));
        break;
      case WM_VSCROLL: {
        const int line = 16, page = std::max(line, self->viewH_ - line);
        int y = self->scrollY_;
        switch (LOWORD(wp)) {
          case SB_LINEUP: y -= line; break;
          case SB_LINEDOWN: y += line; break;
          case SB_PAGEUP: y -= page; break;
          case SB_PAGEDOWN: y += page; break;
          case SB_TOP: y = 0; break;
          case SB_BOTTOM: y = self->clientH_; break;
          case SB_THUMBTRACK:
          case SB_THUMBPOSITION: {
            SCROLLINFO si{sizeof si};
            si.fMask = SIF_TRACKPOS;
            ::GetScrollInfo(hwnd, SB_VERT, &si);
            y = self->Unscale(si.nTrackPos);
            break;
          }
          default: break;
        }
        self->ScrollTo(y);
        return 0;
      }
      case WM_MOUSEWHEEL:
        if (self->scrolling_) {
          self->ScrollTo(self->scrollY_ - GET_WHEEL_DELTA_WPARAM(wp) * 48 / WHEEL_DELTA);
          return 0;
        }
        break;
      case WM_GETMINMAXINFO: {
        if (!self->hwnd_ || (self->minW_ == 0 && self->minH_ == 0)) break;
        auto* mmi = reinterpret_cast<MINMAXINFO*>(lp);
        RECT r{0, 0, self->Scale(self->minW_), self->Scale(self->minH_)};
        ::AdjustWindowRectExForDpi(&r, static_cast<DWORD>(::GetWindowLongW(hwnd, GWL_STYLE)), FALSE,
                                   static_cast<DWORD>(::GetWindowLongW(hwnd, GWL_EXSTYLE)), static_cast<UINT>(self->dpi_));
        mmi->ptMinTrackSize.x = r.right - r.left;
        mmi->ptMinTrackSize.y = r.bottom - r.top;
        return 0;
      }
      case WM_DPICHANGED: {
        auto* suggested = reinterpret_cast<RECT*>(lp);
        Rect s{suggested->left, suggested->top, suggested->right - suggested->left, suggested->bottom - suggested->top};
        self->RelayoutForDpi(HIWORD(wp), &s);
        return 0;
      }
      case WM_DESTROY:
        self->hwnd_ = nullptr;
        break;
      default:
        break;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
  }
};

namespace {

// What a screen reader is told about a control: its name, its role (the
// system's own objects call most of ours a plain client area) and, for check
// boxes and check lists, what is ticked.
AccessibleOverride AccessibleFacts(Control* c, HWND hwnd, UINT_PTR id) {
  AccessibleOverride o;
  if (id == 2) {  // an item of a radio group
    o.role = ROLE_SYSTEM_RADIOBUTTON;
    if (::SendMessageW(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED) o.state = STATE_SYSTEM_CHECKED;
    return o;
  }
  o.name = c->AccessibleName();
  switch (c->kind()) {
    case Control::Kind::Label: o.role = ROLE_SYSTEM_STATICTEXT; break;
    case Control::Kind::Link:
      o.role = static_cast<Link*>(c)->IsActive() ? ROLE_SYSTEM_LINK : ROLE_SYSTEM_STATICTEXT;
      break;
    case Control::Kind::Button: o.role = ROLE_SYSTEM_PUSHBUTTON; break;
    case Control::Kind::Edit:
    case Control::Kind::RichText: o.role = ROLE_SYSTEM_TEXT; break;
    case Control::Kind::CheckBox:
      o.role = ROLE_SYSTEM_CHECKBUTTON;
      if (static_cast<CheckBox*>(c)->IsChecked()) o.state = STATE_SYSTEM_CHECKED;
      break;
    case Control::Kind::GroupBox:
    case Control::Kind::RadioGroup: o.role = ROLE_SYSTEM_GROUPING; break;
    case Control::Kind::ComboBox: o.role = ROLE_SYSTEM_COMBOBOX; break;
    case Control::Kind::Progress: o.role = ROLE_SYSTEM_PROGRESSBAR; break;
    case Control::Kind::Picture: o.role = ROLE_SYSTEM_GRAPHIC; break;
    case Control::Kind::CheckList: {
      o.role = ROLE_SYSTEM_LIST;
      auto* list = static_cast<CheckList*>(c);
      o.itemCount = static_cast<long>(list->Items().size());
      o.itemName = [list](long child) { return list->Items()[static_cast<size_t>(child - 1)].text; };
      o.itemState = [list](long child) -> long {
        const auto& items = list->Items();
        if (child < 1 || static_cast<size_t>(child) > items.size()) return 0;
        const auto& it = items[static_cast<size_t>(child - 1)];
        return (it.checked ? STATE_SYSTEM_CHECKED : 0) | (it.enabled ? 0 : STATE_SYSTEM_UNAVAILABLE);
      };
      break;
    }
  }
  return o;
}

LRESULT CALLBACK ControlSubclassImpl(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref) {
  auto* c = reinterpret_cast<Control*>(ref);
  switch (msg) {
    case WM_GETOBJECT: {
      if (static_cast<LONG>(lp) != OBJID_CLIENT) break;
      if (LRESULT r = AnswerGetObject(hwnd, wp, lp, AccessibleFacts(c, hwnd, id))) return r;
      break;
    }
    case WM_PAINT:
      if (id == 1 && c->kind() == Control::Kind::Label) {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd, &ps);
        static_cast<Label*>(c)->Paint(dc);
        ::EndPaint(hwnd, &ps);
        return 0;
      }
      if (id == 1 && c->kind() == Control::Kind::Picture) {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd, &ps);
        const Rect px = c->form().PixelRect(c->FormBounds());
        c->form().PaintBackground(dc, Rect{px.x, px.y, px.w, px.h}, -px.x, -px.y);
        ::EndPaint(hwnd, &ps);
        return 0;
      }
      break;
    case WM_NCHITTEST:
      // A text lets the mouse through to what lies below (the logo drags).
      if (id == 1 && c->kind() == Control::Kind::Label) return HTTRANSPARENT;
      break;
    case WM_ERASEBKGND:
      if (id == 1 && (c->kind() == Control::Kind::Label || c->kind() == Control::Kind::Picture)) return 1;
      if (id == 1 && (c->kind() == Control::Kind::GroupBox || c->kind() == Control::Kind::RadioGroup)) {
        RECT rc;
        ::GetClientRect(hwnd, &rc);
        const Rect px = c->form().PixelRect(c->FormBounds());
        c->form().PaintBackground(reinterpret_cast<HDC>(wp), Rect{px.x, px.y, rc.right, rc.bottom}, -px.x, -px.y);
        return 1;
      }
      break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      if (id == 1 && c->kind() == Control::Kind::Picture) {
        static_cast<Picture*>(c)->MouseDown(msg == WM_LBUTTONDOWN);
        return 0;
      }
      if (id == 1 && c->kind() == Control::Kind::CheckList && msg == WM_LBUTTONDOWN) {
        auto* list = static_cast<CheckList*>(c);
        const LRESULT hit = ::SendMessageW(hwnd, LB_ITEMFROMPOINT, 0, lp);
        const LRESULT r = ::DefSubclassProc(hwnd, msg, wp, lp);
        const int x = static_cast<short>(LOWORD(lp));
        if (HIWORD(hit) == 0 && x < list->ItemHeightPixels() + c->form().Scale(2)) list->Toggle(LOWORD(hit));
        return r;
      }
      break;
    case WM_LBUTTONDBLCLK:
      if (id == 1 && c->kind() == Control::Kind::CheckList) {
        const LRESULT hit = ::SendMessageW(hwnd, LB_ITEMFROMPOINT, 0, lp);
        if (HIWORD(hit) == 0) static_cast<CheckList*>(c)->Toggle(LOWORD(hit));
        return 0;
      }
      break;
    case WM_KEYDOWN:
      if (id == 1 && c->kind() == Control::Kind::CheckList && wp == VK_SPACE) {
        auto* list = static_cast<CheckList*>(c);
        list->Toggle(list->SelectedIndex());
        return 0;
      }
      break;
    case WM_CHAR:
      if (id == 1 && c->kind() == Control::Kind::CheckList && wp == L' ') return 0;
      break;
    case WM_GETDLGCODE:
      if (id == 1 && c->kind() == Control::Kind::RichText) {
        // A read-only document keeps its arrows but lets Tab, Enter and
        // Escape move on through the dialog.
        return DLGC_WANTARROWS | DLGC_HASSETSEL;
      }
      break;
    case WM_SETFOCUS:
      c->form().EnsureVisible(c);
      if (id == 1 && c->kind() == Control::Kind::Link) ::InvalidateRect(hwnd, nullptr, FALSE);
      break;
    case WM_KILLFOCUS:
      if (id == 1 && c->kind() == Control::Kind::Link) ::InvalidateRect(hwnd, nullptr, FALSE);
      break;
    case WM_NCDESTROY:
      Untag(hwnd);
      ::RemoveWindowSubclass(hwnd, ControlSubclass, id);
      break;
    default:
      break;
  }
  return ::DefSubclassProc(hwnd, msg, wp, lp);
}

LRESULT CALLBACK ControlSubclass(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref) {
  try {
    return ControlSubclassImpl(hwnd, msg, wp, lp, id, ref);
  } catch (...) {
    HandleEscapedException();
  }
}

}  // namespace

Form::Form() { g_forms.push_back(this); }

Form::~Form() {
  g_forms.erase(std::remove(g_forms.begin(), g_forms.end(), this), g_forms.end());
  Destroy();
  controls_.clear();
  for (auto& f : fonts_) ::DeleteObject(static_cast<HFONT>(f.font));
  if (brush_) ::DeleteObject(static_cast<HBRUSH>(brush_));
}

bool Form::Create(const std::wstring& name, const std::wstring& caption, int clientWidth, int clientHeight,
                  uint32_t color, const FormStyle& style) {
  static bool registered = false;
  HINSTANCE inst = ::GetModuleHandleW(nullptr);
  if (!registered) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &Impl::Proc;
    wc.hInstance = inst;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = ::LoadIconW(inst, MAKEINTRESOURCEW(1));
    wc.lpszClassName = kFormClass;
    if (!::RegisterClassExW(&wc)) return false;
    registered = true;
  }
  name_ = name;
  resizable_ = style.resizable;
  owner_ = style.owner;
  clientW_ = clientWidth;
  clientH_ = clientHeight;
  dpi_ = static_cast<int>(::GetDpiForSystem());
  if (dpi_ <= 0) dpi_ = 96;
  SetBackground(color);
  DWORD ws = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  if (style.minimizeBox) ws |= WS_MINIMIZEBOX;
  if (style.resizable) ws |= WS_THICKFRAME;
  DWORD ex = WS_EX_CONTROLPARENT | (style.appWindow ? WS_EX_APPWINDOW : 0);
  RECT r{0, 0, Scale(clientWidth), Scale(clientHeight)};
  ::AdjustWindowRectExForDpi(&r, ws, FALSE, ex, static_cast<UINT>(dpi_));
  const int w = r.right - r.left, h = r.bottom - r.top;
  const int x = (::GetSystemMetrics(SM_CXSCREEN) - w) / 2, y = (::GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  HWND owner = style.owner ? H(style.owner->handle()) : nullptr;
  HWND hwnd = ::CreateWindowExW(ex, kFormClass, caption.c_str(), ws, x, y, w, h, owner, nullptr, inst, this);
  if (!hwnd) return false;
  Tag(hwnd, name, L"", L"Form");
  SetBackground(color);
  const int real = static_cast<int>(::GetDpiForWindow(hwnd));
  if (real > 0 && real != dpi_) RelayoutForDpi(real, nullptr);
  else ResizeWindowForClient(nullptr);
  return true;
}

bool Form::Exists() const { return hwnd_ != nullptr; }
WindowHandle Form::handle() const { return hwnd_; }
void Form::SetHandlers(Handlers handlers) { handlers_ = std::move(handlers); }

void Form::SetCaption(const std::wstring& text) {
  if (hwnd_) ::SetWindowTextW(H(hwnd_), text.c_str());
}

std::wstring Form::Caption() const {
  if (!hwnd_) return {};
  wchar_t buf[1024];
  const int n = ::GetWindowTextW(H(hwnd_), buf, 1024);
  return std::wstring(buf, static_cast<size_t>(std::max(n, 0)));
}

void Form::Show(bool visible) {
  if (hwnd_) ::ShowWindow(H(hwnd_), visible ? SW_SHOW : SW_HIDE);
}

bool Form::IsVisible() const { return hwnd_ && ::IsWindowVisible(H(hwnd_)); }

void Form::Close() {
  if (hwnd_) ::SendMessageW(H(hwnd_), WM_CLOSE, 0, 0);
}

void Form::Destroy() {
  if (hwnd_) {
    Untag(H(hwnd_));
    ::DestroyWindow(H(hwnd_));
  }
  hwnd_ = nullptr;
}

void Form::ClosedByUser() {
  const bool allowed = !handlers_.closeQuery || Guard([&] { return handlers_.closeQuery(); });
  if (!allowed) return;
  if (handlers_.closed) Guard([&] { handlers_.closed(); });
  else if (modal_) EndModal(0);
}

void Form::Activated() {
  if (handlers_.activated) Guard([&] { handlers_.activated(); });
}

void Form::RestoreFocus() {
  if (!hwnd_) return;
  HWND f = H(lastFocus_);
  if (!f || !::IsWindow(f) || !::IsWindowVisible(f) || !::IsWindowEnabled(f) || !::IsChild(H(hwnd_), f))
    f = ::GetNextDlgTabItem(H(hwnd_), nullptr, FALSE);
  if (f) ::SetFocus(f);
}

void Form::ApplyAnchors(Control* c, int dw, int dh) {
  const Rect before = c->bounds_;
  c->bounds_ = AnchoredRect(before, c->anchors_, dw, dh);
  const int cdw = c->bounds_.w - before.w, cdh = c->bounds_.h - before.h;
  if (cdw != 0 || cdh != 0)
    for (Control* child : c->children_) ApplyAnchors(child, cdw, cdh);
}

void Form::PlaceAll() {
  for (auto& c : controls_)
    if (!c->parent_) c->Place();
}

void Form::ResizeWindowForClient(const Rect* position) {
  if (!hwnd_) return;
  HWND h = H(hwnd_);
  const int wantW = Scale(clientW_);
  int wantH = Scale(clientH_);
  LONG style = ::GetWindowLongW(h, GWL_STYLE) & ~WS_VSCROLL;
  const DWORD ex = static_cast<DWORD>(::GetWindowLongW(h, GWL_EXSTYLE));
  RECT frame{0, 0, 0, 0};
  ::AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(style), FALSE, ex, static_cast<UINT>(dpi_));
  // Taller than the monitor's work area: the form shows what fits and
  // scrolls the rest.
  int workH = 0;
  MONITORINFO mi{sizeof mi};
  if (::GetMonitorInfoW(::MonitorFromWindow(h, MONITOR_DEFAULTTONEAREST), &mi)) workH = mi.rcWork.bottom - mi.rcWork.top;
  const int frameH = frame.bottom - frame.top;
  scrolling_ = workH > 0 && wantH + frameH > workH;
  int scrollBar = 0;
  if (scrolling_) {
    wantH = workH - frameH;
    viewH_ = Unscale(wantH);
    style |= WS_VSCROLL;
    scrollBar = static_cast<int>(::GetSystemMetricsForDpi(SM_CXVSCROLL, static_cast<UINT>(dpi_)));
  } else {
    viewH_ = clientH_;
    scrollY_ = 0;
  }
  ::SetWindowLongW(h, GWL_STYLE, style);
  int w = wantW + scrollBar + (frame.right - frame.left), ht = wantH + frameH;
  inSizeChange_ = true;
  const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED | (position ? 0 : SWP_NOMOVE);
  ::SetWindowPos(h, nullptr, position ? position->x : 0, position ? position->y : 0, w, ht, flags);
  // The frame the system really draws may differ from what it computes for
  // the dpi: the client area decides.
  RECT c;
  ::GetClientRect(h, &c);
  if (c.right != wantW || c.bottom != wantH) {
    w += wantW - c.right;
    ht += wantH - c.bottom;
    ::SetWindowPos(h, nullptr, 0, 0, w, ht, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
  }
  inSizeChange_ = false;
  if (scrollY_ > std::max(0, clientH_ - viewH_)) scrollY_ = std::max(0, clientH_ - viewH_);
  UpdateScrollBar();
}

Rect Form::PixelRect(const Rect& logical) const {
  Rect r = logical;
  r.y -= scrollY_;
  return ScaleRect(r, dpi_);
}

void Form::UpdateScrollBar() {
  if (!hwnd_) return;
  HWND h = H(hwnd_);
  SCROLLINFO si{sizeof si};
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
  si.nMin = 0;
  si.nMax = scrolling_ ? Scale(clientH_) - 1 : 0;
  si.nPage = scrolling_ ? static_cast<UINT>(Scale(viewH_)) : 0;
  si.nPos = scrolling_ ? Scale(scrollY_) : 0;
  ::SetScrollInfo(h, SB_VERT, &si, TRUE);
  // For test drivers in other processes: the content and where the view is.
  ::SetPropW(h, L"EkContent", reinterpret_cast<HANDLE>(static_cast<intptr_t>(Scale(clientH_))));
  ::SetPropW(h, L"EkScrollY", reinterpret_cast<HANDLE>(static_cast<intptr_t>(Scale(scrollY_))));
}

void Form::ScrollTo(int logicalY) {
  const int maxY = scrolling_ ? std::max(0, clientH_ - viewH_) : 0;
  const int y = std::clamp(logicalY, 0, maxY);
  if (y == scrollY_) return;
  scrollY_ = y;
  UpdateScrollBar();
  PlaceAll();
  if (hwnd_) ::RedrawWindow(H(hwnd_), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void Form::EnsureVisible(const Control* c) {
  if (!scrolling_ || !c) return;
  const Rect r = c->FormBounds();
  if (r.y < scrollY_) ScrollTo(r.y - 8);
  else if (r.bottom() > scrollY_ + viewH_) ScrollTo(r.bottom() - viewH_ + 8);
}

void Form::SetClientSize(int width, int height) {
  const int dw = width - clientW_, dh = height - clientH_;
  clientW_ = width;
  clientH_ = height;
  if (dw != 0 || dh != 0)
    for (auto& c : controls_)
      if (!c->parent_) ApplyAnchors(c.get(), dw, dh);
  ResizeWindowForClient(nullptr);
  PlaceAll();
}

void Form::SetMinClientSize(int width, int height) {
  minW_ = width;
  minH_ = height;
}

void Form::ClientResized(int pixelW, int pixelH) {
  const int w = Unscale(pixelW), h = Unscale(pixelH);
  if (scrolling_) {
    // The user resized a scrolled form: the width follows as always, the
    // height only changes how much of the content is seen.
    const int dw = w - clientW_;
    clientW_ = w;
    viewH_ = std::min(h, clientH_);
    if (dw != 0)
      for (auto& c : controls_)
        if (!c->parent_) ApplyAnchors(c.get(), dw, 0);
    if (scrollY_ > clientH_ - viewH_) scrollY_ = clientH_ - viewH_;
    UpdateScrollBar();
    PlaceAll();
    if (handlers_.resized) Guard([&] { handlers_.resized(); });
    if (hwnd_) ::InvalidateRect(H(hwnd_), nullptr, TRUE);
    return;
  }
  if (w == clientW_ && h == clientH_) return;
  const int dw = w - clientW_, dh = h - clientH_;
  clientW_ = w;
  clientH_ = h;
  for (auto& c : controls_)
    if (!c->parent_) ApplyAnchors(c.get(), dw, dh);
  PlaceAll();
  if (handlers_.resized) Guard([&] { handlers_.resized(); });
  if (hwnd_) ::InvalidateRect(H(hwnd_), nullptr, TRUE);
}

void Form::GetPosition(int& left, int& top) const {
  RECT r{};
  if (hwnd_) ::GetWindowRect(H(hwnd_), &r);
  left = r.left;
  top = r.top;
}

void Form::SetPosition(int left, int top) {
  if (hwnd_) ::SetWindowPos(H(hwnd_), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

Rect Form::WindowRect() const {
  RECT r{};
  if (hwnd_) ::GetWindowRect(H(hwnd_), &r);
  return Rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void Form::CenterOnMonitor() {
  if (!hwnd_) return;
  const Rect w = WindowRect();
  SetPosition((::GetSystemMetrics(SM_CXSCREEN) - w.w) / 2, (::GetSystemMetrics(SM_CYSCREEN) - w.h) / 2);
}

void Form::SetBorderless(bool borderless) {
  borderless_ = borderless;
  if (!hwnd_) return;
  LONG style = ::GetWindowLongW(H(hwnd_), GWL_STYLE);
  if (borderless) style = (style & ~(WS_CAPTION | WS_THICKFRAME)) | WS_POPUP;
  else style = (style & ~WS_POPUP) | WS_CAPTION | (resizable_ ? WS_THICKFRAME : 0);
  ::SetWindowLongW(H(hwnd_), GWL_STYLE, style);
  ::SetWindowPos(H(hwnd_), nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  ResizeWindowForClient(nullptr);
}

void Form::StartDrag() {
  if (!hwnd_) return;
  ::ReleaseCapture();
  ::SendMessageW(H(hwnd_), WM_SYSCOMMAND, 0xF012, 0);
}

void Form::SetWaitCursor(bool wait) {
  waitCursor_ = wait;
  ::SetCursor(::LoadCursorW(nullptr, wait ? IDC_WAIT : IDC_ARROW));
}

void Form::Flash() {
  if (hwnd_) ::FlashWindow(H(hwnd_), TRUE);
}

bool Form::IsForeground() const { return hwnd_ && ::GetForegroundWindow() == H(hwnd_); }

void Form::BringToFront() {
  if (hwnd_) ::SetForegroundWindow(H(hwnd_));
}

void Form::SetBackground(uint32_t color) {
  color_ = color;
  if (brush_) ::DeleteObject(static_cast<HBRUSH>(brush_));
  brush_ = ::CreateSolidBrush(Ref(color));
  if (!hwnd_) return;
  wchar_t hex[16];
  std::swprintf(hex, 16, L"%06X", static_cast<unsigned>(color & 0xFFFFFFu));
  SetAtomProp(H(hwnd_), kColorProp, hex);
  ::InvalidateRect(H(hwnd_), nullptr, TRUE);
}

void Form::ClientToScreenPixels(int x, int y, int& sx, int& sy) const {
  POINT p{Scale(x), Scale(y)};
  if (hwnd_) ::ClientToScreen(H(hwnd_), &p);
  sx = p.x;
  sy = p.y;
}

void Form::PaintBackground(void* dcHandle, const Rect& px, int originX, int originY) {
  if (!dcHandle) return;
  HDC dc = static_cast<HDC>(dcHandle);
  RECT r{px.x + originX, px.y + originY, px.x + originX + px.w, px.y + originY + px.h};
  ::FillRect(dc, &r, static_cast<HBRUSH>(brush_));
  const int saved = ::SaveDC(dc);
  ::IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
  for (auto& c : controls_)
    if (c->kind() == Control::Kind::Picture) static_cast<Picture*>(c.get())->DrawInto(dc, originX, originY);
  ::RestoreDC(dc, saved);
}

void* Form::FontHandle(const FontStyle& style) {
  for (auto& f : fonts_)
    if (f.dpi == dpi_ && f.style == style) return f.font;
  HFONT font = ::CreateFontW(-::MulDiv(style.points, dpi_, 72), 0, 0, 0, style.bold ? FW_BOLD : FW_NORMAL, style.italic,
                             style.underline, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             CLEARTYPE_QUALITY, DEFAULT_PITCH, style.face.c_str());
  if (!font) font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
  fonts_.push_back({style, dpi_, font});
  return font;
}

Rect Form::MeasureText(const FontStyle& font, const std::wstring& text, int wrapWidth) {
  HDC dc = ::GetDC(nullptr);
  HGDIOBJ old = ::SelectObject(dc, static_cast<HFONT>(FontHandle(font)));
  RECT r{0, 0, wrapWidth > 0 ? Scale(wrapWidth) : 100000, 0};
  ::DrawTextW(dc, text.empty() ? L" " : text.c_str(), -1, &r,
              DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | (wrapWidth > 0 ? DT_WORDBREAK : 0));
  ::SelectObject(dc, old);
  ::ReleaseDC(nullptr, dc);
  return Rect{0, 0, text.empty() ? 0 : ToLogicalCeil(r.right - r.left, dpi_), ToLogicalCeil(r.bottom - r.top, dpi_)};
}

void Form::RelayoutForDpi(int dpi, const Rect* suggested) {
  if (dpi <= 0) return;
  dpi_ = dpi;
  for (auto& c : controls_) c->ApplyFont();
  ResizeWindowForClient(suggested);
  PlaceAll();
  if (handlers_.dpiChanged) Guard([&] { handlers_.dpiChanged(); });
  if (hwnd_) ::RedrawWindow(H(hwnd_), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void Form::SetDpiForTesting(int dpi) { RelayoutForDpi(dpi, nullptr); }

Control* Form::FindByHandle(WindowHandle h) const {
  if (!h) return nullptr;
  for (auto& c : controls_) {
    if (c->handle() == h) return c.get();
    if (c->kind() == Control::Kind::RadioGroup) {
      auto* g = static_cast<RadioGroup*>(c.get());
      for (size_t i = 0; g->ItemHandle(i); ++i)
        if (g->ItemHandle(i) == h) return c.get();
    }
  }
  return nullptr;
}

Control* Form::Find(const std::wstring& name) const {
  for (auto& c : controls_)
    if (c->name() == name) return c.get();
  return nullptr;
}

template <typename T>
T* Form::Adopt(std::unique_ptr<T> c, Control* parent, const Rect& r, const std::wstring&) {
  T* raw = c.get();
  raw->parent_ = parent;
  if (parent) parent->AddChild(raw);
  raw->bounds_ = r;
  controls_.push_back(std::move(c));
  return raw;
}

namespace {

// Creates the window, names it, gives it its font and place.
template <typename T>
T* Finish(T* c, HWND hwnd) {
  if (!hwnd) return c;
  c->AttachWindow(hwnd);
  c->ApplyFont();
  c->Place();
  c->UpdateVisibility();
  return c;
}

}  // namespace

Label* Form::AddLabel(const std::wstring& name, Control* parent, const std::wstring& text, const Rect& r,
                      const LabelOptions& options) {
  auto* c = Adopt(std::make_unique<Label>(this, name, options), parent, r, text);
  // The styles say how the text is laid out, for whoever reads the window.
  DWORD style = options.align == TextAlign::Center ? SS_CENTER
                : options.align == TextAlign::Right ? SS_RIGHT
                : options.wordWrap                  ? SS_LEFT
                                                    : SS_LEFTNOWORDWRAP;
  if (!options.showAccelChar) style |= SS_NOPREFIX;
  HWND h = CreateChild(*this, LabelClass(), style, 0, text);
  if (h && options.alignBottom) ::SetPropW(h, kBottomProp, reinterpret_cast<HANDLE>(1));
  return Finish(c, h);
}

Link* Form::AddLink(const std::wstring& name, Control* parent, const std::wstring& text, int x, int y,
                    std::function<void()> onClick) {
  auto* c = Adopt(std::make_unique<Link>(this, name, std::move(onClick)), parent, Rect{x, y, 0, 0}, text);
  return Finish(c, CreateChild(*this, L"BUTTON", BS_OWNERDRAW | WS_TABSTOP | WS_GROUP, 0, text));
}

Button* Form::AddButton(const std::wstring& name, Control* parent, const std::wstring& text, const Rect& r,
                        std::function<void()> onClick) {
  auto* c = Adopt(std::make_unique<Button>(this, name, std::move(onClick)), parent, r, text);
  return Finish(c, CreateChild(*this, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, 0, text));
}

Edit* Form::AddEdit(const std::wstring& name, Control* parent, const Rect& r) {
  auto* c = Adopt(std::make_unique<Edit>(this, name), parent, r, L"");
  return Finish(c, CreateChild(*this, L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP, WS_EX_CLIENTEDGE, L""));
}

CheckBox* Form::AddCheckBox(const std::wstring& name, Control* parent, const std::wstring& text, const Rect& r,
                            bool wordWrap) {
  auto* c = Adopt(std::make_unique<CheckBox>(this, name, wordWrap), parent, r, text);
  DWORD style = BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP | (wordWrap ? (BS_MULTILINE | BS_TOP) : 0);
  return Finish(c, CreateChild(*this, L"BUTTON", style, 0, text));
}

namespace {

// Frames and pictures lie behind the controls they hold and paint only where
// no control is.
void SendToBack(HWND h) {
  if (!h) return;
  ::SetWindowLongW(h, GWL_STYLE, ::GetWindowLongW(h, GWL_STYLE) | WS_CLIPSIBLINGS);
  ::SetWindowPos(h, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

}  // namespace

GroupBox* Form::AddGroupBox(const std::wstring& name, Control* parent, const std::wstring& caption, const Rect& r) {
  auto* c = Adopt(std::make_unique<GroupBox>(this, name), parent, r, caption);
  Finish(c, CreateChild(*this, L"BUTTON", BS_GROUPBOX, 0, caption));
  SendToBack(H(c->handle()));
  return c;
}

RadioGroup* Form::AddRadioGroup(const std::wstring& name, Control* parent, const std::wstring& caption, const Rect& r,
                                const std::vector<std::wstring>& items) {
  auto* c = Adopt(std::make_unique<RadioGroup>(this, name), parent, r, caption);
  Finish(c, CreateChild(*this, L"BUTTON", BS_GROUPBOX, 0, caption));
  SendToBack(H(c->handle()));
  c->SetItems(items);
  return c;
}

ComboBox* Form::AddComboBox(const std::wstring& name, Control* parent, const Rect& r) {
  auto* c = Adopt(std::make_unique<ComboBox>(this, name), parent, r, L"");
  return Finish(c, CreateChild(*this, L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_GROUP, 0, L""));
}

CheckList* Form::AddCheckList(const std::wstring& name, Control* parent, const Rect& r, int itemHeight) {
  auto* c = Adopt(std::make_unique<CheckList>(this, name, itemHeight), parent, r, L"");
  DWORD style = LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP | WS_GROUP;
  return Finish(c, CreateChild(*this, L"LISTBOX", style, WS_EX_CLIENTEDGE, L""));
}

ProgressBar* Form::AddProgressBar(const std::wstring& name, Control* parent, const Rect& r) {
  auto* c = Adopt(std::make_unique<ProgressBar>(this, name), parent, r, L"");
  Finish(c, CreateChild(*this, PROGRESS_CLASSW, 0, 0, L""));
  if (c->handle()) ::SendMessageW(H(c->handle()), PBM_SETRANGE32, 0, 100);
  return c;
}

Picture* Form::AddPicture(const std::wstring& name, Control* parent, const Rect& r) {
  auto* c = Adopt(std::make_unique<Picture>(this, name), parent, r, L"");
  Finish(c, CreateChild(*this, LabelClass(), 0, 0, L""));
  // Behind everything: the other controls show it through their background.
  SendToBack(H(c->handle()));
  return c;
}

RichText* Form::AddRichText(const std::wstring& name, Control* parent, const Rect& r) {
  auto* c = Adopt(std::make_unique<RichText>(this, name), parent, r, L"");
  DWORD style = ES_MULTILINE | ES_READONLY | WS_VSCROLL | ES_AUTOVSCROLL | WS_TABSTOP | WS_GROUP;
  Finish(c, CreateChild(*this, RichEditClass(), style, WS_EX_CLIENTEDGE, L""));
  if (c->handle()) {
    ::SendMessageW(H(c->handle()), EM_AUTOURLDETECT, TRUE, 0);
    ::SendMessageW(H(c->handle()), EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(Scale(6), Scale(6)));
    ::SendMessageW(H(c->handle()), EM_SETEVENTMASK, 0, ENM_LINK);
  }
  return c;
}

bool Form::PreviewKey(int key, bool alt, bool ctrl, bool shift) {
  if (handlers_.keyDown && Guard([&] { return handlers_.keyDown(key, alt, ctrl, shift); })) return true;
  HWND focus = ::GetFocus();
  Control* c = FindByHandle(focus);
  if (c && c->kind() == Control::Kind::ComboBox && ::SendMessageW(focus, CB_GETDROPPEDSTATE, 0, 0)) return false;
  if (key == VK_ESCAPE && !alt && !ctrl) {
    if (handlers_.cancel) {
      Guard([&] { handlers_.cancel(); });
      return true;
    }
    if (modal_) {
      EndModal(0);
      return true;
    }
    return false;
  }
  if (key == VK_RETURN && !alt && !ctrl) {
    if (c && c->kind() == Control::Kind::Link) {
      static_cast<Link*>(c)->Click();
      return true;
    }
    if (c && c->kind() == Control::Kind::Button) {
      static_cast<Button*>(c)->Click();
      return true;
    }
    if (c && c->kind() == Control::Kind::Edit && static_cast<Edit*>(c)->HandleEnter()) return true;
    if (defaultButton_ && defaultButton_->IsShowing() && defaultButton_->IsEnabled()) {
      defaultButton_->Click();
      return true;
    }
  }
  return false;
}

int Form::ShowModal() {
  if (!hwnd_) return 0;
  HWND owner = owner_ ? H(owner_->handle()) : nullptr;
  const bool ownerWasEnabled = owner && ::IsWindowEnabled(owner);
  if (owner) ::EnableWindow(owner, FALSE);
  modal_ = true;
  modalDone_ = false;
  modalResult_ = 0;
  Show(true);
  ::SetForegroundWindow(H(hwnd_));
  while (!modalDone_ && hwnd_) {
    MSG msg;
    const BOOL r = ::GetMessageW(&msg, nullptr, 0, 0);
    if (r == 0 || r == -1) {
      // The program is ending: the loop above must see it too.
      ::PostQuitMessage(r == 0 ? static_cast<int>(msg.wParam) : 0);
      modalResult_ = 0;
      break;
    }
    DispatchWindowMessage(&msg);
  }
  modal_ = false;
  if (owner && ownerWasEnabled) ::EnableWindow(owner, TRUE);
  Show(false);
  if (owner) ::SetActiveWindow(owner);
  return modalResult_;
}

void Form::EndModal(int result) {
  modalResult_ = result;
  modalDone_ = true;
  if (hwnd_) ::PostMessageW(H(hwnd_), WM_NULL, 0, 0);
}

// ----- message dispatch -----

namespace {

// An Alt shortcut the program handled: the release of Alt that follows must
// not open the window's system menu (the system takes a lone Alt for that).
bool g_altShortcutTaken = false;

}  // namespace

void DispatchWindowMessage(void* m) {
  MSG& msg = *static_cast<MSG*>(m);
  if (g_altShortcutTaken && (msg.message == WM_SYSKEYUP || msg.message == WM_KEYUP) &&
      (msg.wParam == VK_MENU || msg.wParam == VK_LMENU || msg.wParam == VK_RMENU)) {
    g_altShortcutTaken = false;
    return;
  }
  Form* form = FormOfWindow(msg.hwnd);
  // A form under a modal dialog takes no keys.
  if (form && form->handle() && !::IsWindowEnabled(H(form->handle()))) form = nullptr;
  if (form && (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN)) {
    const bool alt = msg.message == WM_SYSKEYDOWN ? (msg.lParam & (1 << 29)) != 0 : ::GetKeyState(VK_MENU) < 0;
    const bool ctrl = ::GetKeyState(VK_CONTROL) < 0;
    const bool shift = ::GetKeyState(VK_SHIFT) < 0;
    // Set before the handler runs: it may open a dialog whose loop sees the release.
    const bool before = g_altShortcutTaken;
    if (alt) g_altShortcutTaken = true;
    bool handled = false;
    try {
      handled = form->PreviewKey(static_cast<int>(msg.wParam), alt, ctrl, shift);
    } catch (...) {
      HandleEscapedException();
    }
    if (handled) return;
    if (alt) g_altShortcutTaken = before;
  }
  if (form && form->handle() && ::IsDialogMessageW(H(form->handle()), &msg)) return;
  ::TranslateMessage(&msg);
  ::DispatchMessageW(&msg);
}

// ----- PopupMenu -----

struct PopupMenu::Impl {
  HMENU menu = nullptr;
  std::vector<std::function<void()>> handlers;
  std::vector<HBITMAP> bitmaps;
};

PopupMenu::PopupMenu() : impl_(std::make_unique<Impl>()) {}

PopupMenu::~PopupMenu() { Clear(); }

void PopupMenu::Clear() {
  if (impl_->menu) ::DestroyMenu(impl_->menu);
  impl_->menu = nullptr;
  for (HBITMAP b : impl_->bitmaps) ::DeleteObject(b);
  impl_->bitmaps.clear();
  impl_->handlers.clear();
}

bool PopupMenu::AddItem(const std::wstring& caption, const Image& picture, std::function<void()> onClick) {
  if (!impl_->menu) impl_->menu = ::CreatePopupMenu();
  if (!impl_->menu) return false;
  const UINT id = static_cast<UINT>(impl_->handlers.size() + 1);
  if (!::AppendMenuW(impl_->menu, MF_STRING, id, caption.c_str())) return false;
  impl_->handlers.push_back(std::move(onClick));
  if (picture.valid()) {
    if (HBITMAP bmp = static_cast<HBITMAP>(picture.CreatePremultipliedBitmap())) {
      MENUITEMINFOW mii{sizeof mii};
      mii.fMask = MIIM_BITMAP;
      mii.hbmpItem = bmp;
      ::SetMenuItemInfoW(impl_->menu, id, FALSE, &mii);
      impl_->bitmaps.push_back(bmp);
    }
  }
  return true;
}

size_t PopupMenu::Count() const { return impl_->handlers.size(); }

void PopupMenu::Popup(const Form& owner, int x, int y) {
  if (!impl_->menu || !owner.handle()) return;
  HWND h = H(owner.handle());
  ::SetForegroundWindow(h);
  const UINT cmd = static_cast<UINT>(
      ::TrackPopupMenu(impl_->menu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, x, y, 0, h, nullptr));
  ::PostMessageW(h, WM_NULL, 0, 0);
  if (cmd >= 1 && cmd <= impl_->handlers.size() && impl_->handlers[cmd - 1]) {
    auto f = impl_->handlers[cmd - 1];
    Guard([&] { f(); });
  }
}

}  // namespace ek::platform

namespace ek::platform {

int MonitorCount() { return ::GetSystemMetrics(SM_CMONITORS); }
int ScreenHeight() { return ::GetSystemMetrics(SM_CYSCREEN); }

bool MonitorUnderMouse(Rect& m) {
  POINT p;
  if (!::GetCursorPos(&p)) return false;
  HMONITOR mon = ::MonitorFromPoint(p, MONITOR_DEFAULTTONEAREST);
  MONITORINFO mi{sizeof mi};
  if (!mon || !::GetMonitorInfoW(mon, &mi)) return false;
  m = Rect{mi.rcMonitor.left, mi.rcMonitor.top, mi.rcMonitor.right - mi.rcMonitor.left,
           mi.rcMonitor.bottom - mi.rcMonitor.top};
  return true;
}

}  // namespace ek::platform
