#include "platform/ui.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <vector>

namespace ek::platform {
namespace {

bool g_quitSeen = false;
int g_quitCode = 0;
std::vector<Form::Impl*> g_forms;

UINT IconFlag(MsgIcon i) {
  switch (i) {
    case MsgIcon::Error: return MB_ICONERROR;
    case MsgIcon::Warning: return MB_ICONWARNING;
    case MsgIcon::Question: return MB_ICONQUESTION;
    case MsgIcon::Information: return MB_ICONINFORMATION;
    case MsgIcon::None: return 0;
  }
  return 0;
}

UINT ButtonFlag(MsgButtons b) {
  switch (b) {
    case MsgButtons::Ok: return MB_OK;
    case MsgButtons::OkCancel: return MB_OKCANCEL;
    case MsgButtons::YesNo: return MB_YESNO;
    case MsgButtons::YesNoCancel: return MB_YESNOCANCEL;
    case MsgButtons::RetryCancel: return MB_RETRYCANCEL;
    case MsgButtons::AbortRetryIgnore: return MB_ABORTRETRYIGNORE;
  }
  return MB_OK;
}

COLORREF ToColorRef(uint32_t c) { return static_cast<COLORREF>(c & 0x00FFFFFF); }

}  // namespace

MsgResult ShowMessage(const MessageRequest& r) {
  UINT flags = IconFlag(r.icon) | ButtonFlag(r.buttons);
  if (r.defaultButton == 2) flags |= MB_DEFBUTTON2;
  if (r.defaultButton == 3) flags |= MB_DEFBUTTON3;
  if (r.topmost) flags |= MB_TOPMOST;
  switch (::MessageBoxW(static_cast<HWND>(r.owner), r.text.c_str(), r.caption.c_str(), flags)) {
    case IDOK: return MsgResult::Ok;
    case IDCANCEL: return MsgResult::Cancel;
    case IDABORT: return MsgResult::Abort;
    case IDRETRY: return MsgResult::Retry;
    case IDIGNORE: return MsgResult::Ignore;
    case IDYES: return MsgResult::Yes;
    case IDNO: return MsgResult::No;
    default: return MsgResult::None;
  }
}

MsgResult AskOverwrite(WindowHandle owner, const std::wstring& text, const std::wstring& caption) {
  TASKDIALOG_BUTTON buttons[] = {{IDYES, L"&Yes"}, {IDNO, L"&No"}, {1001, L"Yes to &All"}, {1002, L"N&o to All"}};
  TASKDIALOGCONFIG cfg{};
  cfg.cbSize = sizeof cfg;
  cfg.hwndParent = static_cast<HWND>(owner);
  cfg.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
  cfg.pszWindowTitle = caption.c_str();
  cfg.pszMainIcon = TD_WARNING_ICON;
  cfg.pszContent = text.c_str();
  cfg.cButtons = 4;
  cfg.pButtons = buttons;
  cfg.nDefaultButton = IDYES;
  int pressed = 0;
  if (FAILED(::TaskDialogIndirect(&cfg, &pressed, nullptr, nullptr))) {
    // Without task dialogs: Yes/No only.
    MessageRequest r{owner, text, caption, MsgIcon::Warning, MsgButtons::YesNo, 1, false};
    return ShowMessage(r) == MsgResult::Yes ? MsgResult::Yes : MsgResult::No;
  }
  switch (pressed) {
    case IDYES: return MsgResult::Yes;
    case 1001: return MsgResult::YesToAll;
    case 1002: return MsgResult::NoToAll;
    default: return MsgResult::No;
  }
}

namespace {

// Key preview: the form sees key presses before its controls.
bool PreviewKey(const MSG& msg);

}  // namespace

bool PumpMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      g_quitSeen = true;
      g_quitCode = static_cast<int>(msg.wParam);
      return false;
    }
    if (PreviewKey(msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return !g_quitSeen;
}

bool ApplicationTerminating() { return g_quitSeen; }

int RunMessageLoop() {
  if (g_quitSeen) return g_quitCode;
  MSG msg;
  while (true) {
    BOOL r = ::GetMessageW(&msg, nullptr, 0, 0);
    if (r == 0 || r == -1) {
      g_quitSeen = true;
      g_quitCode = r == 0 ? static_cast<int>(msg.wParam) : 0;
      return g_quitCode;
    }
    if (PreviewKey(msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

void PostQuit(int code) { ::PostQuitMessage(code); }

void InitCommonControls() {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&icc);
}

int ScreenDpi() {
  HDC dc = ::GetDC(nullptr);
  int dpi = dc ? ::GetDeviceCaps(dc, LOGPIXELSY) : 96;
  if (dc) ::ReleaseDC(nullptr, dc);
  return dpi > 0 ? dpi : 96;
}

class NativeControl : public Control {
 public:
  enum class Kind { Label, Button, Link, Progress };
  NativeControl(Kind kind, HWND hwnd, bool autoSize) : kind_(kind), hwnd_(hwnd), autoSize_(autoSize) {}
  ~NativeControl() override {
    if (font_) ::DeleteObject(font_);
  }
  WindowHandle handle() const override { return hwnd_; }
  void SetText(const std::wstring& text) override {
    ::SetWindowTextW(hwnd_, text.c_str());
    if (autoSize_) FitToText();
  }
  std::wstring Text() const override {
    int n = ::GetWindowTextLengthW(hwnd_);
    std::wstring s(static_cast<size_t>(n) + 1, L'\0');
    n = ::GetWindowTextW(hwnd_, s.data(), n + 1);
    s.resize(static_cast<size_t>(std::max(n, 0)));
    return s;
  }
  void Show(bool visible) override { ::ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE); }
  bool IsVisible() const override { return (::GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0; }
  void Enable(bool enabled) override { ::EnableWindow(hwnd_, enabled ? TRUE : FALSE); }
  bool IsEnabled() const override { return ::IsWindowEnabled(hwnd_) != 0; }
  void SetBounds(int x, int y, int w, int h) override { ::MoveWindow(hwnd_, x, y, w, h, TRUE); }
  void GetBounds(int& x, int& y, int& w, int& h) const override {
    RECT r;
    ::GetWindowRect(hwnd_, &r);
    POINT p{r.left, r.top};
    ::ScreenToClient(::GetParent(hwnd_), &p);
    x = p.x;
    y = p.y;
    w = r.right - r.left;
    h = r.bottom - r.top;
  }
  void SetFont(const std::wstring& face, int points, bool bold, bool italic, bool underline) override {
    HDC dc = ::GetDC(hwnd_);
    int height = -::MulDiv(points, ::GetDeviceCaps(dc, LOGPIXELSY), 72);
    ::ReleaseDC(hwnd_, dc);
    HFONT f = ::CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic, underline, FALSE, DEFAULT_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, face.c_str());
    if (!f) return;
    ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(f), TRUE);
    if (font_) ::DeleteObject(font_);
    font_ = f;
    if (autoSize_) FitToText();
  }
  void SetColor(uint32_t color) override {
    color_ = ToColorRef(color);
    hasColor_ = true;
    ::InvalidateRect(hwnd_, nullptr, TRUE);
  }
  void SetPosition(int percent) override {
    if (kind_ == Kind::Progress && percent != position_) {
      position_ = percent;
      ::SendMessageW(hwnd_, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    }
  }
  int Position() const override { return position_; }
  void Repaint() override { ::UpdateWindow(hwnd_); }
  void SetShield(bool on) override {
    if (kind_ == Kind::Button) ::SendMessageW(hwnd_, BCM_SETSHIELD, 0, on ? TRUE : FALSE);
  }

  void FitToText() {
    HDC dc = ::GetDC(hwnd_);
    HGDIOBJ old = ::SelectObject(dc, font_ ? font_ : ::GetStockObject(DEFAULT_GUI_FONT));
    std::wstring t = Text();
    RECT r{0, 0, 4000, 0};
    ::DrawTextW(dc, t.empty() ? L" " : t.c_str(), -1, &r, DT_CALCRECT | DT_NOPREFIX | DT_SINGLELINE);
    ::SelectObject(dc, old);
    ::ReleaseDC(hwnd_, dc);
    int x, y, w, h;
    GetBounds(x, y, w, h);
    ::MoveWindow(hwnd_, x, y, r.right - r.left, r.bottom - r.top, TRUE);
  }

  Kind kind_;
  HWND hwnd_;
  bool autoSize_;
  HFONT font_ = nullptr;
  COLORREF color_ = 0;
  bool hasColor_ = false;
  int position_ = -1;
  std::function<void()> onClick;
};

struct Form::Impl {
  HWND hwnd = nullptr;
  Handlers handlers;
  std::vector<std::unique_ptr<NativeControl>> controls;
  HBRUSH background = nullptr;
  uint32_t color = 0xFFFFFF;
  bool waitCursor = false;
  int dpi = 96;

  NativeControl* FindControl(HWND h) {
    for (auto& c : controls)
      if (c->hwnd_ == h) return c.get();
    return nullptr;
  }

  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<Impl*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_NCCREATE) {
      auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
      self = static_cast<Impl*>(cs->lpCreateParams);
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
      self->hwnd = hwnd;
    }
    if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);
    switch (msg) {
      case WM_CLOSE:
        if (!self->handlers.closeQuery || self->handlers.closeQuery()) {
          if (self->handlers.closed) self->handlers.closed();
        }
        return 0;
      case WM_ACTIVATE:
        if (LOWORD(wp) != WA_INACTIVE && self->handlers.activated) {
          // Run after the activation has finished, as a form's OnActivate does.
          ::PostMessageW(hwnd, WM_APP + 1, 0, 0);
        }
        break;
      case WM_APP + 1:
        if (self->handlers.activated) self->handlers.activated();
        return 0;
      case WM_COMMAND: {
        HWND child = reinterpret_cast<HWND>(lp);
        if (NativeControl* c = self->FindControl(child)) {
          const WORD code = HIWORD(wp);
          if ((code == BN_CLICKED || code == STN_CLICKED) && c->onClick) c->onClick();
        }
        return 0;
      }
      case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wp);
        NativeControl* c = self->FindControl(reinterpret_cast<HWND>(lp));
        ::SetBkMode(dc, TRANSPARENT);
        if (c && c->hasColor_) ::SetTextColor(dc, c->color_);
        return reinterpret_cast<LRESULT>(self->background);
      }
      case WM_ERASEBKGND: {
        RECT r;
        ::GetClientRect(hwnd, &r);
        ::FillRect(reinterpret_cast<HDC>(wp), &r, self->background);
        return 1;
      }
      case WM_SETCURSOR:
        if (self->waitCursor) {
          ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
          return TRUE;
        }
        if (NativeControl* c = self->FindControl(reinterpret_cast<HWND>(wp))) {
          if (c->kind_ == NativeControl::Kind::Link && c->onClick) {
            ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
          }
        }
        break;
      case WM_DESTROY:
        self->hwnd = nullptr;
        break;
      default:
        break;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
  }
};

