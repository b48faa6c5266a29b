#include "app/startup.h"
#include "base/result.h"

#include "actions/variables_section.h"
#include "core/memory_trace.h"
#include "core/command_line.h"
#include "core/hand_off.h"
#include "core/setup_log.h"
#include "core/host.h"
#include "core/setup_state.h"
#include "config/language.h"
#include "base/record_list.h"
#include "base/text.h"
#include "config/variables.h"
#include "config/archive_extract.h"
#include "base/package_trailer.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "ui/main_window.h"

namespace ek {
namespace {

// The configuration archive holds a few small files; anything this large is
// not a real package.
constexpr uint64_t kMaxConfigBytes = 1ull << 30;

std::wstring OwnFileName() { return FileNamePart(platform::ModulePath()); }

void ErrorBox(const std::wstring& text, const std::wstring& caption) {
  MessageOnMain(text, platform::MsgIcon::Error, platform::MsgButtons::Ok, 1, caption);
}

bool LoadConfigFrom(const std::wstring& path) {
  bool ok = false;
  DecodedText t = platform::ReadTextFile(path, TextEncoding::Utf8, &ok);
  if (!ok) return false;
  auto doc = std::make_unique<IniDocument>();
  doc->Parse(t.text);
  State().SetupConfig = std::move(doc);
  return true;
}

// Steps 3 and 7: a fresh EKTMP folder. CreateDirectory is the test, so two
// setups starting together never share one; none of the 21 names free stops.
bool CreateSetupTempDir() {
  auto& s = State();
  const std::wstring base = GetTempFolder() + L"\\EKTMP";
  for (int n = 0; n <= 20; ++n) {
    std::wstring candidate = base + ToText(n);
    if (platform::PathExists(candidate)) continue;
    if (platform::CreateDirectoryOne(candidate)) {
      s.SetupTempDir = candidate;
      return true;
    }
  }
  return false;
}

void RelaunchElevated() {
  platform::ShellStartRequest r;
  r.file = platform::ModulePath();
  r.parameters = CommandLineArguments() + L" /U \"" + CurrentProfileName() + L"\"";
  r.show = platform::kSwShowNormal;
  r.elevate = true;
  // Declined or not, this copy has done its part: exit 0 whatever the result.
  Ignore(platform::ShellStart(r, nullptr, nullptr));
  platform::ExitNow(0);
}

// Step 7: the configuration archive into eksetup.zip, in pieces of 2,048 bytes.
[[nodiscard]] bool CopyConfigArchive(platform::File& own, const TrailerScan& scan, const std::wstring& zipPath) {
  platform::File zip;
  if (!zip.Create(zipPath) || !own.Seek(scan.position - static_cast<uint64_t>(scan.configSize))) return false;
  char buf[2048];
  uint64_t left = static_cast<uint64_t>(scan.configSize);
  while (left > 0) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(left, sizeof buf));
    auto got = own.Read(buf, want);
    if (!got || *got != want || !zip.Write(buf, *got)) return false;
    left -= *got;
  }
  return true;
}

// Steps 4 to 8: the package work of the first instance.
void UnpackPackage() {
  auto& s = State();
  platform::File own;
  if (!own.OpenRead(platform::ModulePath())) StopWithError(100);
  platform::FileByteSource source(own);
  const TrailerScan scan = ScanTrailer(source);
  if (!scan.found) {
    own.Close();
    StopWithError(1);
  }
  s.AdminFlag = scan.adminFlag;
  if (!s.IsAdmin && (scan.adminFlag || FindParam(L"/RUNAS") != 0)) {
    own.Close();
    RelaunchElevated();
  }
  // A size that does not fit before the trailer cannot be a real archive.
  if (scan.configSize <= 0 || static_cast<uint64_t>(scan.configSize) > scan.position) {
    own.Close();
    StopWithError(1);
  }
  if (!CreateSetupTempDir()) {
    own.Close();
    s.SetupTempDir.clear();  // never clean up a folder that another setup owns
    StopWithError(6);
  }
  const std::wstring zipPath = s.SetupTempDir + L"\\eksetup.zip";
  // The process ends without unwinding: the copy is closed before a failure
  // ends it, or it could not be deleted with the temporary folder.
  const bool copied = CopyConfigArchive(own, scan, zipPath);
  own.Close();
  if (!copied) StopWithError(6);
  const ExtractResult r = ExtractArchiveToFolder(zipPath, s.SetupTempDir, kMaxConfigBytes);
  if (!r.ok()) {
    if (r.error == ZipError::WriteFailed) {
      WriteLog(L"Unable to create file: " + r.detail);
    } else {
      // The names of a hostile archive may hold line breaks: the log gets
      // them as "?", so that they cannot forge lines of their own.
      std::wstring detail = r.detail;
      for (auto& c : detail)
        if (c < 0x20) c = L'?';
      WriteLog(std::wstring(L"Error=Damaged package: the configuration archive: ") + ZipErrorText(r.error) +
               (detail.empty() ? L"" : L" (" + detail + L")"));
    }
    StopWithError(6);
  }
  const std::wstring ini = s.SetupTempDir + L"\\eksetup.ini";
  if (!platform::FileExists(ini) || !LoadConfigFrom(ini)) StopWithError(6);
}

