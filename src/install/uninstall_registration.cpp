#include "install/uninstall_registration.h"

namespace ek {

void RegisterUninstallEntry() {}

}  // namespace ek
