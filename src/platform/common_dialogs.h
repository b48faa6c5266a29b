// The system's file-open and folder dialogs, and printing a document through
// the program registered for it.
#pragma once

#include <optional>
#include <string>

#include "platform/process.h"

namespace ek::platform {

struct OpenFileRequest {
  WindowHandle owner = nullptr;
  std::wstring filterName;  // "Archive Files (*.zip;*.7z)"
  std::wstring patterns;    // "*.zip;*.7z"
  std::wstring initialPath;
  std::wstring title;       // empty: the dialog's own
};
// The chosen file, which exists; nothing when the user cancels.
[[nodiscard]] std::optional<std::wstring> ChooseFile(const OpenFileRequest& request);

// The file-open dialog in folder-picking mode (file-system folders that
// exist), starting in `initialFolder` when it is not empty; or the shell's
// older folder browser (systems before Vista).
[[nodiscard]] std::optional<std::wstring> PickFolder(WindowHandle owner, const std::wstring& title,
                                                     const std::wstring& initialFolder, bool legacyBrowser = false);

}  // namespace ek::platform
