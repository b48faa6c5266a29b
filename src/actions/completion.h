// What the completion button does: the custom action, the launch of the
// product and the restart of Windows; and the components check.
#pragma once

#include <string>

namespace ek {

// Once, when the installation is complete; nothing in a silent run.
void RunCompletionActions();
// Asks Windows to restart, enabling the shutdown privilege when the first
// request is refused; a refusal is not reported, the caller closes as usual.
void RestartWindows();
// False when components must be chosen ([Setup] CompoMustSelect) and none
// is; the user is told unless the run is silent.
bool ComponentsSelected();
// The current directory for a started program: the command's folder when it
// exists, else the installation folder.
std::wstring StartFolderFor(const std::wstring& command);

}  // namespace ek
