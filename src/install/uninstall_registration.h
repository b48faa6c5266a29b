// Windows uninstall registration.
#pragma once

#include <string>
#include <string_view>

namespace ek {

// The product's entry in the Windows list of installed programs.
void RegisterUninstallEntry();

// The key name below ...\Uninstall: the GUID, or for a side-by-side
// installation whose key exists the first free name GUID + "_ek" + 1..9
// (the GUID itself when all nine are taken).
std::wstring UninstallKeyName(const std::wstring& guid, bool sideBySide, bool (*keyExists)(const std::wstring& name));

}  // namespace ek
