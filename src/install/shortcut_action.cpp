#include "install/shortcut_action.h"

#include "core/setup_log.h"
#include "core/setup_state.h"
#include "config/language.h"
#include "base/record_list.h"
#include "base/text.h"
#include "base/uninstall_entries.h"
#include "config/utilities.h"
#include "config/variables.h"
#include "core/failure_report.h"
#include "install/folder_tree.h"
#include "install/registry_action.h"
#include "install/uninstall_info.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/shell.h"

namespace ek {
namespace {

struct FolderPair {
  const wchar_t* perUser;
  const wchar_t* common;
};
constexpr FolderPair kFolderPairs[] = {
    {L"<Desktop>", L"<CommonDesktop>"},
    {L"<StartMenu>", L"<CommonStartMenu>"},
    {L"<ProgramsMenu>", L"<CommonProgramsMenu>"},
    {L"<StartUp>", L"<CommonStartUp>"},
};

// The user's choices in the options dialog switch whole groups of shortcuts
// off; the short forms also match the all-users variables.
bool ChosenByUser(std::wstring_view record) {
  const auto& o = State().Options;
  if (!o.CheckPrograms.checked && (ContainsNoCase(record, L"<PROGRAMGROUP>") ||
                                   ContainsNoCase(record, L"PROGRAMSMENU>") || ContainsNoCase(record, L"STARTMENU>")))
    return false;
  if (!o.CheckDesktop.checked && ContainsNoCase(record, L"DESKTOP>")) return false;
  return true;
}

int ShowCommandOf(std::wstring_view window) {
  const std::wstring w = ToUpperAscii(window);
  if (w == L"MAXIMIZED") return platform::kSwShowMaximized;
  if (w == L"MINIMIZED") return platform::kSwShowMinNoActive;
  return platform::kSwShowNormal;
}

// Windows' own record that the program runs as administrator.
void WriteCompatibilityEntry(const std::wstring& target) {
  if (const auto record = SetupRegistryValue(
          L"HKCU\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers", target, L"RUNASADMIN"))
    ApplyRegistryRecord(*record);
}

}  // namespace

std::wstring SwapShortcutFolder(std::wstring_view folder, bool toCommon) {
  std::wstring out(folder);
  for (const auto& p : kFolderPairs) {
    const wchar_t* from = toCommon ? p.perUser : p.common;
    const wchar_t* to = toCommon ? p.common : p.perUser;
    if (ContainsNoCase(out, from)) out = ReplaceFirstNoCase(out, from, to);
  }
  return out;
}

bool MarkRunAsAdministrator(const std::wstring& linkPath) {
  platform::File f;
  if (!f.OpenReadWrite(linkPath)) return false;
  unsigned char flags = 0;
  if (!f.ReadAt(21, &flags, 1)) return false;
  flags |= 0x20;
  return f.Seek(21) && f.Write(&flags, 1);
}

void CreateShortcut(std::wstring_view record) {
  if (!ChosenByUser(record)) return;
  auto f = SplitRecord(record);
  if (f.size() != 10) return;
  auto& s = State();
  if (!s.AllUsers && !s.IsAdmin) f[0] = SwapShortcutFolder(f[0], false);
  if (s.AllUsers && s.IsAdmin && !Switch(L"-shortcutcu")) f[0] = SwapShortcutFolder(f[0], true);
  if (SetupInt(L"IfInstalled", 0) == 3 && !Switch(L"-shortcutnomulti") && EqualsNoCase(f[1], L"<AppName>") &&
      platform::FileExists(ExtendedPath(ExpandVariables(f[0] + L"\\<AppName>.lnk"))))
    f[1] = GetConstant(3);  // <AppNameVersion>: both versions keep a shortcut

  std::wstring v[7];
  for (int i = 0; i < 7; ++i) v[i] = ExpandVariables(PickLanguageText(f[i]));
  const std::wstring link = v[0] + L"\\" + v[1] + L".lnk";
  platform::ShellLinkData d;
  d.target = v[2];
  d.description = v[3];
  d.arguments = v[4];
  d.iconPath = v[6];
  d.iconIndex = ParseInt32Or(PickLanguageText(f[7]), 0);
  d.showCommand = ShowCommandOf(f[8]);

  // The updater checks for a new version first and then starts the program.
  const std::wstring updater = s.InstallDir + L"\\Updater.exe";
  if (SetupBool(L"Updater") && SetupBool(L"CheckUpdateOnLaunch") && EqualsNoCase(d.target, s.MainExe) &&
      platform::FileExists(ExtendedPath(updater))) {
    d.iconPath = d.target;
    d.arguments = L"/L \"" + d.target + L"\"";
    d.target = updater;
  }

  const auto failed = CreateMissingFolders(link, FolderScanStart(link), [&](const std::wstring& folder) {
    if (s.CreateUninstaller) AddToUninstallList(uninstall::kFolders, {folder});
  });
  // A shortcut that cannot be made is told but does not mark the run.
  if (failed) {
    LogFailure(L"Error creating directory: " + *failed, FailureCause());
    ShowActionError(FormatAndExpand(LangText(L"Messages", 13), *failed));
    return;
  }

  const bool targetExists = platform::FileExists(ExtendedPath(d.target));
  d.workingDirectory = v[5];
  if (d.workingDirectory.empty() && targetExists) d.workingDirectory = FolderPart(d.target);
  if (!platform::CreateShellLink(ExtendedPath(link), d)) {
    LogFailure(L"Error creating shortcut: " + link, FailureCause());
    ShowActionError(FormatAndExpand(LangText(L"Messages", 16), link));
    return;
  }
  if (s.CreateUninstaller) AddToUninstallList(uninstall::kFiles, {link});

  if (ToUpperAscii(f[9]) == L"YES") {
    if (Switch(L"-shortcutadminreg")) WriteCompatibilityEntry(d.target);
    else if (!MarkRunAsAdministrator(ExtendedPath(link)) && targetExists) WriteCompatibilityEntry(d.target);
  }
}

}  // namespace ek