namespace {

bool PreviewKey(const MSG& msg) {
  if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
  for (Form::Impl* f : g_forms) {
    if (!f->hwnd || !f->handlers.keyDown) continue;
    if (msg.hwnd != f->hwnd && !::IsChild(f->hwnd, msg.hwnd)) continue;
    const bool alt = (::GetKeyState(VK_MENU) & 0x8000) != 0;
    const bool ctrl = (::GetKeyState(VK_CONTROL) & 0x8000) != 0;
    const bool shift = (::GetKeyState(VK_SHIFT) & 0x8000) != 0;
    return f->handlers.keyDown(static_cast<int>(msg.wParam), alt, ctrl, shift);
  }
  return false;
}

}  // namespace

Form::Form() : impl_(std::make_unique<Impl>()) { g_forms.push_back(impl_.get()); }

Form::~Form() {
  g_forms.erase(std::remove(g_forms.begin(), g_forms.end(), impl_.get()), g_forms.end());
  Destroy();
  if (impl_->background) ::DeleteObject(impl_->background);
}

bool Form::Create(const std::wstring& caption, int clientWidth, int clientHeight, uint32_t color) {
  static bool registered = false;
  HINSTANCE inst = ::GetModuleHandleW(nullptr);
  if (!registered) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &Impl::Proc;
    wc.hInstance = inst;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = ::LoadIconW(inst, MAKEINTRESOURCEW(1));
    wc.lpszClassName = L"EkSetupForm";
    if (!::RegisterClassExW(&wc)) return false;
    registered = true;
  }
  impl_->dpi = ScreenDpi();
  SetBackground(color);
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  RECT r{0, 0, Scale(clientWidth), Scale(clientHeight)};
  ::AdjustWindowRectEx(&r, style, FALSE, WS_EX_APPWINDOW);
  const int w = r.right - r.left, h = r.bottom - r.top;
  const int x = (::GetSystemMetrics(SM_CXSCREEN) - w) / 2, y = (::GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  HWND hwnd = ::CreateWindowExW(WS_EX_APPWINDOW, L"EkSetupForm", caption.c_str(), style, x, y, w, h, nullptr, nullptr,
                                inst, impl_.get());
  return hwnd != nullptr;
}

