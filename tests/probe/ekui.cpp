// ekui: the test driver of the engine's windows, a program that runs inside
// Wine next to the setup it drives. It finds the setup's forms and message
// boxes, reads what the user would see (texts, states, places, fonts, the
// names a screen reader announces), clicks, types and presses keys, takes
// screenshots, and checks a form for controls that overlap or cut their text.
//
//   ekui serve <folder> <setup.exe>   (or several programs joined by "|")
//                                      commands from <folder>/cmd-N.txt, answers
//                                      in <folder>/res-N.txt (one command each,
//                                      arguments separated by tabs)
//   ekui <command> <setup.exe> ...     one command, answer on standard output
//
// Commands (the setup file names the process whose windows count):
//   forms                              visible forms: name, caption, state,
//                                      client size, frame, colour, scrolling
//   wait-form <form> <ms>              ok=1 once the form is visible
//   controls <form>                    one line per control with its facts
//   wait <form> <control> <key> <value> <ms>   until the fact has the value
//   click <form> <control>             a button, link, check box or radio item
//   settext <form> <control> <text>    replaces an edit box's text
//   select <form> <control> <index>    drop-down list choice
//   item <form> <control> <index> check|select   a check list item
//   keys <form> <key> ...              real key presses (tab, enter, alt+o,
//                                      text:abc, ...), to the form in front
//   focus <form>                       the control that has the focus
//   boxes                              message boxes: caption, text, buttons
//   answer <button> [text]             presses a button of the message box
//                                      (of the one whose text holds `text`)
//   filedialog <path>                  types a path into a file or folder dialog
//   menu                               an open pop-up menu: place, pictures
//   menu-pick <index>                  picks one
//   close <form>                       the close box
//   shot <form> <file.png>             screenshot of the form's client area
//   layout <form>                      overlapping controls and cut texts
//   a11y <form>                        accessible name and role of each control
//   move <form> <x> <y>                moves the form (screen pixels)
//   position <form>                    the form's place on the screen
//   drag <form> <control> <dx> <dy>    the mouse pressed on a control, moved, released
//   sleep <ms>                         waits (a stand-in for a slow program)
#include <windows.h>
#include <oleacc.h>
#include <commctrl.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/text.h"
#include "platform/picture.h"
#include "window_probe.h"

using namespace ek;

namespace {

std::vector<std::wstring> g_setupPaths;  // lower case; the setup and programs it starts
std::wstring g_out;

void Out(const std::wstring& line) { g_out += line + L"\n"; }

std::wstring Lower(std::wstring s) {
  for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
  return s;
}

std::wstring ProcessPath(DWORD pid) {
  HANDLE p = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!p) return {};
  wchar_t buf[1024];
  DWORD n = 1024;
  std::wstring out;
  if (::QueryFullProcessImageNameW(p, 0, buf, &n)) out.assign(buf, n);
  ::CloseHandle(p);
  return out;
}

bool OfSetup(HWND h) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(h, &pid);
  static std::map<DWORD, bool> known;
  auto it = known.find(pid);
  if (it != known.end()) return it->second;
  const std::wstring path = Lower(ProcessPath(pid));
  bool mine = false;
  for (const auto& p : g_setupPaths) mine = mine || path == p;
  known[pid] = mine;
  return mine;
}

std::vector<HWND> TopWindows() {
  std::vector<HWND> out;
  ::EnumWindows(
      [](HWND h, LPARAM lp) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&out));
  return out;
}

HWND FindForm(const std::wstring& name) {
  for (HWND h : TopWindows())
    if (::IsWindowVisible(h) && probe::ClassOf(h) == L"EkSetupForm" && probe::ControlName(h) == name && OfSetup(h))
      return h;
  return nullptr;
}

std::vector<HWND> AllChildren(HWND parent) {
  std::vector<HWND> out;
  ::EnumChildWindows(
      parent,
      [](HWND h, LPARAM lp) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&out));
  return out;
}

// The engine's named controls of a form.
std::vector<HWND> Children(HWND form) {
  std::vector<HWND> out;
  for (HWND h : AllChildren(form))
    if (!probe::ControlName(h).empty()) out.push_back(h);
  return out;
}

HWND FindControl(HWND form, const std::wstring& name) {
  for (HWND h : Children(form))
    if (probe::ControlName(h) == name) return h;
  return nullptr;
}

