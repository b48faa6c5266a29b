#include "install/install_driver.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "actions/command_list.h"
#include "actions/process_launch.h"
#include "base/record_list.h"
#include "base/result.h"
#include "base/text.h"
#include "base/uninstall_entries.h"
#include "config/language.h"
#include "config/utilities.h"
#include "config/variables.h"
#include "core/failure_report.h"
#include "core/host.h"
#include "core/memory_trace.h"
#include "core/setup_log.h"
#include "core/setup_state.h"
#include "install/association_action.h"
#include "install/environment_action.h"
#include "install/file_install.h"
#include "install/ini_action.h"
#include "install/install_journal.h"
#include "install/others_action.h"
#include "install/registry_action.h"
#include "install/shortcut_action.h"
#include "install/uninstall_info.h"
#include "install/uninstall_registration.h"
#include "platform/file_system.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "platform/ui.h"

namespace ek {
namespace {

void Caption(std::wstring_view section, int index, std::wstring_view fallback, bool pump = true) {
  host().SetTitle(LangText(section, index, fallback));
  if (pump) host().Pump();
}

void FinishingCaption() { Caption(L"Install", 10, L"Finishing setup..."); }

std::wstring TempInfoPath() { return State().SetupTempDir + L"\\" + std::wstring(uninstall::kInfoFileName); }

// The information file is the only record of what the installation did:
// a failure to write it is told and marks the run.
void SaveUninstallIni() {
  auto& s = State();
  if (!s.UninstallIni) return;
  if (WriteInformationFile(TempInfoPath(), *s.UninstallIni)) return;
  LogFailure(L"Unable to write file: " + TempInfoPath(), FailureCause());
  s.HadErrors = true;
}

std::wstring RunKeyRoot() { return State().AllUsers ? L"HKLM\\SOFTWARE\\" : L"HKCU\\Software\\"; }

// A value the setup writes itself, recorded like a configured one.
void WriteSetupValue(const std::wstring& keyPath, const std::wstring& name, const std::wstring& data) {
  if (const auto record = SetupRegistryValue(keyPath, name, data)) ApplyRegistryRecord(*record);
}

void WalkRecords(std::wstring_view section, void (*apply)(std::wstring_view)) {
  const size_t n = RecordCount(Config(), section);
  for (size_t i = 0; i < n; ++i) apply(ReadRecord(Config(), section, i));
}

// ---- the steps, in their order ---------------------------------------------

void Start() {
  auto& s = State();
  s.NoLongPathPrefix = Switch(L"-noprefix");
  s.InstallRunning = true;
  s.CancelRequested = false;
  s.HadErrors = false;
}

void ShowInstallScreen() {
  host().HideWelcomeElements();
  Caption(L"Install", 12, L"Preparing...", false);
  host().SetDescription(ExpandVariables(LangText(L"Install", 1, L"Please wait...")));
  host().SetProgress(0);
  host().ShowProgress(true);
  host().Pump();
}

void ResetInstallState() {
  auto& s = State();
  s.InstallDir = StripTrailingBackslash(Trim(s.InstallDir));
  s.FilesBase = s.RegistryValuesBase = s.FilesAdded = s.RegistryValuesAdded = 0;
}

// An update extends the information file of the installed version; its
// lists go on after their last numbers.
void OpenInformationFile() {
  auto& s = State();
  auto ini = std::make_unique<IniDocument>();
  if (s.UpdateMode) {
    const std::wstring old = InstalledInfoFilePath();
    if (platform::FileExists(ExtendedPath(old)) && platform::CopyFileTo(ExtendedPath(old), TempInfoPath(), true)) {
      bool ok = false;
      DecodedText t = platform::ReadTextFile(TempInfoPath(), TextEncoding::Utf8, &ok);
      if (ok) {
        ini->Parse(t.text);
        s.FilesBase = NextListKey(*ini, uninstall::kFiles.section);
        s.RegistryValuesBase = NextListKey(*ini, uninstall::kRegistryValues.section);
      }
    }
  }
  s.UninstallIni = std::move(ini);
}

// The commands of this installation record the uninstallation commands afresh.
void DropRecordedCommands() {
  auto& s = State();
  if (!s.UpdateMode || Switch(L"-nodelcmdonupdate")) return;
  for (const auto* list : {&uninstall::kExecAtUninstallStart, &uninstall::kExecBeforeUninstall,
                           &uninstall::kExecAfterUninstall})
    s.UninstallIni->EraseSection(list->section);
}

// Large blocks for a large archive, but never so large that the bar would
// skip one of its 30 steps: a block is at most a sixty-fourth of the archive.
size_t CopyBlockSize(uint64_t total) {
  constexpr size_t kSmallest = 4096, kLargest = 1024 * 1024;
  const uint64_t share = (total / 64) & ~static_cast<uint64_t>(kSmallest - 1);
  return static_cast<size_t>(std::clamp<uint64_t>(share, kSmallest, kLargest));
}

// The copy of the data archive; false when it could not be made. Its files
// are closed when it returns, so that a failure can clean up after it.
[[nodiscard]] bool CopyDataArchiveOut() {
  auto& s = State();
  platform::File own;
  if (!own.OpenRead(platform::ModulePath()) || !own.Seek(s.EngineSize)) return false;
  // The archive must lie inside the file, before the configuration and trailer.
  if (static_cast<uint64_t>(s.EngineSize) + s.DataArchiveSize > own.Size()) {
    WriteLog(L"Error=Damaged package: the data archive reaches beyond the end of the setup file");
    return false;
  }
  const std::wstring copy = s.SetupTempDir + L"\\ekdatafile.zip";
  platform::File out;
  if (!out.Create(copy)) {
    LogFailure(L"Unable to create file: " + copy, FailureCause());
    return false;
  }
  uint64_t copied = 0;
  const uint64_t total = s.DataArchiveSize;
  const size_t block = CopyBlockSize(total);
  std::vector<char> buf(block);
  while (true) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(block, total - copied));
    auto got = own.Read(buf.data(), want);
    // A short read inside the archive is a damaged package, not its end.
    if (!got || *got != want) {
      LogFailure(L"Error=Damaged package: the data archive cannot be read to its end", got ? L"" : FailureCause());
      return false;
    }
    if (*got && !out.Write(buf.data(), *got)) {
      LogFailure(L"Unable to create file: " + copy, FailureCause());
      return false;
    }
    copied += *got;
    if (total > 0) host().SetProgress(static_cast<int>(std::lround(static_cast<double>(copied) * 30.0 / static_cast<double>(total))));
    if (*got < block) return true;
  }
}

