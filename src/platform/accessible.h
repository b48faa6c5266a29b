// Names and roles for screen readers: the system's own accessible object of
// a control, with the name (and for some controls the role and the check
// state of list items) that the toolkit knows better.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace ek::platform {

struct AccessibleOverride {
  std::wstring name;  // empty: the system's
  long role = 0;      // 0: the system's
  long state = 0;     // bits added to the control's own state (checked)
  // The items of a list (children 1 .. count): their names and the state
  // bits they add (checked, unavailable).
  long itemCount = 0;
  std::function<std::wstring(long child)> itemName;
  std::function<long(long child)> itemState;
};

// The answer to WM_GETOBJECT for the client object; 0 when the system's
// default should answer.
LRESULT AnswerGetObject(HWND hwnd, WPARAM wp, LPARAM lp, const AccessibleOverride& o);

}  // namespace ek::platform
