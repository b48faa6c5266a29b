#include "install/shortcut_action.h"

namespace ek {

void CreateShortcut(std::wstring_view) {}
bool MarkRunAsAdministrator(const std::wstring&) { return false; }

}  // namespace ek