void WriteLogHeader() {
  auto& s = State();
  WriteLog(L"[Setup]");
  WriteLog(L"Date=" + platform::DateTimeText());
  WriteLog(L"File=" + platform::CommandLineFull());
  WriteLog(L"SetupTempDir=" + s.SetupTempDir);
  WriteLog(L"SetupDefaultLanguage=" + s.LanguageName);
  WriteLog(L"Product=" + PickLanguageText(SetupString(L"AppName")) + L" " + PickLanguageText(SetupString(L"AppVersion")));
  WriteLog(L"OS=" + platform::OsDescription(platform::GetOsVersion(), s.Is64BitOS));
  WriteLog(std::wstring(L"AdminRights=") + BoolText(s.IsAdmin));
}

void ReadCommandLineValues() {
  auto& s = State();
  if (!CommandLineArgs().empty()) {
    if (FindParam(L"/U") != 0) {
      s.InvokingUserName = Trim(ParamValue(L"/U"));
      if (EqualsNoCase(s.InvokingUserName, CurrentProfileName())) s.InvokingUserName.clear();
    }
    if (FindParam(L"/X") != 0) s.ExtraVar = Trim(ParamValue(L"/X"));
  }
  // The file name counts also when the file is simply double-clicked: a
  // setup_de.exe is "de" with or without arguments.
  if (s.ExtraVar.empty() && !Switch(L"-extravardef")) s.ExtraVar = ExtraVarFromFileName(OwnFileName());
}

// Step 12: the elevated instance takes its state from the prepared folder.
void ElevatedBranch() {
  auto& s = State();
  s.Relaunched = true;
  s.SetupTempDir = ReplaceAll(ParamValue(L"/RAD"), L"\"", L"");
  const std::wstring ini = s.SetupTempDir + L"\\eksetup.ini";
  if (s.SetupTempDir.empty() || !platform::DirectoryExists(s.SetupTempDir) || !platform::FileExists(ini) ||
      !LoadConfigFrom(ini)) {
    ErrorBox(L"SetupTempDir not found:\r\n" + s.SetupTempDir +
                 L"\r\n\r\nTry to run the file as an administrator: right-click on the file, and select \"Run as "
                 L"administrator\"",
             L"Setup");
    platform::ExitNow(1);
  }
  const IniDocument& c = Config();
  WindowPosition current;
  if (MainForm().Exists()) MainForm().form().GetPosition(current.left, current.top);
  const HandOff h = LoadHandOff(c, current);
  if (MainForm().Exists()) MainForm().form().SetPosition(h.position.left, h.position.top);
  s.LanguageName = h.language;
  s.InstallDir = h.installDir;
  s.MainExe = h.mainExe;
  s.ProgramGroup = h.programGroup;
  s.InvokingUserName = h.user;
  if (EqualsNoCase(s.InvokingUserName, CurrentProfileName())) s.InvokingUserName.clear();
  s.AllUsers = h.allUsers;
  s.UpdateMode = h.update;
  s.QueryText = h.queryText;
  s.QueryCustom = h.queryCustom;
  s.ComboBoxIndex = h.comboBoxIndex;
  s.ComboBox = h.comboBox;
  s.DataFile = h.dataFile;
  s.ExtraVar = h.extraVar;
  const std::wstring logPath = LogFilePath();
  if (platform::FileExists(logPath)) {
    for (auto& line : LoadLogFile(logPath)) s.SetupLog.push_back(std::move(line));
    WriteLog(L"Elevated=1");
  }
  s.VariablesResultCount = static_cast<int32_t>(c.KeyCount(L"VariablesResult"));
}

[[noreturn]] void GateStop(const std::wstring& message) {
  auto& s = State();
  if (!s.Silent) MessageOnMain(message, platform::MsgIcon::Warning);
  ReleaseDocuments();
  FinalCleanup();
  platform::ExitNow(5);
}

void OperatingSystemGate() {
  auto& s = State();
  if (FindParam(L"/N") != 0) return;
  const int type = SetupInt(L"SystemType", 0);
  if (type == 1 && !s.Is64BitOS) GateStop(FormatAndExpand(LangText(L"Messages", 2), L""));
  if (type == 2 && s.Is64BitOS) GateStop(FormatAndExpand(LangText(L"Messages", 29), L""));
  const std::wstring product = platform::WindowsProductName(platform::GetOsVersion());
  if (!SetupBool(product, false)) {
    GateStop(FormatAndExpand(
        LangText(L"Messages", 41, L"<AppName> cannot run on %s.<#><#>Installation cannot continue."), product));
  }
}

}  // namespace