// The data archive out of the own file, progress 0 to 30.
void CopyDataArchive() {
  Caption(L"Install", 13, L"Extracting files...");
  platform::SleepMs(500);
  if (!CopyDataArchiveOut()) FailDataArchive();
}

void CopyFiles() {
  Caption(L"Install", 2, L"Copying files...");
  InstallFiles();
  host().SetProgress(99);
}

void CreateShortcuts() {
  FinishingCaption();
  if (Config().SectionExists(L"Shortcuts")) WalkRecords(L"Shortcuts", &CreateShortcut);
}

// The uninstaller also removes its information file.
void RecordInformationFile() {
  const auto& s = State();
  if (s.CreateUninstaller && !s.UpdateMode) AddToUninstallList(uninstall::kFiles, {InstalledInfoFilePath()});
}

// [Setup] PackageType 1: a data file beside the installer, unpacked with 7-Zip.
void ExtractDataFileBeside(const std::wstring& sevenZip, const std::wstring& parameters, int show) {
  auto& s = State();
  std::wstring d = ExpandVariables(L"<CurrentDir>\\" + SetupString(L"DataFileName"));
  if (!platform::FileExists(ExtendedPath(d))) d = s.DataFile;
  if (platform::FileExists(ExtendedPath(d)) && platform::FileExists(ExtendedPath(sevenZip))) {
    RunProcess(host().Owner(), sevenZip, ExpandVariables(L"x \"" + d + L"\" " + parameters), show, true, false, true);
  } else {
    s.HadErrors = true;
  }
}

