#include "install/environment_action.h"

namespace ek {

void ApplyEnvironmentRecord(std::wstring_view) {}

}  // namespace ek
