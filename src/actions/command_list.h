// [Commands] records run at fixed stages.
#pragma once

#include <string>
#include <string_view>

namespace ek {

enum CommandStage {
  kBeforeInstallation = 1,
  kAtUserInformationDialog = 2,
  kAtFolderSelectDialog = 3,
  kClickInstall = 4,
  kAfterInstallation = 5,
  kUninstallRegistration = 6,
};

// One record at one stage; the outcome is left in HaltRequested,
// StopRequested, HadErrors and LastExitCode.
void RunCommandRecord(int stage, std::wstring_view record);
// Runs the records "0" .. count-1 at the stage; for stage 1 a halt ends setup
// with exit code 5.
void RunCommandStage(int stage);
// The reversible scrambling of the fields when [Setup] DataSens is set.
std::wstring DescrambleField(std::wstring_view text);

}  // namespace ek
