#include "install/association_action.h"

namespace ek {

void ApplyAssociation(std::wstring_view) {}

}  // namespace ek
