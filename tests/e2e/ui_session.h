// An interactive setup run under Wine, driven like a user drives it: the
// setup starts, and ekui.exe (inside Wine, next to it) finds its windows,
// reads them, clicks, types and presses keys on request.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "harness.h"

namespace e2e {

using Facts = std::map<std::string, std::string>;

struct MessageBox {
  std::string caption, text, buttons;  // buttons joined by "|"
};

class UiSession {
 public:
  // `alsoWatched`: Windows paths of programs the setup starts (an installed
  // uninstaller) whose boxes the session answers too.
  UiSession(const std::string& package, const RunOptions& options = {},
            const std::vector<std::string>& alsoWatched = {});
  ~UiSession();
  UiSession(const UiSession&) = delete;
  UiSession& operator=(const UiSession&) = delete;

  // One driver command; its answer lines. `rc` receives its result (0: done).
  std::vector<std::string> Do(const std::vector<std::string>& args, int* rc = nullptr, int timeoutSec = 90);

  bool WaitForm(const std::string& form, int ms = 60000);
  bool WaitGone(const std::string& form, int ms = 60000);
  // Until the control's fact (visible, enabled, text, checked, ...) has the value.
  bool Wait(const std::string& form, const std::string& control, const std::string& key, const std::string& value,
            int ms = 60000);
  std::map<std::string, Facts> Controls(const std::string& form);
  // The form's own facts: client (WxH pixels), caption (1 with a frame), color, dpi.
  Facts Form(const std::string& form);
  Facts Control(const std::string& form, const std::string& control);
  void Click(const std::string& form, const std::string& control);
  void SetText(const std::string& form, const std::string& control, const std::string& text);
  void Select(const std::string& form, const std::string& control, int index);
  void CheckItem(const std::string& form, const std::string& control, int index);
  void SelectItem(const std::string& form, const std::string& control, int index);
  // Real key presses to the form in front: "tab", "enter", "alt+o", "text:abc".
  bool Keys(const std::string& form, const std::vector<std::string>& keys);
  std::string Focus(const std::string& form);
  // Until the control has the focus (a closing box gives it back late).
  bool WaitFocus(const std::string& form, const std::string& control, int ms = 10000);
  std::optional<MessageBox> WaitBox(int ms = 60000);
  bool Answer(const std::string& button, const std::string& containing = "");
  // Waits for a box whose text holds `containing`.
  std::optional<MessageBox> WaitBoxWith(const std::string& containing, int ms = 60000);
  bool FileDialog(const std::string& windowsPath);
  // The rows of an open pop-up menu that show a picture; -1 when none is open.
  int MenuPictures();
  void MenuPick(int index);
  void Close(const std::string& form);
  // The form's top-left corner on the screen ("x,y"); a drag with the mouse
  // on a control returns the place after it.
  std::string Position(const std::string& form);
  std::string Drag(const std::string& form, const std::string& control, int dx, int dy);
  // Overlapping controls and cut texts, one line each.
  std::vector<std::string> LayoutProblems(const std::string& form);
  // control -> (accessible name, role, tab stop)
  struct Accessible {
    std::string name, role, tabstop;
  };
  std::map<std::string, Accessible> Accessibility(const std::string& form);
  bool Shot(const std::string& form, const std::string& unixPngPath);

  // The setup's exit code once it ended; -1 after the timeout.
  int WaitExit(int timeoutSec = 120);
  bool Running();

 private:
  int setup_ = -1;
  int driver_ = -1;
  int exitCode_ = -1;
  bool exited_ = false;
  std::string dir_;
  int seq_ = 0;
  std::vector<std::string> ektmpBefore_;
};

// "name=value" fields of a driver line split at tabs.
Facts ParseFacts(const std::string& line, size_t skip);

}  // namespace e2e
