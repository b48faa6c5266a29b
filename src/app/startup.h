// Start-up: from process start until the main window is ready.
#pragma once

#include <string>
#include <string_view>

namespace ek {

// The start-up sequence (run while the main window is being created).
void FormCreate();
// Ends start-up with an error code: message box (unless silent), "Halt=" log
// line, clean-up (unless the elevated instance), exit with the code.
[[noreturn]] void StopWithError(int code);
std::wstring StopErrorText(int code);

// The value the own file name gives ExtraVar (setup_de.exe gives "de").
std::wstring ExtraVarFromFileName(std::wstring_view fileName);
// The current user's profile folder name (last part of the profile path).
std::wstring CurrentProfileName();

}  // namespace ek