RECT InForm(HWND form, HWND h) {
  RECT r;
  ::GetWindowRect(h, &r);
  ::MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::wstring RectText(const RECT& r) {
  return ToText(r.left) + L"," + ToText(r.top) + L"," + ToText(r.right - r.left) + L"," + ToText(r.bottom - r.top);
}

struct FontInfo {
  std::wstring face = L"Tahoma";
  int points = 8;
  bool bold = false, italic = false, underline = false;
};

FontInfo FontOf(HWND h) {
  FontInfo f;
  const auto parts = Split(probe::AtomProp(h, L"EkFont"), L"|");
  if (parts.size() == 5) {
    f.face = parts[0];
    f.points = ParseInt32Or(parts[1], 8);
    f.bold = parts[2] == L"1";
    f.italic = parts[3] == L"1";
    f.underline = parts[4] == L"1";
  }
  return f;
}

// The same font as the control's, at the form's DPI, in this process.
class MeasureDc {
 public:
  MeasureDc(HWND form, const FontInfo& f) {
    dpi_ = static_cast<int>(::GetDpiForWindow(form));
    if (dpi_ <= 0) dpi_ = 96;
    dc_ = ::GetDC(nullptr);
    font_ = ::CreateFontW(-::MulDiv(f.points, dpi_, 72), 0, 0, 0, f.bold ? FW_BOLD : FW_NORMAL, f.italic, f.underline,
                          FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                          DEFAULT_PITCH, f.face.c_str());
    old_ = ::SelectObject(dc_, font_);
  }
  ~MeasureDc() {
    ::SelectObject(dc_, old_);
    ::DeleteObject(font_);
    ::ReleaseDC(nullptr, dc_);
  }
  // Width and height of the text, wrapped at `width` when it is above 0.
  SIZE Text(const std::wstring& t, int width, bool prefix) {
    RECT r{0, 0, width > 0 ? width : 100000, 0};
    UINT flags = DT_CALCRECT | DT_EXPANDTABS | (width > 0 ? DT_WORDBREAK : 0) | (prefix ? 0 : DT_NOPREFIX);
    ::DrawTextW(dc_, t.empty() ? L" " : t.c_str(), -1, &r, flags);
    return SIZE{t.empty() ? 0 : r.right - r.left, r.bottom - r.top};
  }
  int Scale(int v) const { return ::MulDiv(v, dpi_, 96); }

 private:
  int dpi_ = 96;
  HDC dc_;
  HFONT font_;
  HGDIOBJ old_;
};

bool Prefixed(HWND h) {
  const LONG style = ::GetWindowLongW(h, GWL_STYLE);
  return probe::KindOf(h) != L"Label" || !(style & SS_NOPREFIX);
}

// Where a label's text really is: its measured box placed as the label
// aligns it. Other controls occupy their window.
RECT Occupied(HWND form, HWND h) {
  RECT r = InForm(form, h);
  const std::wstring kind = probe::KindOf(h);
  if (kind != L"Label" && kind != L"Link") return r;
  const LONG style = ::GetWindowLongW(h, GWL_STYLE);
  const bool wrap = kind == L"Label" && (style & SS_TYPEMASK) != SS_LEFTNOWORDWRAP;
  MeasureDc m(form, FontOf(h));
  const SIZE s = m.Text(probe::TextOf(h), wrap ? r.right - r.left : 0, Prefixed(h));
  const int type = style & SS_TYPEMASK;
  RECT t = r;
  if (kind == L"Label") {
    if (type == SS_CENTER) t.left = r.left + ((r.right - r.left) - s.cx) / 2;
    else if (type == SS_RIGHT) t.left = r.right - s.cx;
    t.right = t.left + s.cx;
    if (::GetPropW(h, L"EkBottom")) t.top = r.bottom - s.cy;
    t.bottom = t.top + s.cy;
  }
  return t;
}

bool Intersect(const RECT& a, const RECT& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom && a.right > a.left &&
         a.bottom > a.top && b.right > b.left && b.bottom > b.top;
}

// The item texts of a list box or drop-down list, by its count and text messages.
std::vector<std::wstring> Items(HWND h, UINT countMsg, UINT textMsg) {
  std::vector<std::wstring> out;
  const LRESULT n = ::SendMessageW(h, countMsg, 0, 0);
  for (LRESULT i = 0; i < n; ++i) {
    wchar_t buf[1024] = {};
    ::SendMessageW(h, textMsg, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
    out.emplace_back(buf);
  }
  return out;
}

std::vector<std::wstring> ComboItems(HWND h) { return Items(h, CB_GETCOUNT, CB_GETLBTEXT); }
std::vector<std::wstring> ListItems(HWND h) { return Items(h, LB_GETCOUNT, LB_GETTEXT); }

std::wstring Escape(const std::wstring& s) {
  std::wstring o;
  for (wchar_t c : s) {
    if (c == L'\r') continue;
    if (c == L'\n') o += L"\\n";
    else if (c == L'\t') o += L"\\t";
    else o.push_back(c);
  }
  return o;
}

// ----- commands -----

int Forms() {
  for (HWND h : TopWindows()) {
    if (!::IsWindowVisible(h) || probe::ClassOf(h) != L"EkSetupForm" || !OfSetup(h)) continue;
    RECT c;
    ::GetClientRect(h, &c);
    Out(L"form\t" + probe::ControlName(h) + L"\t" + Escape(probe::TextOf(h)) + L"\t" +
        (::IsWindowEnabled(h) ? L"enabled" : L"disabled") + L"\tclient=" + ToText(c.right) + L"x" + ToText(c.bottom) +
        L"\tcaption=" + ((::GetWindowLongW(h, GWL_STYLE) & WS_CAPTION) == WS_CAPTION ? L"1" : L"0") +
        L"\tcolor=" + probe::AtomProp(h, L"EkColor") +
        L"\tscrolls=" + ((::GetWindowLongW(h, GWL_STYLE) & WS_VSCROLL) ? L"1" : L"0"));
  }
  return 0;
}

bool WaitFor(const std::function<bool()>& f, int ms) {
  const DWORD end = ::GetTickCount() + static_cast<DWORD>(ms);
  while (true) {
    if (f()) return true;
    if (static_cast<int>(::GetTickCount() - end) > 0) return false;
    ::Sleep(40);
  }
}

std::map<std::wstring, std::wstring> Facts(HWND form, HWND h) {
  std::map<std::wstring, std::wstring> f;
  const std::wstring kind = probe::KindOf(h);
  f[L"kind"] = kind;
  f[L"parent"] = probe::ParentName(h);
  f[L"visible"] = ::IsWindowVisible(h) ? L"1" : L"0";
  f[L"enabled"] = ::IsWindowEnabled(h) ? L"1" : L"0";
  f[L"rect"] = RectText(InForm(form, h));
  f[L"text"] = Escape(probe::TextOf(h));
  const FontInfo font = FontOf(h);
  f[L"font"] = font.face + L"," + ToText(font.points) + (font.bold ? L",bold" : L"") + (font.italic ? L",italic" : L"");
  f[L"tabstop"] = (::GetWindowLongW(h, GWL_STYLE) & WS_TABSTOP) ? L"1" : L"0";
  if (kind == L"CheckBox" || kind == L"Radio")
    f[L"checked"] = ::SendMessageW(h, BM_GETCHECK, 0, 0) == BST_CHECKED ? L"1" : L"0";
  if (kind == L"ComboBox") {
    f[L"index"] = ToText(static_cast<int64_t>(::SendMessageW(h, CB_GETCURSEL, 0, 0)));
    std::wstring items;
    for (const auto& i : ComboItems(h)) items += (items.empty() ? L"" : L"|") + i;
    f[L"items"] = items;
  }
  if (kind == L"CheckList") {
    std::wstring items;
    for (const auto& i : ListItems(h)) items += (items.empty() ? L"" : L"|") + i;
    f[L"items"] = items;
    f[L"index"] = ToText(static_cast<int64_t>(::SendMessageW(h, LB_GETCURSEL, 0, 0)));
  }
  if (kind == L"Progress") f[L"position"] = ToText(static_cast<int64_t>(::SendMessageW(h, PBM_GETPOS, 0, 0)));
  if (kind == L"Button") f[L"shield"] = ::GetPropW(h, L"EkShield") ? L"1" : L"0";
  if (kind == L"Label" || kind == L"Link") f[L"color"] = probe::AtomProp(h, L"EkColor");
  return f;
}

int Controls(HWND form) {
  for (HWND h : Children(form)) {
    std::wstring line = L"control\t" + probe::ControlName(h);
    for (const auto& [k, v] : Facts(form, h)) line += L"\t" + k + L"=" + v;
    Out(line);
  }
  return 0;
}

// Each control against its siblings and its text; one line per problem.
int Layout(HWND form) {
  RECT client;
  ::GetClientRect(form, &client);
  // A form taller than its monitor scrolls: its content is the area.
  const auto content = reinterpret_cast<intptr_t>(::GetPropW(form, L"EkContent"));
  const auto scrolled = reinterpret_cast<intptr_t>(::GetPropW(form, L"EkScrollY"));
  if ((::GetWindowLongW(form, GWL_STYLE) & WS_VSCROLL) && content > 0) {
    client.top = static_cast<LONG>(-scrolled);
    client.bottom = static_cast<LONG>(content - scrolled);
  }
  struct Item {
    HWND h;
    std::wstring name, kind, parent;
    RECT rect, occupied;
  };
  std::vector<Item> items;
  for (HWND h : Children(form)) {
    if (!::IsWindowVisible(h)) continue;
    Item it{h, probe::ControlName(h), probe::KindOf(h), probe::ParentName(h), InForm(form, h), {}};
    it.occupied = Occupied(form, h);
    items.push_back(it);
  }
  int problems = 0;
  auto report = [&](const std::wstring& s) {
    Out(L"problem\t" + s);
    ++problems;
  };
  for (const auto& it : items) {
    const RECT& r = it.rect;
    if (r.left < 0 || r.top < client.top || r.right > client.right || r.bottom > client.bottom)
      report(it.name + L" lies outside the window (" + RectText(r) + L")");
    for (const auto& p : items)
      if (p.name == it.parent && (r.left < p.rect.left || r.top < p.rect.top || r.right > p.rect.right ||
                                  r.bottom > p.rect.bottom))
        report(it.name + L" lies outside its group " + p.name);
    // The text against the room it has.
    const std::wstring text = probe::TextOf(it.h);
    if (text.empty() || it.kind == L"Edit" || it.kind == L"RichText" || it.kind == L"Picture" ||
        it.kind == L"Progress")
      continue;
    MeasureDc m(form, FontOf(it.h));
    const int w = r.right - r.left, h = r.bottom - r.top;
    const LONG style = ::GetWindowLongW(it.h, GWL_STYLE);
    if (it.kind == L"Label") {
      const bool wrap = (style & SS_TYPEMASK) != SS_LEFTNOWORDWRAP;
      const SIZE s = m.Text(text, wrap ? w : 0, Prefixed(it.h));
      if (s.cx > w + 1 || s.cy > h + 1) report(it.name + L" cuts its text");
    } else if (it.kind == L"Link") {
      const SIZE s = m.Text(text, 0, false);
      if (s.cx > w + 1 || s.cy > h + 1) report(it.name + L" cuts its text");
    } else if (it.kind == L"Button") {
      if ((style & 0x0F) == BS_OWNERDRAW) continue;  // a picture button
      const int margin = m.Scale(12);
      const SIZE s = (style & BS_MULTILINE) ? m.Text(text, w - margin, true) : m.Text(text, 0, true);
      if (s.cx + margin > w + 1 || s.cy + m.Scale(4) > h) report(it.name + L" cuts its text");
    } else if (it.kind == L"CheckBox" || it.kind == L"Radio") {
      const int glyph = m.Scale(18);
      const SIZE s = (style & BS_MULTILINE) ? m.Text(text, w - glyph, true) : m.Text(text, 0, true);
      if (s.cx + glyph > w + 1 || s.cy > h + 1) report(it.name + L" cuts its text");
    } else if (it.kind == L"GroupBox" || it.kind == L"RadioGroup") {
      const SIZE s = m.Text(text, 0, true);
      if (s.cx + m.Scale(16) > w) report(it.name + L" cuts its caption");
    }
  }
  for (const auto& it : items) {
    MeasureDc m(form, FontOf(it.h));
    if (it.kind == L"ComboBox") {
      const int room = (it.rect.right - it.rect.left) - ::GetSystemMetrics(SM_CXVSCROLL) - m.Scale(8);
      for (const auto& i : ComboItems(it.h))
        if (m.Text(i, 0, false).cx > room) report(it.name + L" cuts its item " + i);
    }
    if (it.kind == L"CheckList") {
      RECT c;
      ::GetClientRect(it.h, &c);
      const int itemH = static_cast<int>(::SendMessageW(it.h, LB_GETITEMHEIGHT, 0, 0));
      const int room = c.right - itemH - m.Scale(8);
      for (const auto& i : ListItems(it.h))
        if (m.Text(i, 0, false).cx > room) report(it.name + L" cuts its item " + i);
    }
  }
  // Siblings that cover each other (a group holds its controls; a picture
  // lies behind everything).
  for (size_t a = 0; a < items.size(); ++a)
    for (size_t b = a + 1; b < items.size(); ++b) {
      const Item &x = items[a], &y = items[b];
      if (x.parent != y.parent || x.kind == L"Picture" || y.kind == L"Picture") continue;
      if (Intersect(x.occupied, y.occupied)) report(x.name + L" overlaps " + y.name);
    }
  Out(L"problems=" + ToText(problems));
  return 0;
}

int Accessibility(HWND form) {
  std::vector<HWND> all = Children(form);
  for (HWND h : all) {
    if (!::IsWindowVisible(h)) continue;
    IAccessible* acc = nullptr;
    std::wstring name, role;
    const HRESULT hr = ::AccessibleObjectFromWindow(h, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&acc));
    if (FAILED(hr)) Out(L"debug\thr=" + ToText(static_cast<int64_t>(static_cast<uint32_t>(hr))));
    if (SUCCEEDED(hr) && acc) {
      VARIANT self;
      self.vt = VT_I4;
      self.lVal = CHILDID_SELF;
      BSTR b = nullptr;
      if (SUCCEEDED(acc->get_accName(self, &b)) && b) {
        name = b;
        ::SysFreeString(b);
      }
      VARIANT r;
      ::VariantInit(&r);
      if (SUCCEEDED(acc->get_accRole(self, &r)) && r.vt == VT_I4) role = ToText(r.lVal);
      acc->Release();
    }
    Out(L"a11y\t" + probe::ControlName(h) + L"\tname=" + Escape(name) + L"\trole=" + role + L"\ttabstop=" +
        ((::GetWindowLongW(h, GWL_STYLE) & WS_TABSTOP) ? L"1" : L"0"));
  }
  return 0;
}

int Click(HWND form, const std::wstring& name) {
  HWND h = FindControl(form, name);
  if (!h) return 1;
  // Posted: a click that opens a dialog must not hold this driver.
  ::PostMessageW(h, BM_CLICK, 0, 0);
  return 0;
}

int SetText(HWND form, const std::wstring& name, const std::wstring& text) {
  HWND h = FindControl(form, name);
  if (!h) return 1;
  DWORD_PTR r = 0;
  ::SendMessageTimeoutW(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 3000, &r);
  return 0;
}

int Select(HWND form, const std::wstring& name, int index) {
  HWND h = FindControl(form, name);
  if (!h) return 1;
  ::SendMessageW(h, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  ::PostMessageW(form, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(h), CBN_SELCHANGE), reinterpret_cast<LPARAM>(h));
  return 0;
}

int Item(HWND form, const std::wstring& name, int index, bool check) {
  HWND h = FindControl(form, name);
  if (!h) return 1;
  const int itemH = static_cast<int>(::SendMessageW(h, LB_GETITEMHEIGHT, 0, 0));
  const int top = static_cast<int>(::SendMessageW(h, LB_GETTOPINDEX, 0, 0));
  RECT c;
  ::GetClientRect(h, &c);
  const int y = (index - top) * itemH + itemH / 2;
  const int x = check ? itemH / 2 : c.right - 4;
  ::PostMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  ::PostMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  return 0;
}

void KeyInput(std::vector<INPUT>& in, WORD vk, bool up) {
  INPUT i{};
  i.type = INPUT_KEYBOARD;
  i.ki.wVk = vk;
  i.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  in.push_back(i);
}

WORD KeyCode(const std::wstring& k) {
  static const std::map<std::wstring, WORD> named = {
      {L"tab", VK_TAB},   {L"enter", VK_RETURN}, {L"escape", VK_ESCAPE}, {L"space", VK_SPACE},
      {L"down", VK_DOWN}, {L"up", VK_UP},        {L"left", VK_LEFT},     {L"right", VK_RIGHT},
      {L"home", VK_HOME}, {L"end", VK_END},      {L"f4", VK_F4},         {L"back", VK_BACK}};
  auto it = named.find(k);
  if (it != named.end()) return it->second;
  if (k.size() == 1) return static_cast<WORD>(std::towupper(k[0]));
  return 0;
}

// One key with its modifiers ("alt+o", "shift+tab"), or "text:..." typed.
bool PressKey(const std::wstring& keys) {
  std::vector<INPUT> in;
  if (keys.rfind(L"text:", 0) == 0) {
    for (wchar_t c : keys.substr(5)) {
      INPUT i{};
      i.type = INPUT_KEYBOARD;
      i.ki.wScan = c;
      i.ki.dwFlags = KEYEVENTF_UNICODE;
      in.push_back(i);
      i.ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
      in.push_back(i);
    }
  } else {
    auto parts = Split(Lower(keys), L"+");
    std::vector<WORD> mods;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
      if (parts[i] == L"alt") mods.push_back(VK_MENU);
      if (parts[i] == L"ctrl") mods.push_back(VK_CONTROL);
      if (parts[i] == L"shift") mods.push_back(VK_SHIFT);
    }
    const WORD key = KeyCode(parts.back());
    if (!key) return false;
    for (WORD m : mods) KeyInput(in, m, false);
    KeyInput(in, key, false);
    KeyInput(in, key, true);
    for (auto it = mods.rbegin(); it != mods.rend(); ++it) KeyInput(in, *it, true);
  }
  return ::SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT)) == in.size();
}