WindowHandle Form::handle() const { return impl_->hwnd; }
void Form::SetHandlers(Handlers handlers) { impl_->handlers = std::move(handlers); }
void Form::SetCaption(const std::wstring& text) {
  if (impl_->hwnd) ::SetWindowTextW(impl_->hwnd, text.c_str());
}
std::wstring Form::Caption() const {
  if (!impl_->hwnd) return std::wstring();
  wchar_t buf[1024];
  int n = ::GetWindowTextW(impl_->hwnd, buf, 1024);
  return std::wstring(buf, static_cast<size_t>(std::max(n, 0)));
}
void Form::Show(bool visible) {
  if (impl_->hwnd) ::ShowWindow(impl_->hwnd, visible ? SW_SHOW : SW_HIDE);
}
bool Form::IsVisible() const { return impl_->hwnd && ::IsWindowVisible(impl_->hwnd); }
void Form::Close() {
  if (impl_->hwnd) ::SendMessageW(impl_->hwnd, WM_CLOSE, 0, 0);
}
void Form::Destroy() {
  if (impl_->hwnd) ::DestroyWindow(impl_->hwnd);
  impl_->hwnd = nullptr;
}
int Form::ClientWidth() const {
  RECT r{};
  if (impl_->hwnd) ::GetClientRect(impl_->hwnd, &r);
  return r.right;
}
int Form::ClientHeight() const {
  RECT r{};
  if (impl_->hwnd) ::GetClientRect(impl_->hwnd, &r);
  return r.bottom;
}
void Form::SetClientSize(int width, int height) {
  if (!impl_->hwnd) return;
  RECT r{0, 0, width, height};
  ::AdjustWindowRectEx(&r, static_cast<DWORD>(::GetWindowLongW(impl_->hwnd, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(::GetWindowLongW(impl_->hwnd, GWL_EXSTYLE)));
  ::SetWindowPos(impl_->hwnd, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
}
void Form::GetPosition(int& left, int& top) const {
  RECT r{};
  if (impl_->hwnd) ::GetWindowRect(impl_->hwnd, &r);
  left = r.left;
  top = r.top;
}
void Form::SetPosition(int left, int top) {
  if (impl_->hwnd) ::SetWindowPos(impl_->hwnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}
void Form::SetWaitCursor(bool wait) {
  impl_->waitCursor = wait;
  ::SetCursor(::LoadCursorW(nullptr, wait ? IDC_WAIT : IDC_ARROW));
}
void Form::Flash() {
  if (impl_->hwnd) ::FlashWindow(impl_->hwnd, TRUE);
}
bool Form::IsForeground() const { return impl_->hwnd && ::GetForegroundWindow() == impl_->hwnd; }
void Form::BringToFront() {
  if (impl_->hwnd) ::SetForegroundWindow(impl_->hwnd);
}
void Form::SetBackground(uint32_t color) {
  impl_->color = color;
  if (impl_->background) ::DeleteObject(impl_->background);
  impl_->background = ::CreateSolidBrush(ToColorRef(color));
  if (impl_->hwnd) ::InvalidateRect(impl_->hwnd, nullptr, TRUE);
}
uint32_t Form::Background() const { return impl_->color; }
int Form::Scale(int pixels) const { return ::MulDiv(pixels, impl_->dpi, 96); }

namespace {

NativeControl* AddControl(Form::Impl* impl, NativeControl::Kind kind, const wchar_t* cls, DWORD style,
                          const std::wstring& text, int x, int y, int w, int h, bool autoSize) {
  HWND child = ::CreateWindowExW(0, cls, text.c_str(), WS_CHILD | style, x, y, w, h, impl->hwnd, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
  if (!child) return nullptr;
  impl->controls.push_back(std::make_unique<NativeControl>(kind, child, autoSize));
  NativeControl* c = impl->controls.back().get();
  ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  return c;
}

}  // namespace

Control* Form::AddLabel(const std::wstring& text, int x, int y, int w, int h, bool autoSize) {
  DWORD style = SS_NOPREFIX | (autoSize ? SS_LEFT : (SS_CENTER | SS_EDITCONTROL));
  return AddControl(impl_.get(), NativeControl::Kind::Label, L"STATIC", style, text, Scale(x), Scale(y), Scale(w),
                    Scale(h), autoSize);
}

Control* Form::AddButton(const std::wstring& text, int x, int y, int w, int h, std::function<void()> onClick) {
  NativeControl* c = AddControl(impl_.get(), NativeControl::Kind::Button, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP |
                                WS_VISIBLE | BS_MULTILINE, text, Scale(x), Scale(y), Scale(w), Scale(h), false);
  if (c) c->onClick = std::move(onClick);
  return c;
}

Control* Form::AddLink(const std::wstring& text, int x, int y, std::function<void()> onClick) {
  NativeControl* c = AddControl(impl_.get(), NativeControl::Kind::Link, L"STATIC", SS_NOTIFY | SS_NOPREFIX, text,
                                Scale(x), Scale(y), Scale(40), Scale(14), true);
  if (c) {
    c->onClick = std::move(onClick);
    c->SetColor(::GetSysColor(COLOR_HOTLIGHT));
  }
  return c;
}

Control* Form::AddProgressBar(int x, int y, int w, int h) {
  NativeControl* c = AddControl(impl_.get(), NativeControl::Kind::Progress, PROGRESS_CLASSW, 0, L"", Scale(x),
                                Scale(y), Scale(w), Scale(h), false);
  if (c) ::SendMessageW(static_cast<HWND>(c->handle()), PBM_SETRANGE32, 0, 100);
  return c;
}

}  // namespace ek::platform