std::wstring CurrentProfileName() {
  return FileNamePart(StripTrailingBackslash(platform::ShellFolder(platform::kCsidlProfile)));
}

std::wstring ExtraVarFromFileName(std::wstring_view fileName) {
  std::wstring t(fileName);
  if (t.find(L'_') == std::wstring::npos && t.find(L'-') == std::wstring::npos) return std::wstring();
  size_t cut = t.find(L'_');
  if (cut == std::wstring::npos) cut = t.find(L'-');
  t.erase(0, cut + 1);
  size_t exe = FindNoCase(t, L".EXE");
  if (exe == npos) return std::wstring();
  t.resize(exe);
  size_t paren = t.find(L" (");
  if (paren != std::wstring::npos) t.resize(paren);
  return t;
}

std::wstring StopErrorText(int code) {
  switch (code) {
    case 1:
      return L"The setup file is corrupted.\r\n\r\nError code: 1\r\n\r\nPlease obtain a new copy of the file.";
    case 4: return L"Language file was not found.";
    case 6: return L"Unable to extract files. Please try again.";
    case 100: return L"Access denied. Please try again.";
    default: return L"Error code: " + ToText(code);
  }
}

void StopWithError(int code) {
  auto& s = State();
  const std::wstring text = StopErrorText(code);
  if (!s.Silent) ErrorBox(text, OwnFileName());
  WriteLog(L"Halt=" + ToText(code) + L"-" + text);
  s.HadErrors = true;
  // Before the common tail the -nosavelog switch may be unknown yet: keep the
  // log then, it is the only account of the failure.
  if (!s.StartupDone) s.SaveLog = !Switch(L"-nosavelog");
  if (!s.Relaunched) FinalCleanup();
  platform::ExitNow(static_cast<uint32_t>(code));
}

void FormCreate() {
  auto& s = State();
  s.IsAdmin = platform::IsUserAdmin();
  s.Is64BitOS = platform::Is64BitOs();

  if (FindParam(L"/RAD") != 0) {
    ElevatedBranch();
  } else {
    UnpackPackage();
    TraceMemory(L"PackageUnpacked");
    s.AllUsers = true;
    const int level = SetupInt(L"InstallLevel", 1);
    if (level == 0 || level == 3) s.AllUsers = false;
    s.LanguageName = SetupString(L"Language", L"English");
    if (!BuildLanguageList()) {
      // Start-up decides on silence only later; an unattended run must not
      // wait on a message box.
      if (SetupBool(L"SilentInstall") || FindParam(L"/S") != 0) s.Silent = true;
      s.SetupConfig.reset();
      StopWithError(4);
    }
    WriteLogHeader();
    ReadCommandLineValues();
  }

  // Common tail.
  s.StartupDone = true;
  s.SaveLog = !Switch(L"-nosavelog");
  const std::wstring leftOver = LogFilePath();
  if (platform::FileExists(leftOver)) Ignore(platform::DeleteFileAt(leftOver));

  if (SetupBool(L"SilentInstall") || FindParam(L"/S") != 0) {
    s.Silent = true;
    WriteLog(L"Mode=Silent Installation");
    if (Switch(L"-nosilent")) {
      s.HadErrors = true;
      WriteLog(L"Error=Silent Installation Is Not Allowed");
      ErrorBox(L"Silent Installation Is Not Allowed", OwnFileName());
      FinalCleanup();
      platform::ExitNow(5);
    }
  }

  if (!s.Relaunched) MainForm().PlaceOnMouseMonitor();
  if (!s.Silent) MainForm().LoadLogoAndLayout();

  s.AppNameVersion = GetConstant(1);
  s.CreateUninstaller = SetupBool(L"Uninstall");
  s.UninstallFile = SetupString(L"UninstallFile", L"Uninstall.exe");
  s.EngineSize = static_cast<uint32_t>(SetupInt(L"EngineSize", 0));
  s.DataArchiveSize = static_cast<uint32_t>(ParseInt64(SetupString(L"EKDataFileSize", L"0")).value_or(0));
  s.TotalSize = ParseInt64(SetupString(L"TotalSize", L"0")).value_or(0);
  s.SourceSize = ParseInt64(SetupString(L"SourceSize", L"0")).value_or(0);
  s.AddonSize = ParseInt64(SetupString(L"AddonSize", L"0")).value_or(0);

  s.ScratchKeyList.clear();
  if (!LoadLanguageFile()) {
    s.SetupConfig.reset();
    s.ScratchKeyList.clear();
    StopWithError(4);
  }
  MainForm().LoadWindowTexts();

  if (!s.Relaunched) {
    OperatingSystemGate();
    EvaluateStartupVariables();
    ResolveInstallPaths();
  }
}

}  // namespace ek
