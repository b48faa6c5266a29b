// Windows uninstall registration.
#pragma once

#include <string>
#include <string_view>

namespace ek {

// The product's entry in the Windows list of installed programs.
void RegisterUninstallEntry();

}  // namespace ek