// [Setup] PackageType 2: a data file on a web server, fetched with the
// downloader, then unpacked with 7-Zip.
void DownloadDataFile(const std::wstring& sevenZip, const std::wstring& parameters, int show) {
  auto& s = State();
  const std::wstring url = ExpandVariables(SetupString(L"DataFileName"));
  size_t slash = url.rfind(L'/');
  const std::wstring file = slash == std::wstring::npos ? url : url.substr(slash + 1);
  const std::wstring downloader = ExpandVariables(L"<SetupTempDir>\\Downloader.exe");
  if (url.empty() || file.empty() || !platform::FileExists(ExtendedPath(downloader))) {
    s.HadErrors = true;
    return;
  }
  if (!RunProcess(host().Owner(), downloader,
                  ExpandVariables(L"/S \"" + url + L"\" /D \"<SetupTempDir>\\" + file + L"\""), platform::kSwShowNormal,
                  true, false, true)) {
    s.HadErrors = true;
    return;
  }
  if (s.LastExitCode != L"2") {
    s.HadErrors = true;
    return;
  }
  host().Pump();
  if (!RunProcess(host().Owner(), sevenZip, ExpandVariables(L"x \"<SetupTempDir>\\" + file + L"\" " + parameters), show,
                  true, false, true))
    s.HadErrors = true;
}

void ExternalDataPackage() {
  auto& s = State();
  const int type = SetupInt(L"PackageType", 0);
  if (type <= 0) return;
  Caption(L"Install", 13, L"Extracting files...");
  int show = s.Silent ? platform::kSwHide : platform::kSwShowNormal;
  std::wstring parameters = SetupString(L"DataExtractParam");
  if (parameters.empty()) parameters = L"-o\"<InstallDir>\" -aoa";
  if (parameters.size() > 1 && parameters[0] == L's') {
    parameters.erase(0, 1);
    show = platform::kSwHide;
  }
  const std::wstring sevenZip = ExpandVariables(L"<SetupTempDir>\\7za.exe");
  if (type == 1) ExtractDataFileBeside(sevenZip, parameters, show);
  else DownloadDataFile(sevenZip, parameters, show);
}

void CreateAssociations() {
  if (!State().Options.CheckAssociate.checked) return;
  Caption(L"Install", 6, L"Creating associations...");
  if (const IniDocument::Section* ext = Config().GetSection(L"Extensions"))
    for (const auto& e : ext->entries) ApplyAssociation(e.value);
  host().Pump();
  platform::NotifyAssociationsChanged(true);
}

// Until a cancel request, or until the user stops after a failure.
void WriteRegistryValues() {
  if (!Config().SectionExists(L"Registry")) return;
  Caption(L"Install", 4, L"Creating registry entries...", false);
  const size_t n = RecordCount(Config(), L"Registry");
  for (size_t i = 0; i < n; ++i) {
    if (State().CancelRequested) break;
    if (!ApplyRegistryRecord(ReadRecord(Config(), L"Registry", i))) break;
  }
}

void WriteIniValues() {
  FinishingCaption();
  State().FailedIniFile.clear();
  if (Config().SectionExists(L"INI")) WalkRecords(L"INI", &ApplyIniRecord);
}

// The updater at every Windows start, when it is to check at once.
void UpdaterStartupEntry() {
  if (SetupBool(L"AutoCheckUpdate") && SetupInt(L"UpdateFrequency", -1) == 0)
    WriteSetupValue(RunKeyRoot() + L"Microsoft\\Windows\\CurrentVersion\\Run", L"<AppName> update",
                    L"\"<InstallDir>\\Updater.exe\" /X");
}

void LaunchOnStartupEntry() {
  if (State().Options.CheckStartup.checked)
    WriteSetupValue(RunKeyRoot() + L"Microsoft\\Windows\\CurrentVersion\\Run", L"<AppName>", State().MainExe);
}

