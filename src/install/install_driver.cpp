#include "install/install_driver.h"

#include <cmath>

#include "actions/command_list.h"
#include "actions/process_launch.h"
#include "core/setup_log.h"
#include "core/setup_state.h"
#include "config/language.h"
#include "base/record_list.h"
#include "base/text.h"
#include "config/utilities.h"
#include "config/variables.h"
#include "install/association_action.h"
#include "install/environment_action.h"
#include "install/file_install.h"
#include "install/ini_action.h"
#include "install/others_action.h"
#include "install/registry_action.h"
#include "install/shortcut_action.h"
#include "install/uninstall_info.h"
#include "install/uninstall_registration.h"
#include "platform/file_system.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "core/host.h"

namespace ek {
namespace {

void Caption(std::wstring_view section, int index, std::wstring_view fallback, bool pump = true) {
  host().SetTitle(LangText(section, index, fallback));
  if (pump) host().Pump();
}

std::wstring TempInfoPath() { return State().SetupTempDir + L"\\Uninstall.ini"; }

void SaveUninstallIni() {
  auto& s = State();
  if (s.UninstallIni)
    platform::WriteTextFile(TempInfoPath(), s.UninstallIni->Serialize(), TextEncoding::Utf8Bom);
}

// Step 9: the data archive out of the own file, progress 0 to 30.
void CopyDataArchive() {
  auto& s = State();
  Caption(L"Install", 13, L"Extracting files...");
  platform::SleepMs(500);
  platform::File own;
  if (!own.OpenRead(platform::ModulePath()) || !own.Seek(s.EngineSize)) FailDataArchive();
  // The archive must lie inside the file, before the configuration and trailer.
  if (static_cast<uint64_t>(s.EngineSize) + s.DataArchiveSize > own.Size()) FailDataArchive();
  platform::File out;
  if (!out.Create(s.SetupTempDir + L"\\ekdatafile.zip")) FailDataArchive();
  std::vector<char> buf(4096);
  uint64_t copied = 0;
  const uint64_t total = s.DataArchiveSize;
  while (true) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(4096, total - copied));
    auto got = own.Read(buf.data(), want);
    // A short read inside the archive is a damaged package, not its end.
    if (!got || *got != want) FailDataArchive();
    if (*got && !out.Write(buf.data(), *got)) FailDataArchive();
    copied += *got;
    if (total > 0) host().SetProgress(static_cast<int>(std::lround(static_cast<double>(copied) * 30.0 / static_cast<double>(total))));
    if (*got < 4096) break;
  }
}

std::wstring RunKeyRoot() { return State().AllUsers ? L"HKLM\\SOFTWARE\\" : L"HKCU\\Software\\"; }

std::wstring EngineRecord(const std::wstring& key, const std::wstring& name, const std::wstring& data) {
  return key + L"*?" + name + L"*?REG_SZ*?" + data + L"*?Yes*?Yes*?Default";
}

void ExternalDataPackage() {
  auto& s = State();
  const int type = SetupInt(L"PackageType", 0);
  if (type <= 0) return;
  Caption(L"Install", 13, L"Extracting files...");
  int show = s.Silent ? platform::kSwHide : platform::kSwShowNormal;
  std::wstring x = SetupString(L"DataExtractParam");
  if (x.empty()) x = L"-o\"<InstallDir>\" -aoa";
  if (x.size() > 1 && x[0] == L's') {
    x.erase(0, 1);
    show = platform::kSwHide;
  }
  const std::wstring seven = ExpandVariables(L"<SetupTempDir>\\7za.exe");
  if (type == 1) {
    std::wstring d = ExpandVariables(L"<CurrentDir>\\" + SetupString(L"DataFileName"));
    if (!platform::FileExists(ExtendedPath(d))) d = s.DataFile;
    if (platform::FileExists(ExtendedPath(d)) && platform::FileExists(ExtendedPath(seven))) {
      RunProcess(host().Owner(), seven, ExpandVariables(L"x \"" + d + L"\" " + x), show, true, false, true);
    } else {
      s.HadErrors = true;
    }
    return;
  }
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
  if (!RunProcess(host().Owner(), seven, ExpandVariables(L"x \"<SetupTempDir>\\" + file + L"\" " + x), show, true,
                  false, true))
    s.HadErrors = true;
}