// The left mouse button pressed on the control, moved by dx, dy in steps,
// released; the form's new place.
int Drag(HWND form, const std::wstring& name, int dx, int dy) {
  HWND h = FindControl(form, name);
  if (!h) return 1;
  ::SetForegroundWindow(form);
  RECT r;
  ::GetWindowRect(h, &r);
  const int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
  auto mouse = [](DWORD flags) {
    INPUT i{};
    i.type = INPUT_MOUSE;
    i.mi.dwFlags = flags;
    ::SendInput(1, &i, sizeof i);
  };
  ::SetCursorPos(x, y);
  ::Sleep(100);
  mouse(MOUSEEVENTF_LEFTDOWN);
  ::Sleep(150);
  for (int step = 1; step <= 10; ++step) {
    ::SetCursorPos(x + dx * step / 10, y + dy * step / 10);
    mouse(MOUSEEVENTF_MOVE);
    ::Sleep(40);
  }
  mouse(MOUSEEVENTF_LEFTUP);
  ::Sleep(300);
  RECT w;
  ::GetWindowRect(form, &w);
  Out(L"position=" + ToText(w.left) + L"," + ToText(w.top));
  return 0;
}

HWND ActiveOfSetup() {
  HWND fg = ::GetForegroundWindow();
  return fg && OfSetup(fg) ? fg : nullptr;
}

