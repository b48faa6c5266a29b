// Shortcuts and the folders that hold them.
#pragma once

#include <string>
#include <string_view>

namespace ek {

void CreateShortcut(std::wstring_view record);
// Sets the RunAsUser flag (byte 21, bit 0x20) of a .lnk file in place.
bool MarkRunAsAdministrator(const std::wstring& linkPath);

}  // namespace ek
