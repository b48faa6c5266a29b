// Windows, controls, message boxes and the message loop: the thin layer the
// forms of src/ui are built from.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/process.h"

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

class Control;

// A top-level window with a fixed border, system menu and minimise box.
class Form {
 public:
  struct Handlers {
    std::function<bool()> closeQuery;        // true allows the close
    std::function<void()> closed;            // after the close was allowed
    std::function<void()> activated;         // every activation
    std::function<bool(int key, bool alt, bool ctrl, bool shift)> keyDown;  // true: handled
  };

  Form();
  ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  [[nodiscard]] bool Create(const std::wstring& caption, int clientWidth, int clientHeight, uint32_t color);
  [[nodiscard]] WindowHandle handle() const;
  void SetHandlers(Handlers handlers);
  void SetCaption(const std::wstring& text);
  [[nodiscard]] std::wstring Caption() const;
  void Show(bool visible);
  [[nodiscard]] bool IsVisible() const;
  void Close();  // runs the close query like the system menu does
  void Destroy();
  [[nodiscard]] int ClientWidth() const;
  [[nodiscard]] int ClientHeight() const;
  void SetClientSize(int width, int height);
  void GetPosition(int& left, int& top) const;
  void SetPosition(int left, int top);
  void SetWaitCursor(bool wait);
  void Flash();
  [[nodiscard]] bool IsForeground() const;
  void BringToFront();
  void SetBackground(uint32_t color);
  [[nodiscard]] uint32_t Background() const;
  [[nodiscard]] int Scale(int pixels) const;  // 96-dpi pixels to screen pixels

  // Child controls are owned by the form.
  [[nodiscard]] Control* AddLabel(const std::wstring& text, int x, int y, int w, int h, bool autoSize);
  [[nodiscard]] Control* AddButton(const std::wstring& text, int x, int y, int w, int h, std::function<void()> onClick);
  [[nodiscard]] Control* AddLink(const std::wstring& text, int x, int y, std::function<void()> onClick);
  [[nodiscard]] Control* AddProgressBar(int x, int y, int w, int h);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

class Control {
 public:
  virtual ~Control() = default;
  [[nodiscard]] virtual WindowHandle handle() const = 0;
  virtual void SetText(const std::wstring& text) = 0;
  [[nodiscard]] virtual std::wstring Text() const = 0;
  virtual void Show(bool visible) = 0;
  [[nodiscard]] virtual bool IsVisible() const = 0;
  virtual void Enable(bool enabled) = 0;
  [[nodiscard]] virtual bool IsEnabled() const = 0;
  virtual void SetBounds(int x, int y, int w, int h) = 0;  // screen pixels
  virtual void GetBounds(int& x, int& y, int& w, int& h) const = 0;
  virtual void SetFont(const std::wstring& face, int points, bool bold = false, bool italic = false,
                       bool underline = false) = 0;
  virtual void SetColor(uint32_t color) = 0;
  virtual void SetPosition(int percent) = 0;  // progress bars
  [[nodiscard]] virtual int Position() const = 0;
  virtual void Repaint() = 0;
  virtual void SetShield(bool on) = 0;        // buttons: the elevation shield
};

}  // namespace ek::platform
