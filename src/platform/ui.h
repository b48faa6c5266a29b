// Message boxes, the message loop and the fatal-exception hook; the forms
// and controls themselves are in platform/window.h.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/process.h"
#include "platform/window.h"

namespace ek::platform {

enum class MsgIcon { None, Error, Warning, Question, Information };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
enum class MsgResult { None, Ok, Cancel, Abort, Retry, Ignore, Yes, No, YesToAll, NoToAll };

struct MessageRequest {
  WindowHandle owner = nullptr;
  std::wstring text;
  std::wstring caption;
  MsgIcon icon = MsgIcon::None;
  MsgButtons buttons = MsgButtons::Ok;
  int defaultButton = 1;  // 1, 2 or 3
  bool topmost = false;
};
MsgResult ShowMessage(const MessageRequest& request);
// Yes, No, Yes to All, No to All (warning icon); closing counts as No.
[[nodiscard]] MsgResult AskOverwrite(WindowHandle owner, const std::wstring& text, const std::wstring& caption);

// Lets pending window messages run. False once WM_QUIT was seen (the
// application is terminating).
bool PumpMessages();
[[nodiscard]] bool ApplicationTerminating();
// Runs the message loop until WM_QUIT; returns its exit code.
[[nodiscard]] int RunMessageLoop();
void PostQuit(int code);

void InitCommonControls();
[[nodiscard]] int ScreenDpi();

// Dispatches one message the way every loop of the program does: the form
// of its window sees keys first, then the dialog keys (Tab, arrows, Enter,
// Escape, mnemonics) move through its controls.
void DispatchWindowMessage(void* msg);

// An exception that escapes an event handler ends the program: the handler
// set here is told what escaped (it logs, saves the log and cleans up), then
// the process exits with code 1. Call only inside a catch block.
using FatalHandler = void (*)(std::string_view what);
void SetFatalHandler(FatalHandler handler);
[[noreturn]] void HandleEscapedException();

}  // namespace ek::platform
