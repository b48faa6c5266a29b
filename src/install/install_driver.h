// The installation itself: every install action in a fixed order, with the
// progress on the main window and the uninstall information kept up to date.
#pragma once

#include <string>

namespace ek {

// Returns when all steps have run; does not return when the installation is
// aborted (exit code 9) or the data archive cannot be copied (exit code 1).
void RunInstallation();
// Rolls back what the partial information file lists and exits with code 9.
// fromFileStage: the uninstaller is unpacked from the data archive first.
[[noreturn]] void AbortInstall(bool fromFileStage);
// Ends the installation when the data archive cannot be prepared (code 1).
[[noreturn]] void FailDataArchive();

// The final place of the information file: InstallDir\<UninstallFile>.ini.
std::wstring InstalledInfoFilePath();

}  // namespace ek
