// Shortcuts and the folders that hold them.
#pragma once

#include <string>
#include <string_view>

namespace ek {

void CreateShortcut(std::wstring_view record);
// Sets the RunAsUser flag (byte 21, bit 0x20) of a .lnk file in place.
bool MarkRunAsAdministrator(const std::wstring& linkPath);

// The shell-folder variables of a shortcut folder moved to their all-users
// partners (toCommon) or back to the per-user ones; the first occurrence of
// each, letters compared without regard to case.
std::wstring SwapShortcutFolder(std::wstring_view folder, bool toCommon);

}  // namespace ek
