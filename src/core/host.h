// The window as the subsystems see it: its caption, the installation screen
// (title, description, progress), the wait label, message boxes and the
// message pump. The program's main window implements it; until then (early
// start-up, unit tests, a silent run without a window) the default host
// shows boxes without an owner and ignores the rest.
#pragma once

#include <optional>
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
  // Centres the wait label horizontally, after its caption changed.
  virtual void CenterWaitLabel() {}
  // The hourglass over the window, or the normal cursor again.
  virtual void SetWaitCursor(bool) {}

  // The language changed: every text of the window is set again.
  virtual void ApplyLanguageTexts() {}
  // The presets of the setup state changed: the options dialog refills itself.
  virtual void RefreshOptions() {}

  // Dialogs that ask the user for something. Without a window to show them
  // in, the default host answers as if the user had cancelled.
  // A text input box: the text on OK, nothing on Cancel.
  virtual std::optional<std::wstring> InputBox(const std::wstring& /*title*/, const std::wstring& /*prompt*/,
                                               const std::wstring& /*initial*/) {
    return std::nullopt;
  }
  // The open-file dialog for any file: the chosen file.
  virtual std::optional<std::wstring> ChooseFile() { return std::nullopt; }
  struct FolderRequest {
    std::wstring title;
    std::wstring initialFolder;  // empty: the dialog's own default
    bool legacyBrowser = false;  // the shell's folder browser of systems before Vista
  };
  // A folder picker: the chosen folder.
  virtual std::optional<std::wstring> ChooseFolder(const FolderRequest&) { return std::nullopt; }

  // Boxes are owned by Owner(); an empty caption is the window's own.
  virtual platform::MsgResult Message(platform::MessageRequest request);
  // A box of its own, owned by no window, exactly as requested.
  virtual platform::MsgResult UnownedMessage(const platform::MessageRequest& request);
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
// A box owned by no window, under the caption given.
platform::MsgResult MessageWithoutOwner(const std::wstring& text, const std::wstring& caption, platform::MsgIcon icon,
                                        platform::MsgButtons buttons = platform::MsgButtons::Ok, bool topmost = false);

}  // namespace ek