int Keys(HWND form, const std::vector<std::wstring>& keys) {
  if (form && ::GetForegroundWindow() != form) {
    ::SetForegroundWindow(form);
    WaitFor([&] { return ::GetForegroundWindow() == form; }, 2000);
  }
  if (!ActiveOfSetup()) {
    Out(L"error=the setup is not in front");
    return 1;
  }
  for (const auto& k : keys) {
    if (!PressKey(k)) {
      Out(L"error=key " + k);
      return 1;
    }
    ::Sleep(120);
  }
  return 0;
}

int Focus(HWND form) {
  GUITHREADINFO gi{sizeof gi};
  const DWORD thread = ::GetWindowThreadProcessId(form, nullptr);
  if (!::GetGUIThreadInfo(thread, &gi)) return 1;
  Out(L"focus=" + probe::ControlName(gi.hwndFocus));
  Out(L"active=" + probe::ControlName(gi.hwndActive));
  return 0;
}

std::vector<HWND> Boxes() {
  std::vector<HWND> out;
  for (HWND h : TopWindows())
    if (::IsWindowVisible(h) && probe::ClassOf(h) == L"#32770" && OfSetup(h)) out.push_back(h);
  return out;
}

int ListBoxes() {
  for (HWND box : Boxes()) {
    std::wstring text, buttons;
    const std::vector<HWND> kids = AllChildren(box);
    for (HWND k : kids) {
      if (!::IsWindowVisible(k)) continue;
      const std::wstring cls = probe::ClassOf(k);
      if (cls == L"Static") text += probe::TextOf(k);
      if (cls == L"Button") buttons += (buttons.empty() ? L"" : L"|") + ReplaceAll(probe::TextOf(k), L"&", L"");
    }
    Out(L"box\t" + Escape(probe::TextOf(box)) + L"\t" + Escape(text) + L"\t" + buttons);
  }
  return 0;
}

