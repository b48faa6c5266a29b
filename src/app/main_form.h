// The main window's event handlers: activation, close, keys, the buttons.
#pragma once

#include <string_view>

namespace ek {

// Creates the main window and runs the start-up sequence in its creation.
void CreateMainForm();
void FormActivate();
bool FormCloseQuery();
void FormClose();

// The last resort when an exception escapes the engine (at the program entry
// or from a window's event): the log gets "Error=Unexpected error: " and the
// cause, is saved, the temporary folder is removed, and the process exits
// with code 1.
[[noreturn]] void EndOnUnexpectedError(std::string_view what) noexcept;

}  // namespace ek
