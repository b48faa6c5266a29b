// The one process-wide record of the engine: loaded documents, machine facts,
// run mode, the user's choices and the flags through which the parts of the
// engine talk to each other. Touched only on the GUI thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/ini_document.h"

namespace ek {

// A check box or group of the options dialog as the rest of the engine sees
// it: the dialog (when shown) reads and writes these.
struct OptionControl {
  bool visible = false;
  bool enabled = true;
  bool checked = false;
};

struct ComponentItem {
  std::wstring text;
  bool checked = false;
  bool enabled = true;
};

struct OptionsState {
  OptionControl CheckDesktop;
  OptionControl CheckPrograms;
  OptionControl CheckAssociate;
  OptionControl CheckStartup;
  OptionControl CheckAddTask;
  OptionControl RadioGroup1;     // checked: item 1 (all users) selected
  OptionControl GroupBox3;       // custom combo box group
  OptionControl GroupBox4;       // components group
  OptionControl GroupBox5;       // user information group
  OptionControl ComboBox1;       // the custom drop-down list (its clickable state)
  OptionControl EUser;           // the name field, with its label LUser
  OptionControl ECustomInfo;     // the custom field, with its label and browse button
  bool Label1Visible = true;     // the user-information introduction
  bool EInstallDirEnabled = true;
  std::vector<ComponentItem> CheckListBox1;
};

struct SetupState {
  // Loaded data
  std::unique_ptr<IniDocument> SetupConfig;
  std::unique_ptr<IniDocument> LanguageTexts;
  std::unique_ptr<IniDocument> UninstallIni;
  std::vector<std::wstring> ScratchKeyList;
  std::vector<std::wstring> SetupLog;
  std::vector<std::wstring> LanguageList;

  // Process and environment
  bool IsAdmin = false;
  bool Is64BitOS = false;
  bool Is64BitEngine = true;
  bool Silent = false;
  bool Relaunched = false;
  std::wstring InvokingUserName;
  std::wstring SetupTempDir;
  bool StartupDone = false;
  bool FirstActivation = true;
  bool SaveLog = false;

  // Package and sizes
  uint32_t EngineSize = 0;
  uint32_t DataArchiveSize = 0;
  int64_t TotalSize = 0;
  int64_t SourceSize = 0;
  int64_t AddonSize = 0;
  bool AdminFlag = false;

  // Product and package choices
  std::wstring AppNameVersion;
  std::wstring LanguageName;
  std::wstring UninstallFile;
  bool CreateUninstaller = false;
  std::wstring ExtraVar;
  std::wstring DataFile;

  // Existing installation
  std::wstring InstalledVersion;
  std::wstring InstalledUninstaller;
  std::wstring InstalledKeyName;
  bool InstalledAllUsers = false;
  bool UpdateMode = false;

  // User choices
  std::wstring InstallDir;
  std::wstring MainExe;
  std::wstring ProgramGroup;
  bool AllUsers = true;
  bool NeedsElevation = false;
  bool CheckBoxValue = false;
  int32_t CheckBoxPreset = -1;
  int32_t ComboBoxIndex = -1;
  std::wstring ComboBox;
  std::wstring QueryText;
  std::wstring QueryCustom;
  bool UserInfoHidden = true;

  // Run state
  bool InstallRunning = false;
  bool CancelRequested = false;
  bool InstallationCompleted = false;
  bool HadErrors = false;
  bool HaltRequested = false;
  bool StopRequested = false;
  std::wstring LastExitCode = L"-1";
  int32_t VariablesResultCount = 0;
  uint32_t FoundProcessId = 0;
  std::wstring UiFontFile;
  bool NoLongPathPrefix = false;

  // Install driver
  int64_t FilesBase = 0;
  int64_t RegistryValuesBase = 0;
  int64_t FilesAdded = 0;
  int64_t RegistryValuesAdded = 0;
  bool CheckUninstallDuplicates = false;
  bool LimitDuplicateCheck = false;
  bool ExactDuplicateCompare = false;
  bool BackupFiles = false;
  std::wstring FailedIniFile;
  std::wstring RegAsmPath;

  // The options dialog's controls that other parts read.
  OptionsState Options;
};

SetupState& State();

// The configuration; an empty document once it has been released.
const IniDocument& Config();
IniDocument& MutableConfig();
const IniDocument& Language();

// Engine switch lookup on the current configuration.
bool Switch(std::wstring_view name);

// Common reads of [Setup].
std::wstring SetupString(std::wstring_view key, std::wstring_view fallback = {});
int32_t SetupInt(std::wstring_view key, int32_t fallback);
bool SetupBool(std::wstring_view key, bool fallback = false);

// "1" or "0".
inline const wchar_t* BoolText(bool value) { return value ? L"1" : L"0"; }

// Releases SetupConfig, LanguageTexts and ScratchKeyList (exit paths).
void ReleaseDocuments();

// Whether a process with this file name runs; its id goes to FoundProcessId.
bool IsProcessRunning(std::wstring_view fileName);
// Ends the process and waits a second whether or not that worked.
bool TerminateFoundProcess(uint32_t processId);
// The user's temporary folder without the trailing backslash.
std::wstring GetTempFolder();
std::wstring GetShellFolder(int csidl);

}  // namespace ek