// Presses a button of the first box that has it (and whose text holds
// `containing`, when given).
int Answer(const std::wstring& button, const std::wstring& containing) {
  for (HWND box : Boxes()) {
    const std::vector<HWND> kids = AllChildren(box);
    if (!containing.empty()) {
      std::wstring text;
      for (HWND k : kids)
        if (probe::ClassOf(k) == L"Static") text += probe::TextOf(k);
      if (Lower(text).find(Lower(containing)) == std::wstring::npos) continue;
    }
    for (HWND k : kids) {
      if (probe::ClassOf(k) != L"Button" || !::IsWindowVisible(k)) continue;
      if (Lower(ReplaceAll(probe::TextOf(k), L"&", L"")) != Lower(button)) continue;
      ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(k), BN_CLICKED), reinterpret_cast<LPARAM>(k));
      return 0;
    }
  }
  Out(L"error=no such button");
  return 1;
}

int FileDialog(const std::wstring& path) {
  for (HWND box : Boxes()) {
    HWND edit = nullptr;
    const std::vector<HWND> kids = AllChildren(box);
    for (HWND k : kids)
      if (probe::ClassOf(k) == L"Edit" && ::IsWindowVisible(k)) {
        edit = k;
        break;
      }
    if (!edit) continue;
    DWORD_PTR r = 0;
    ::SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()), SMTO_ABORTIFHUNG, 3000, &r);
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(box, IDOK)));
    Out(L"dialog=" + Escape(probe::TextOf(box)));
    return 0;
  }
  Out(L"error=no file dialog");
  return 1;
}

