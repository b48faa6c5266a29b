#include "install/others_action.h"

#include "actions/process_launch.h"
#include "core/setup_log.h"
#include "core/host.h"
#include "core/setup_state.h"
#include "config/language.h"
#include "base/record_list.h"
#include "base/text.h"
#include "base/uninstall_entries.h"
#include "config/utilities.h"
#include "config/variables.h"
#include "core/failure_report.h"
#include "base/font_name.h"
#include "install/uninstall_info.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/ui.h"

namespace ek {
namespace {

constexpr wchar_t kFontsKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

template <typename Entry>
void Record(const uninstall::List<Entry>& list, const Entry& entry, bool flag) {
  if (State().CreateUninstaller && flag) AddToUninstallList(list, entry);
}

void Failed(const std::wstring& logLine, int message, const std::wstring& path, const std::wstring& cause = {}) {
  ReportFailure(logLine + path, cause, FormatAndExpand(LangText(L"Messages", message), path));
}

// AddFontResourceW lasts until the user logs off; the Fonts key makes the
// font stay. A value that exists already belongs to whoever installed that
// face first and is left alone.
bool RegisterFontPersistently(const std::wstring& path, bool flag) {
  auto& s = State();
  const auto bytes = platform::ReadWholeFile(ExtendedPath(path));
  std::wstring name = bytes ? FontRegistryName(*bytes) : std::wstring();
  if (name.empty()) name = FileNamePart(path);
  const bool machine = s.AllUsers && s.IsAdmin;
  const uninstall::Root infoRoot = machine ? uninstall::Root::LocalMachine : uninstall::Root::CurrentUser;
  const platform::RegRoot root = platform::RegRootOf(infoRoot);
  // Fonts in the Fonts folder are listed by file name, all others by path.
  const bool inFontsFolder = machine && EqualsNoCase(FolderPart(path), StripTrailingBackslash(GetConstant(19)));
  platform::RegKey key;
  if (!key.Create(root, kFontsKey, platform::RegView::View64)) return false;
  if (key.ValueExists(name)) return true;
  if (!key.WriteString(name, inFontsFolder ? FileNamePart(path) : path)) return false;
  // Written in the native view: the entry says so.
  const uninstall::RegistryKeyEntry fonts{uninstall::ViewMark::View64, infoRoot, kFontsKey};
  Record(uninstall::kRegistryValues, {fonts, name}, flag);
  return true;
}

void RegisterFont(const std::wstring& path, bool flag) {
  if (platform::AddFont(path) <= 0) {
    Failed(L"Error registering font: ", 21, path, FailureCause());
    return;
  }
  platform::BroadcastFontChange();
  Record(uninstall::kFonts, {path}, flag);
  if (!RegisterFontPersistently(path, flag)) Failed(L"Error registering font: ", 21, path, FailureCause());
}

// regsvr32 and RegAsm report a failed registration through their exit code.
bool RunRegistrationProgram(const std::wstring& program, const std::wstring& parameters) {
  const bool started = RunProcess(nullptr, program, parameters, platform::kSwShowNormal, true, false, true);
  return started && State().LastExitCode == L"0";
}

void RegisterActiveX(const std::wstring& path, bool flag) {
  if (RunRegistrationProgram(GetConstant(18) + L"\\regsvr32.exe", L"\"" + path + L"\" /s")) Record(uninstall::kActiveX, {path}, flag);
  else Failed(L"Error ActiveX: ", 22, path);
  host().Pump();
}

void RegisterAssembly(const std::wstring& path, bool flag) {
  const std::wstring regAsm = FindRegAsm();
  if (regAsm.empty()) {
    ReportFailure(L"RegAsm.exe file not found: " + path, {}, L"File RegAsm.exe not found.");
    return;
  }
  if (RunRegistrationProgram(regAsm, L"\"" + path + L"\" /codebase /s")) Record(uninstall::kNetAssemblies, {path}, flag);
  else Failed(L"Error .NET Assembly: ", 22, path);
  host().Pump();
}

void RegisterTypeLibrary(const std::wstring& path, bool flag) {
  bool loaded = false;
  if (platform::RegisterTypeLibrary(path, FolderPart(path), &loaded)) Record(uninstall::kTypeLibraries, {path}, flag);
  else if (loaded) Failed(L"Error registering Type Library: ", 23, path);
  host().Pump();
}

void InstallScreenSaver(const std::wstring& path) {
  platform::ShellOpen(nullptr, L"open", L"rundll32.exe", L"desk.cpl,InstallScreenSaver " + path,
                      platform::kSwShowNormal);
  // Recorded whatever the record's flag says.
  Record(uninstall::kScreenSavers, {path}, true);
}

struct Kind {
  const wchar_t* name;
  const wchar_t* notFound;
  void (*apply)(const std::wstring& path, bool flag);
};

const Kind kKinds[] = {
    {L"FONT", L"Font file not found: ", &RegisterFont},
    {L"DLL/ACTIVEX", L"ActiveX file not found: ", &RegisterActiveX},
    {L".NET ASSEMBLY", L".NET Assembly file not found: ", &RegisterAssembly},
    {L"TYPE LIBRARY", L"TypeLibrary file not found: ", &RegisterTypeLibrary},
    {L"SCREENSAVER", L"ScreenSaver file not found: ", [](const std::wstring& path, bool) { InstallScreenSaver(path); }},
};

}  // namespace

void ApplyOthersRecord(std::wstring_view record) {
  if (record.empty()) return;
  const auto f = SplitRecord(record);
  if (f.size() != 3) return;
  const std::wstring kind = ToUpperAscii(f[0]);
  const Kind* k = nullptr;
  for (const auto& candidate : kKinds)
    if (kind == candidate.name) k = &candidate;
  if (!k) return;
  auto& s = State();
  const std::wstring path = ExpandVariables(PickLanguageText(f[1]));
  const bool flag = ToUpperAscii(f[2]) == L"YES";
  if (kind == L".NET ASSEMBLY" && s.UninstallIni)
    s.UninstallIni->WriteString(uninstall::kGeneral, uninstall::key::kRegAsmExe, FindRegAsm());
  if (!platform::FileExists(ExtendedPath(path))) {
    ReportFailure(k->notFound + path, {}, FormatAndExpand(L"File not found:<#>%s", path));
    return;
  }
  k->apply(path, flag);
  host().Pump();
}

}  // namespace ek
