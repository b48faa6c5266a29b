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
// Every loop over the records of a stage starts here: a halt or stop request
// belongs to the stage that made it, so one left by an earlier stage (a stop
// at an earlier click on Install) must not end this one before its first
// record that runs. Within a stage the requests stay, so that a request made
// at stage 2 is still seen after the stage-3 call for the same record.
void BeginCommandStage();
// Runs the records "0" .. count-1 at the stage; for stage 1 a halt ends setup
// with exit code 5.
void RunCommandStage(int stage);
// The reversible scrambling of the fields when [Setup] DataSens is set.
std::wstring DescrambleField(std::wstring_view text);

}  // namespace ek