HWND OpenMenu() {
  for (HWND h : TopWindows())
    if (::IsWindowVisible(h) && probe::ClassOf(h) == L"#32768") return h;
  return nullptr;
}

// An open pop-up menu: its place, and how many of its rows show a picture
// (the menu's items belong to the other process; what the user sees does not).
int Menu() {
  HWND m = OpenMenu();
  if (!m) return 1;
  RECT r;
  ::GetWindowRect(m, &r);
  Out(L"menu=" + RectText(r));
  const int w = std::min<int>(r.right - r.left, 48), h = r.bottom - r.top;
  HDC screen = ::GetDC(nullptr);
  int bands = 0;
  bool inBand = false;
  for (int y = 0; y < h; ++y) {
    bool colourful = false;
    for (int x = 0; x < w && !colourful; ++x) {
      const COLORREF c = ::GetPixel(screen, r.left + x, r.top + y);
      const int red = GetRValue(c), green = GetGValue(c), blue = GetBValue(c);
      colourful = std::max({red, green, blue}) - std::min({red, green, blue}) > 80;
    }
    if (colourful && !inBand) ++bands;
    inBand = colourful;
  }
  ::ReleaseDC(nullptr, screen);
  Out(L"pictures=" + ToText(bands));
  return 0;
}

int MenuPick(int index) {
  HWND m = OpenMenu();
  if (!m) return 1;
  // As a user does with the keyboard: down to the item, Enter.
  for (int i = 0; i <= index; ++i) {
    ::PostMessageW(m, WM_KEYDOWN, VK_DOWN, 0);
    ::PostMessageW(m, WM_KEYUP, VK_DOWN, 0);
  }
  ::PostMessageW(m, WM_KEYDOWN, VK_RETURN, 0);
  ::PostMessageW(m, WM_KEYUP, VK_RETURN, 0);
  return 0;
}

