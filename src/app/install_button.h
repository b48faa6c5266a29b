// The Install button: checks, the CLICK INSTALL commands, the installation
// here or in an elevated copy, and the completion screen.
#pragma once

#include "platform/process.h"

namespace ek {

void BInstallClick();
// The completion button: completion actions, then the window closes.
void FinishClick();
void ShowCompletionScreen();

}  // namespace ek
