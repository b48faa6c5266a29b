// The window as the subsystems see it: its caption, the installation screen
// (title, description, progress), the wait label, message boxes and the
// message pump. The program's main window implements it; until then (early
// start-up, unit tests, a silent run without a window) the default host
// shows boxes without an owner and ignores the rest.
#pragma once

#include <string>

#include "platform/process.h"
#include "platform/ui.h"

namespace ek {

class Host {
 public:
  virtual ~Host() = default;

  // The owner of message boxes, dialogs and started programs.
  virtual platform::WindowHandle Owner() const { return nullptr; }
  virtual std::wstring Caption() const { return L"Setup"; }

  // The installation screen: the welcome elements give way to the progress.
  virtual void HideWelcomeElements() {}
  virtual void SetTitle(const std::wstring&) {}
  virtual void SetDescription(const std::wstring&) {}
  virtual void SetProgress(int /*percent*/) {}
  virtual void ShowProgress(bool) {}

  virtual void ShowWaitLabel(bool) {}
  virtual bool WaitLabelVisible() const { return false; }
  virtual std::wstring WaitCaption() const { return {}; }
  virtual void SetWaitCaption(const std::wstring&) {}

  // Boxes are owned by Owner(); an empty caption is the window's own.
  virtual platform::MsgResult Message(platform::MessageRequest request);
  // Yes, No, Yes to All, No to All for a file that exists.
  virtual platform::MsgResult AskOverwrite(const std::wstring& text);

  // Lets pending window messages run; false once the program is ending.
  virtual bool Pump();
};

Host& host();
// Installs the program's window; nullptr restores the default host.
void SetHost(Host* window);

// A message box on the window; the caption is the window's own unless given.
platform::MsgResult MessageOnMain(const std::wstring& text, platform::MsgIcon icon,
                                  platform::MsgButtons buttons = platform::MsgButtons::Ok, int defaultButton = 1,
                                  const std::wstring& caption = std::wstring(), bool topmost = false);

}  // namespace ek
