// What the completion button does, and the components check.
#pragma once

namespace ek {

void RunCompletionActions();
// False when components must be chosen ([Setup] CompoMustSelect) and none is.
bool ComponentsChoiceValid();

}  // namespace ek