void SetEnvironment() {
  if (!Config().SectionExists(L"Environments")) return;
  WalkRecords(L"Environments", &ApplyEnvironmentRecord);
  platform::BroadcastEnvironmentChange();
}

void RegisterComponents() {
  if (Config().SectionExists(L"Others")) WalkRecords(L"Others", &ApplyOthersRecord);
}

// Each record after the installation, then once more (as a command may have
// changed it) for the uninstallation moments; a halt rolls back.
void RunCommands() {
  auto& s = State();
  if (!Config().SectionExists(L"Commands")) return;
  BeginCommandStage();
  const size_t n = RecordCount(Config(), L"Commands");
  for (size_t i = 0; i < n; ++i) {
    RunCommandRecord(kAfterInstallation, ReadRecord(Config(), L"Commands", i));
    if (s.HaltRequested) {
      s.HadErrors = true;
      AbortInstall(false);
    }
    RunCommandRecord(kUninstallRegistration, ReadRecord(Config(), L"Commands", i));
  }
  FinishingCaption();
}

void AppPaths() {
  const auto& s = State();
  if (s.MainExe.empty() || !platform::FileExists(ExtendedPath(s.MainExe))) return;
  const std::wstring n = FileNamePart(s.MainExe);
  if (SetupBool(L"RegisterAppPath")) {
    const std::wstring key = L"HKEY_DEFAULT\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" + n;
    WriteSetupValue(key, L"", s.MainExe);
    WriteSetupValue(key, L"Path", FolderPart(s.MainExe));
  }
  const std::wstring app = L"HKEY_DEFAULT\\SOFTWARE\\Classes\\Applications\\" + n;
  if (Switch(L"-NoStartPage")) WriteSetupValue(app, L"NoStartPage", L"");
  if (Switch(L"-NoOpenWith")) WriteSetupValue(app, L"NoOpenWith", L"");
}

void RegisterProduct() {
  host().SetProgress(100);
  host().Pump();
  if (State().CreateUninstaller && SetupBool(L"ShowAddRemove")) RegisterUninstallEntry();
}

void SaveInformationFile() {
  SaveUninstallIni();
  State().UninstallIni.reset();
}

// The information file beside the uninstaller, or, without one, for the
// updater when it has none yet.
void HandOverInformationFile() {
  auto& s = State();
  if (s.CreateUninstaller) {
    const std::wstring target = InstalledInfoFilePath();
    if (!platform::CopyFileTo(TempInfoPath(), ExtendedPath(target), true)) {
      LogFailure(L"Unable to write file: " + target, FailureCause());
      s.HadErrors = true;
    }
  } else if (SetupBool(L"Updater")) {
    const std::wstring updaterIni = s.InstallDir + L"\\Updater.ini";
    // The updater finds its keys in the installation's folder another time.
    if (!platform::FileExists(ExtendedPath(updaterIni)))
      Ignore(platform::CopyFileTo(TempInfoPath(), ExtendedPath(updaterIni), false));
  }
}

void ScheduleUpdater() {
  const int frequency = SetupInt(L"UpdateFrequency", -1);
  if (SetupBool(L"Updater") && SetupBool(L"AutoCheckUpdate") && frequency > 0)
    RunProcess(nullptr, State().InstallDir + L"\\Updater.exe", L"/S /AUTORUNON " + ToText(frequency),
               platform::kSwShow, false, true, false);
}

void Finish() {
  auto& s = State();
  host().Pump();
  s.InstallRunning = false;
  s.InstallationCompleted = true;
  if (!s.Silent && SetupBool(L"Beep")) platform::BeepOk();
}

