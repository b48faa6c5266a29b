#include "install/ini_action.h"

namespace ek {

void ApplyIniRecord(std::wstring_view) {}

}  // namespace ek
