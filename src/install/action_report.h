// How the install actions tell the user about a failure: a message box on the
// main window with the caption "Setup" and the error icon, never in a silent
// run. Logging and HadErrors stay with each action, which knows its own line.
#pragma once

#include <string>

namespace ek {

void ShowActionError(const std::wstring& text);
// The same box with Yes and No; false only when the user answers No (a silent
// run always goes on).
bool AskContinueAfterError(const std::wstring& text);

}  // namespace ek