struct InstallStep {
  const wchar_t* name;
  void (*run)();
};
constexpr InstallStep kInstallSteps[] = {
    {L"Start", &Start},
    {L"ShowInstallScreen", &ShowInstallScreen},
    {L"ResetInstallState", &ResetInstallState},
    {L"RecoverInterruptedInstallations", &RecoverInterruptedInstallations},
    {L"OpenInformationFile", &OpenInformationFile},
    {L"DropRecordedCommands", &DropRecordedCommands},
    {L"WriteUninstallGeneralKeys", &WriteUninstallGeneralKeys},
    {L"StartInstallJournal", &StartInstallJournal},
    {L"CopyDataArchive", &CopyDataArchive},
    {L"CopyFiles", &CopyFiles},
    {L"CreateShortcuts", &CreateShortcuts},
    {L"RecordInformationFile", &RecordInformationFile},
    {L"ExternalDataPackage", &ExternalDataPackage},
    {L"CreateAssociations", &CreateAssociations},
    {L"WriteRegistryValues", &WriteRegistryValues},
    {L"WriteIniValues", &WriteIniValues},
    {L"UpdaterStartupEntry", &UpdaterStartupEntry},
    {L"LaunchOnStartupEntry", &LaunchOnStartupEntry},
    {L"SetEnvironment", &SetEnvironment},
    {L"RegisterComponents", &RegisterComponents},
    {L"RunCommands", &RunCommands},
    {L"AppPaths", &AppPaths},
    {L"RegisterProduct", &RegisterProduct},
    {L"SaveInformationFile", &SaveInformationFile},
    {L"HandOverInformationFile", &HandOverInformationFile},
    {L"EndInstallJournal", &EndInstallJournal},
    {L"ScheduleUpdater", &ScheduleUpdater},
    {L"Finish", &Finish},
};

// With EK_STEP_TIMES naming a file, each step's name, wall time in
// milliseconds and the peak working set in KiB so far go there, one line
// each, as soon as the step ends: where an installation spends its time and
// its memory, for the benchmarks.
class StepTimes {
 public:
  StepTimes() : path_(platform::EnvironmentValue(L"EK_STEP_TIMES")) {}
  void Done(const wchar_t* step) {
    TraceMemory(step);
    if (path_.empty()) return;
    const auto now = std::chrono::steady_clock::now();
    text_ += std::wstring(step) + L"\t" + ToText(std::chrono::duration_cast<std::chrono::milliseconds>(now - last_).count()) +
             L"\t" + ToTextUnsigned(platform::ProcessWorkingSet().peak / 1024) + L"\r\n";
    last_ = now;
    Ignore(platform::WriteTextFile(path_, text_, TextEncoding::Utf8));  // only a measurement
  }

 private:
  std::wstring path_, text_;
  std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

}  // namespace

std::wstring InstalledInfoFilePath() {
  const auto& s = State();
  return s.InstallDir + L"\\" + ChangeExtension(s.UninstallFile, L".ini");
}

void FailDataArchive() {
  auto& s = State();
  ReleaseDataArchive();
  EndInstallJournal();  // nothing has been installed
  ReleaseDocuments();
  s.UninstallIni.reset();
  if (!s.Relaunched) FinalCleanup();
  platform::ExitNow(1);
}

void AbortInstall(bool fromFileStage) {
  auto& s = State();
  // A halt after the file stage rolls back too: the copy of the data archive
  // is still there to take the uninstaller from.
  if (fromFileStage || !platform::FileExists(s.SetupTempDir + L"\\Uninstall.exe")) UnpackUninstallerForRollback();
  ReleaseDataArchive();
  s.SetupConfig.reset();
  s.LanguageTexts.reset();
  SaveUninstallIni();
  s.UninstallIni.reset();
  if (!s.UpdateMode) {
    const std::wstring uninstaller = s.SetupTempDir + L"\\Uninstall.exe";
    if (platform::FileExists(uninstaller))
      RunProcess(nullptr, uninstaller, L"/T /S /R", platform::kSwShowNormal, true, false, true);
  }
  // Rolled back, or an update left as it is: nothing for a later run to finish.
  EndInstallJournal();
  s.HadErrors = true;
  WriteLog(L"ExitCode=9");
  if (!s.Relaunched) FinalCleanup();
  platform::ExitNow(9);
}

void RunInstallation() {
  StepTimes times;
  for (const InstallStep& step : kInstallSteps) {
    step.run();
    times.Done(step.name);
  }
}

}  // namespace ek
