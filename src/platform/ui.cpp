#include "platform/ui.h"

#include <windows.h>
#include <commctrl.h>

#include <exception>

namespace ek::platform {
namespace {

bool g_quitSeen = false;
int g_quitCode = 0;
FatalHandler g_fatalHandler = nullptr;

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

bool PumpMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      g_quitSeen = true;
      g_quitCode = static_cast<int>(msg.wParam);
      return false;
    }
    DispatchWindowMessage(&msg);
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
    DispatchWindowMessage(&msg);
  }
}

void PostQuit(int code) { ::PostQuitMessage(code); }

void InitCommonControls() {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES | ICC_LINK_CLASS};
  ::InitCommonControlsEx(&icc);
}

int ScreenDpi() {
  HDC dc = ::GetDC(nullptr);
  int dpi = dc ? ::GetDeviceCaps(dc, LOGPIXELSY) : 96;
  if (dc) ::ReleaseDC(nullptr, dc);
  return dpi > 0 ? dpi : 96;
}

void SetFatalHandler(FatalHandler handler) { g_fatalHandler = handler; }

void HandleEscapedException() {
  std::string what;
  try {
    throw;
  } catch (const std::exception& e) {
    what = e.what();
  } catch (...) {
    what = "unknown exception";
  }
  // A handler that fails in turn must not loop back here.
  static bool reporting = false;
  if (g_fatalHandler && !reporting) {
    reporting = true;
    try {
      g_fatalHandler(what);
    } catch (...) {
    }
  }
  ::ExitProcess(1);
}

}  // namespace ek::platform