bool WritePng(const std::wstring& path, int w, int h, const std::vector<uint8_t>& rgb) {
  auto be32 = [](std::string& s, uint32_t v) {
    for (int i = 3; i >= 0; --i) s.push_back(static_cast<char>((v >> (i * 8)) & 0xFF));
  };
  auto chunk = [&](std::string& out, const char* type, const std::string& data) {
    be32(out, static_cast<uint32_t>(data.size()));
    std::string td = std::string(type, 4) + data;
    out += td;
    be32(out, static_cast<uint32_t>(::crc32(0, reinterpret_cast<const Bytef*>(td.data()), static_cast<uInt>(td.size()))));
  };
  std::string raw;
  for (int y = 0; y < h; ++y) {
    raw.push_back('\0');
    raw.append(reinterpret_cast<const char*>(rgb.data()) + static_cast<size_t>(y) * w * 3, static_cast<size_t>(w) * 3);
  }
  uLongf zlen = ::compressBound(static_cast<uLong>(raw.size()));
  std::string z(zlen, '\0');
  if (::compress2(reinterpret_cast<Bytef*>(z.data()), &zlen, reinterpret_cast<const Bytef*>(raw.data()),
                  static_cast<uLong>(raw.size()), 9) != Z_OK)
    return false;
  z.resize(zlen);
  std::string png = "\x89PNG\r\n\x1a\n";
  std::string ihdr;
  be32(ihdr, static_cast<uint32_t>(w));
  be32(ihdr, static_cast<uint32_t>(h));
  ihdr += std::string("\x08\x02\x00\x00\x00", 5);
  chunk(png, "IHDR", ihdr);
  chunk(png, "IDAT", z);
  chunk(png, "IEND", "");
  FILE* f = _wfopen(path.c_str(), L"wb");
  if (!f) return false;
  std::fwrite(png.data(), 1, png.size(), f);
  std::fclose(f);
  return true;
}

int Shot(HWND form, const std::wstring& path) {
  ::SetForegroundWindow(form);
  ::RedrawWindow(form, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  ::Sleep(400);
  // The client area: the frame is the window manager's, not ours.
  RECT r;
  ::GetClientRect(form, &r);
  ::MapWindowPoints(form, nullptr, reinterpret_cast<POINT*>(&r), 2);
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = ::GetDC(nullptr);
  HDC mem = ::CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bmp = static_cast<HBITMAP>(ek::platform::CreateBitmap32(w, h, &bits));
  HGDIOBJ old = ::SelectObject(mem, bmp);
  ::BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY | CAPTUREBLT);
  ::GdiFlush();
  std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
  const auto* px = static_cast<const uint32_t*>(bits);
  for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
    rgb[i * 3] = static_cast<uint8_t>(px[i] >> 16);
    rgb[i * 3 + 1] = static_cast<uint8_t>(px[i] >> 8);
    rgb[i * 3 + 2] = static_cast<uint8_t>(px[i]);
  }
  ::SelectObject(mem, old);
  ::DeleteObject(bmp);
  ::DeleteDC(mem);
  ::ReleaseDC(nullptr, screen);
  if (!WritePng(path, w, h, rgb)) return 1;
  Out(L"size=" + ToText(w) + L"x" + ToText(h));
  return 0;
}

