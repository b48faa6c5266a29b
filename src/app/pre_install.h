// First activation: the existing-installation decision, the checks and the
// options defaults, before the Install button becomes clickable.
#pragma once

namespace ek {

void PreInstallFlow();
void DetectInstalledVersion();
// Which options-dialog groups are in use and what they show by default.
void ApplyOptionsDefaults();

}  // namespace ek