void WalkRecords(std::wstring_view section, void (*apply)(std::wstring_view)) {
  const size_t n = RecordCount(Config(), section);
  for (size_t i = 0; i < n; ++i) apply(ReadRecord(Config(), section, i));
}

}  // namespace

std::wstring InstalledInfoFilePath() {
  const auto& s = State();
  return s.InstallDir + L"\\" + ChangeExtension(s.UninstallFile, L".ini");
}

void FailDataArchive() {
  auto& s = State();
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
  s.SetupConfig.reset();
  s.LanguageTexts.reset();
  SaveUninstallIni();
  s.UninstallIni.reset();
  if (!s.UpdateMode) {
    const std::wstring uninstaller = s.SetupTempDir + L"\\Uninstall.exe";
    if (platform::FileExists(uninstaller))
      RunProcess(nullptr, uninstaller, L"/T /S /R", platform::kSwShowNormal, true, false, true);
  }
  s.HadErrors = true;
  WriteLog(L"ExitCode=9");
  if (!s.Relaunched) FinalCleanup();
  platform::ExitNow(9);
}

void RunInstallation() {
  auto& s = State();
  // 1. Start.
  s.NoLongPathPrefix = Switch(L"-noprefix");
  s.InstallRunning = true;
  s.CancelRequested = false;
  s.HadErrors = false;
  // 2. Window.
  host().HideWelcomeElements();
  Caption(L"Install", 12, L"Preparing...", false);
  host().SetDescription(ExpandVariables(LangText(L"Install", 1, L"Please wait...")));
  host().SetProgress(0);
  host().ShowProgress(true);
  host().Pump();
  // 3, 4.
  s.InstallDir = StripTrailingBackslash(Trim(s.InstallDir));
  s.FilesBase = s.RegistryValuesBase = s.FilesAdded = s.RegistryValuesAdded = 0;
  // 5, 6. Update take-over and the information file under construction.
  auto ini = std::make_unique<IniDocument>();
  if (s.UpdateMode) {
    const std::wstring old = InstalledInfoFilePath();
    if (platform::FileExists(ExtendedPath(old)) && platform::CopyFileTo(ExtendedPath(old), TempInfoPath(), true)) {
      bool ok = false;
      DecodedText t = platform::ReadTextFile(TempInfoPath(), TextEncoding::Utf8, &ok);
      if (ok) {
        ini->Parse(t.text);
        s.FilesBase = NextListKey(*ini, L"Files");
        s.RegistryValuesBase = NextListKey(*ini, L"RegistryValues");
      }
    }
  }
  s.UninstallIni = std::move(ini);
  // 7.
  if (s.UpdateMode && !Switch(L"-nodelcmdonupdate")) {
    for (const wchar_t* sec : {L"ExecAtUninstallStart", L"ExecBeforeUninstall", L"ExecAfterUninstall"})
      s.UninstallIni->EraseSection(sec);
  }
  // 8.
  WriteUninstallGeneralKeys();
  // 9, 10.
  CopyDataArchive();
  Caption(L"Install", 2, L"Copying files...");
  InstallFiles();
  host().SetProgress(99);
  // 11, 12.
  Caption(L"Install", 10, L"Finishing setup...");
  if (Config().SectionExists(L"Shortcuts")) WalkRecords(L"Shortcuts", &CreateShortcut);
  // 13.
  if (s.CreateUninstaller && !s.UpdateMode) AddToUninstallList(L"Files", InstalledInfoFilePath());
  // 14.
  ExternalDataPackage();
  // 15.
  if (s.Options.CheckAssociate.checked) {
    Caption(L"Install", 6, L"Creating associations...");
    const IniDocument::Section* ext = Config().GetSection(L"Extensions");
    if (ext)
      for (const auto& e : ext->entries) ApplyAssociation(e.value);
    host().Pump();
    platform::NotifyAssociationsChanged(true);
  }
  // 16.
  if (Config().SectionExists(L"Registry")) {
    Caption(L"Install", 4, L"Creating registry entries...", false);
    const size_t n = RecordCount(Config(), L"Registry");
    for (size_t i = 0; i < n; ++i) {
      if (s.CancelRequested) break;
      if (!ApplyRegistryRecord(ReadRecord(Config(), L"Registry", i))) break;
    }
  }
  // 17.
  Caption(L"Install", 10, L"Finishing setup...");
  s.FailedIniFile.clear();
  if (Config().SectionExists(L"INI")) WalkRecords(L"INI", &ApplyIniRecord);
  // 18, 19.
  if (SetupBool(L"AutoCheckUpdate") && SetupInt(L"UpdateFrequency", -1) == 0)
    ApplyRegistryRecord(EngineRecord(RunKeyRoot() + L"Microsoft\\Windows\\CurrentVersion\\Run", L"<AppName> update",
                                     L"\"<InstallDir>\\Updater.exe\" /X"));
  if (s.Options.CheckStartup.checked)
    ApplyRegistryRecord(EngineRecord(RunKeyRoot() + L"Microsoft\\Windows\\CurrentVersion\\Run", L"<AppName>", s.MainExe));
  // 20.
  if (Config().SectionExists(L"Environments")) {
    WalkRecords(L"Environments", &ApplyEnvironmentRecord);
    platform::BroadcastEnvironmentChange();
  }
  // 21.
  if (Config().SectionExists(L"Others")) WalkRecords(L"Others", &ApplyOthersRecord);
  // 22.
  if (Config().SectionExists(L"Commands")) {
    const size_t n = RecordCount(Config(), L"Commands");
    for (size_t i = 0; i < n; ++i) {
      RunCommandRecord(kAfterInstallation, ReadRecord(Config(), L"Commands", i));
      if (s.HaltRequested) {
        s.HadErrors = true;
        AbortInstall(false);
      }
      RunCommandRecord(kUninstallRegistration, ReadRecord(Config(), L"Commands", i));
    }
    Caption(L"Install", 10, L"Finishing setup...");
  }
  // 23. App Paths.
  if (!s.MainExe.empty() && platform::FileExists(ExtendedPath(s.MainExe))) {
    const std::wstring n = FileNamePart(s.MainExe);
    if (SetupBool(L"RegisterAppPath")) {
      const std::wstring key = L"HKEY_DEFAULT\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" + n;
      ApplyRegistryRecord(EngineRecord(key, L"", s.MainExe));
      ApplyRegistryRecord(EngineRecord(key, L"Path", FolderPart(s.MainExe)));
    }
    const std::wstring app = L"HKEY_DEFAULT\\SOFTWARE\\Classes\\Applications\\" + n;
    if (Switch(L"-NoStartPage")) ApplyRegistryRecord(EngineRecord(app, L"NoStartPage", L""));
    if (Switch(L"-NoOpenWith")) ApplyRegistryRecord(EngineRecord(app, L"NoOpenWith", L""));
  }
  // 24, 25.
  host().SetProgress(100);
  host().Pump();
  if (s.CreateUninstaller && SetupBool(L"ShowAddRemove")) RegisterUninstallEntry();
  // 26. Save.
  SaveUninstallIni();
  s.UninstallIni.reset();
  // 27. Hand-over.
  if (s.CreateUninstaller) {
    if (!platform::CopyFileTo(TempInfoPath(), ExtendedPath(InstalledInfoFilePath()), true)) s.HadErrors = true;
  } else if (SetupBool(L"Updater")) {
    const std::wstring updaterIni = s.InstallDir + L"\\Updater.ini";
    if (!platform::FileExists(ExtendedPath(updaterIni))) platform::CopyFileTo(TempInfoPath(), ExtendedPath(updaterIni), false);
  }
  // 28.
  const int frequency = SetupInt(L"UpdateFrequency", -1);
  if (SetupBool(L"Updater") && SetupBool(L"AutoCheckUpdate") && frequency > 0)
    RunProcess(nullptr, s.InstallDir + L"\\Updater.exe", L"/S /AUTORUNON " + ToText(frequency), platform::kSwShow, false,
               true, false);
  // 29.
  host().Pump();
  s.InstallRunning = false;
  s.InstallationCompleted = true;
  if (!s.Silent && SetupBool(L"Beep")) platform::BeepOk();
}

}  // namespace ek