// Runs one command; the answer lines are collected in g_out.
int Run(const std::vector<std::wstring>& a) {
  if (a.empty()) return 2;
  const std::wstring& cmd = a[0];
  auto form = [&](size_t i) -> HWND {
    if (a.size() <= i) return nullptr;
    HWND f = FindForm(a[i]);
    if (!f) Out(L"error=no form " + a[i]);
    return f;
  };
  if (cmd == L"forms") return Forms();
  if (cmd == L"wait-form" && a.size() >= 3) {
    const bool ok = WaitFor([&] { return FindForm(a[1]) != nullptr; }, ParseInt32Or(a[2], 10000));
    Out(std::wstring(L"ok=") + (ok ? L"1" : L"0"));
    return ok ? 0 : 1;
  }
  if (cmd == L"wait-gone" && a.size() >= 3) {
    const bool ok = WaitFor([&] { return FindForm(a[1]) == nullptr; }, ParseInt32Or(a[2], 10000));
    Out(std::wstring(L"ok=") + (ok ? L"1" : L"0"));
    return ok ? 0 : 1;
  }
  if (cmd == L"wait" && a.size() >= 6) {
    std::wstring last;
    const bool ok = WaitFor(
        [&] {
          HWND f = FindForm(a[1]);
          HWND c = f ? FindControl(f, a[2]) : nullptr;
          if (!c) return false;
          last = Facts(f, c)[a[3]];
          return last == a[4];
        },
        ParseInt32Or(a[5], 10000));
    Out(std::wstring(L"ok=") + (ok ? L"1" : L"0"));
    Out(L"value=" + last);
    return ok ? 0 : 1;
  }
  if (cmd == L"wait-box" && a.size() >= 2) {
    const bool ok = WaitFor([&] { return !Boxes().empty(); }, ParseInt32Or(a[1], 10000));
    Out(std::wstring(L"ok=") + (ok ? L"1" : L"0"));
    if (ok) {
      ::Sleep(200);
      ListBoxes();
    }
    return ok ? 0 : 1;
  }
  if (cmd == L"sleep" && a.size() >= 2) {
    // A program that takes its time, for installations that must last a while.
    ::Sleep(static_cast<DWORD>(ParseInt32Or(a[1], 0)));
    return 0;
  }
  if (cmd == L"boxes") return ListBoxes();
  if (cmd == L"answer" && a.size() >= 2) return Answer(a[1], a.size() >= 3 ? a[2] : std::wstring());
  if (cmd == L"filedialog" && a.size() >= 2) return FileDialog(a[1]);
  if (cmd == L"menu") return Menu();
  if (cmd == L"menu-pick" && a.size() >= 2) return MenuPick(ParseInt32Or(a[1], 0));
  HWND f = form(1);
  if (!f) return 1;
  if (cmd == L"controls") return Controls(f);
  if (cmd == L"layout") return Layout(f);
  if (cmd == L"a11y") return Accessibility(f);
  if (cmd == L"focus") return Focus(f);
  if (cmd == L"click" && a.size() >= 3) return Click(f, a[2]);
  if (cmd == L"settext" && a.size() >= 4) return SetText(f, a[2], a[3]);
  if (cmd == L"select" && a.size() >= 4) return Select(f, a[2], ParseInt32Or(a[3], -1));
  if (cmd == L"item" && a.size() >= 5) return Item(f, a[2], ParseInt32Or(a[3], 0), a[4] == L"check");
  if (cmd == L"keys") return Keys(f, std::vector<std::wstring>(a.begin() + 2, a.end()));
  if (cmd == L"close") return ::PostMessageW(f, WM_CLOSE, 0, 0) ? 0 : 1;
  if (cmd == L"drag" && a.size() >= 5) return Drag(f, a[2], ParseInt32Or(a[3], 0), ParseInt32Or(a[4], 0));
  if (cmd == L"position") {
    RECT w;
    ::GetWindowRect(f, &w);
    Out(L"position=" + ToText(w.left) + L"," + ToText(w.top));
    return 0;
  }
  if (cmd == L"shot" && a.size() >= 3) return Shot(f, a[2]);
  if (cmd == L"move" && a.size() >= 4) {
    ::SetWindowPos(f, nullptr, ParseInt32Or(a[2], 0), ParseInt32Or(a[3], 0), 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    return 0;
  }
  Out(L"error=unknown command " + cmd);
  return 2;
}

std::string ReadAll(const std::wstring& path) {
  FILE* f = _wfopen(path.c_str(), L"rb");
  if (!f) return {};
  std::string s;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
  std::fclose(f);
  return s;
}

int Serve(const std::wstring& folder) {
  DWORD idleSince = ::GetTickCount();
  for (int seq = 0;;) {
    const std::wstring cmdFile = folder + L"\\cmd-" + ToText(seq) + L".txt";
    if (::GetFileAttributesW(cmdFile.c_str()) == INVALID_FILE_ATTRIBUTES) {
      if (::GetTickCount() - idleSince > 900000) return 0;
      ::Sleep(15);
      continue;
    }
    std::string line = ReadAll(cmdFile);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    const auto args = Split(Utf8ToWide(line), L"\t");
    if (!args.empty() && args[0] == L"quit") return 0;
    g_out.clear();
    const int rc = Run(args);
    const std::string answer = WideToUtf8(g_out + L"rc=" + ToText(rc) + L"\n");
    const std::wstring tmp = folder + L"\\res-" + ToText(seq) + L".tmp";
    FILE* f = _wfopen(tmp.c_str(), L"wb");
    if (f) {
      std::fwrite(answer.data(), 1, answer.size(), f);
      std::fclose(f);
    }
    ::MoveFileExW(tmp.c_str(), (folder + L"\\res-" + ToText(seq) + L".txt").c_str(), MOVEFILE_REPLACE_EXISTING);
    ::DeleteFileW(cmdFile.c_str());
    idleSince = ::GetTickCount();
    ++seq;
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  ::SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (argc < 3) return 2;
  const bool serve = std::wstring(argv[1]) == L"serve";
  if (serve && argc < 4) return 2;
  g_setupPaths = Split(Lower(serve ? argv[3] : argv[2]), L"|");
  if (serve) return Serve(argv[2]);
  std::vector<std::wstring> args{argv[1]};
  for (int i = 3; i < argc; ++i) args.emplace_back(argv[i]);
  const int rc = Run(args);
  const std::string out = WideToUtf8(g_out);
  std::fwrite(out.data(), 1, out.size(), stdout);
  return rc;
}
