#include "install/registry_action.h"

namespace ek {

bool ApplyRegistryRecord(std::wstring_view) { return true; }

}  // namespace ek
