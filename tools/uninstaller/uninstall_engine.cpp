#include "uninstall_engine.h"

#include <algorithm>

#include "actions/command_verbs.h"
#include "base/result.h"
#include "base/text.h"
#include "config/utilities.h"
#include "install/ini_file_editor.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "removal_rules.h"

namespace ek::uninstall {
namespace {

using platform::RegRoot;
using platform::RegView;

constexpr const wchar_t* kSystemEnvironment = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

// File operations on long paths need the extended form.
std::wstring Long(const std::wstring& path) { return ExtendedPathRule(path, false); }

platform::RegRoot RegOf(const RegistryKeyEntry& e) { return platform::RegRootOf(e.root); }

std::wstring KeyText(Root root, std::wstring_view key) { return std::wstring(RootName(root)) + L"\\" + std::wstring(key); }
std::wstring KeyText(const RegistryKeyEntry& e) { return KeyText(e.root, e.key); }

// Waiting for a started program keeps the message queue served.
bool PumpWhileWaiting() {
  platform::PumpMessages();
  platform::SleepMs(50);
  return true;
}

}  // namespace

Uninstaller::Uninstaller(const IniDocument& info, Options options) : info_(info), options_(std::move(options)) {
  x64_ = info_.ReadBool(kGeneral, key::kX64, true);
  full_ = !options_.rollback && info_.ReadBool(kGeneral, key::kUninstallFull, false);
  commandsOff_ = (options_.silent && info_.ReadBool(kGeneral, key::kNoCmdIfSilent, false)) ||
                 (options_.reinstall && info_.ReadBool(kGeneral, key::kNoCmdIfReinstall, false));
  hideCommands_ = options_.silent && !info_.ReadBool(kGeneral, key::kCmdNoHideIfSilent, false);
  // Folders of Windows and of the user that no list may take away, even
  // when they happen to be empty.
  const int kShellFolders[] = {0x00, 0x02, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0b, 0x0d, 0x0e, 0x10, 0x14, 0x15,
                               0x16, 0x17, 0x18, 0x19, 0x1a, 0x1c, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26,
                               0x27, 0x28, 0x29, 0x2a, 0x2b, 0x2c, 0x2d, 0x2e, 0x2f, 0x30, 0x35, 0x36, 0x37};
  for (int csidl : kShellFolders) {
    const std::wstring f = StripTrailingBackslash(platform::ShellFolder(csidl));
    if (!f.empty()) protectedFolders_.push_back(f);
  }
  const std::wstring profile = StripTrailingBackslash(platform::ShellFolder(platform::kCsidlProfile));
  if (!profile.empty()) protectedFolders_.push_back(FolderPart(profile));
  protectedFolders_.push_back(platform::TempFolder());
}

bool Uninstaller::IsProtectedFolder(const std::wstring& folder) const {
  const std::wstring f = StripTrailingBackslash(folder);
  for (const auto& p : protectedFolders_)
    if (EqualsNoCase(f, p)) return true;
  return false;
}

bool Uninstaller::ChangedAfterInstall(const std::wstring& path) const {
  if (!options_.installedAt || full_) return false;
  const auto written = platform::LastWriteTime(path);
  if (!written || *written <= *options_.installedAt) return false;
  // A last-write time can be set to anything, for example from an archive
  // entry stored in another time zone; the change time cannot be set back,
  // so a file really changed later has both times after the installation.
  const auto changed = platform::ChangeTime(path);
  return !changed || *changed > *options_.installedAt;
}

// ---- commands ----------------------------------------------------------

bool Uninstaller::RunProgram(const std::wstring& file, const std::wstring& parameters, int show, bool elevate,
                             uint32_t* code) {
  platform::ShellStartRequest r;
  r.file = file;
  r.parameters = parameters;
  r.show = show;
  r.wait = code != nullptr;
  r.elevate = elevate;
  return platform::ShellStart(r, PumpWhileWaiting, code);
}

void Uninstaller::RunCommands(const List<ExecEntry>& moment) {
  if (commandsOff_) return;
  for (const auto& text : ListValues(info_, moment.section)) {
    if (text.empty()) continue;
    auto e = ExecEntry::Parse(text);
    if (!e) {
      report_.ignored.push_back(L"Damaged command entry: " + text);
      continue;
    }
    // "<ExitCode>" was kept for this moment: the code of the last waited command.
    const std::wstring command = Trim(ReplaceAllNoCase(e->command, L"<ExitCode>", lastExitCode_));
    const std::wstring params = ReplaceAllNoCase(e->parameters, L"<ExitCode>", lastExitCode_);
    const int show = hideCommands_ ? platform::kSwHide : e->Show();
    if (const CommandVerb* verb = FindSystemVerb(command)) {
      verb->run({params, false});
    } else if (IsUrlCommand(command)) {
      platform::ShellOpen(nullptr, L"", command, L"", show);
    } else {
      const std::wstring file = ProgramOfCommand(command);
      uint32_t code = 0;
      const bool started = RunProgram(file, params, show, e->Elevates(), e->Waits() ? &code : nullptr);
      if (!started) report_.notes.push_back(L"Unable to start command: " + file);
      if (e->Waits()) lastExitCode_ = started ? ToTextUnsigned(code) : std::wstring(L"-1");
    }
  }
}

bool Uninstaller::HasSettingsCommand() const {
  return !Trim(info_.ReadString(kGeneral, key::kUninstallSettingsCommand)).empty();
}

void Uninstaller::RunSettingsCommand() {
  const std::wstring command = Trim(info_.ReadString(kGeneral, key::kUninstallSettingsCommand));
  if (command.empty()) return;
  // A plain program path, or a whole command line.
  bool started = false;
  if (platform::FileExists(Long(command))) {
    uint32_t code = 0;
    started = RunProgram(command, L"", platform::kSwShowNormal, false, &code);
  } else {
    started = platform::RunAndWait(command, false).has_value();
  }
  if (!started) report_.notes.push_back(L"Unable to start the settings command: " + command);
}

// ---- the lists -----------------------------------------------------------

void Uninstaller::RemoveAll() {
  UnregisterComponents();
  RemoveRegistryValues();
  RemoveRegistryKeys();
  RemoveIniValues();
  RestoreEnvironment();
  RemoveFiles();
  RemoveFolders();
  // The product stays in the list of installed programs until its files are gone.
  DeleteKeys(std::move(registration_));
  RemoveRegistrationFallback();
}

namespace {

// The view an entry addresses. Below Software\Classes most keys are one key
// for both views on Windows; Wine keeps them apart, so a 32-bit entry there
// that has no key of its own means the shared (native) one.
RegView ViewOf(const RegistryKeyEntry& e, bool x64) {
  const RegView native = RegView::View64;
  RegView v = platform::RegViewOf(e.mark, x64);
  if (v == RegView::View32 && IsSharedClassesKey(e.root, e.key) && !platform::RegKeyExists(RegOf(e), e.key, v))
    v = native;
  return v;
}

// Walks a list from its last entry to its first, so that later changes are
// undone before earlier ones; hands every valid entry to `act`. Emptied
// entries were taken back by the installation itself; damaged ones are
// reported and never acted upon.
template <typename Entry, typename Act>
void ForEachEntry(const IniDocument& info, const List<Entry>& list, std::wstring_view what, Report& report, Act act) {
  const auto values = ListValues(info, list.section);
  for (auto it = values.rbegin(); it != values.rend(); ++it) {
    if (it->empty()) continue;
    auto entry = Entry::Parse(*it);
    if (!entry) {
      report.ignored.push_back(L"Damaged " + std::wstring(what) + L" entry: " + *it);
      continue;
    }
    act(*entry);
  }
}

}  // namespace

void Uninstaller::UnregisterComponents() {
  const std::wstring system = StripTrailingBackslash(platform::ShellFolder(0x25));
  ForEachEntry(info_, kActiveX, L"ActiveX", report_, [&](const PathEntry& entry) {
    const std::wstring& path = entry.path;
    uint32_t code = 1;
    if (!platform::FileExists(Long(path)) ||
        !RunProgram(system + L"\\regsvr32.exe", L"/u /s \"" + path + L"\"", platform::kSwHide, false, &code) ||
        code != 0)
      report_.failed.push_back(L"Unable to unregister ActiveX: " + path);
  });

  std::wstring regAsm = info_.ReadString(kGeneral, key::kRegAsmExe);
  if (regAsm.empty() || !platform::FileExists(Long(regAsm))) {
    regAsm.clear();
    const std::wstring w = StripTrailingBackslash(platform::ShellFolder(0x24));
    for (const wchar_t* c : {L"\\Microsoft.NET\\Framework\\v2.0.50727\\RegAsm.exe",
                             L"\\Microsoft.NET\\Framework\\v4.0.30319\\RegAsm.exe",
                             L"\\Microsoft.NET\\Framework64\\v2.0.50727\\RegAsm.exe",
                             L"\\Microsoft.NET\\Framework64\\v4.0.30319\\RegAsm.exe"})
      if (platform::FileExists(w + c)) regAsm = w + c;
  }
  ForEachEntry(info_, kNetAssemblies, L".NET assembly", report_, [&](const PathEntry& entry) {
    const std::wstring& path = entry.path;
    uint32_t code = 1;
    if (regAsm.empty() || !platform::FileExists(Long(path)) ||
        !RunProgram(regAsm, L"\"" + path + L"\" /unregister /s", platform::kSwHide, false, &code) || code != 0)
      report_.failed.push_back(L"Unable to unregister .NET assembly: " + path);
  });

  ForEachEntry(info_, kTypeLibraries, L"type library", report_, [&](const PathEntry& entry) {
    if (!platform::UnregisterTypeLibrary(Long(entry.path)))
      report_.failed.push_back(L"Unable to unregister type library: " + entry.path);
  });

  // A font added with AddFontResource lasts for the session only: after a
  // restart there is nothing to remove, which is no failure. Each addition
  // counts, so it is removed as often as it was added.
  bool fonts = false;
  ForEachEntry(info_, kFonts, L"font", report_, [&](const PathEntry& entry) {
    for (int i = 0; i < 16 && platform::RemoveFont(Long(entry.path)); ++i) fonts = true;
  });
  if (fonts) platform::BroadcastFontChange();

  // The screen saver setting goes when it still names the installed file.
  ForEachEntry(info_, kScreenSavers, L"screen saver", report_, [&](const PathEntry& entry) {
    const std::wstring& path = entry.path;
    platform::RegKey desktop;
    if (!desktop.Open(RegRoot::CurrentUser, L"Control Panel\\Desktop", RegView::View64, true)) return;
    const auto current = desktop.ReadString(L"SCRNSAVE.EXE");
    if (!current || current->empty()) return;
    const bool same = EqualsNoCase(*current, path) || EqualsNoCase(platform::LongPathName(*current), path);
    if (same && !desktop.DeleteValue(L"SCRNSAVE.EXE"))
      report_.failed.push_back(L"Unable to remove the screen saver setting: " + path);
  });
}

void Uninstaller::RemoveRegistryValues() {
  ForEachEntry(info_, kRegistryValues, L"registry value", report_, [&](const RegistryValueEntry& e) {
    const RegView view = ViewOf(e, x64_);
    platform::RegKey key;
    const bool open = key.Open(RegOf(e), e.key, view, true);
    if (open ? (key.ValueExists(e.valueName) && !key.DeleteValue(e.valueName))
             : platform::RegKeyExists(RegOf(e), e.key, view))
      report_.failed.push_back(L"Unable to remove registry value: " + KeyText(e) + L": " + e.valueName);
  });
}

void Uninstaller::RemoveRegistryKeys() {
  std::vector<RegistryKeyEntry> keys;
  ForEachEntry(info_, kRegistryKeys, L"registry key", report_, [&](const RegistryKeyEntry& e) {
    (IsRegistrationKey(e.key) ? registration_ : keys).push_back(e);
  });
  DeleteKeys(std::move(keys));
}

void Uninstaller::DeleteKeys(std::vector<RegistryKeyEntry> keys) {
  // Later entries come first already; within them the deepest key first.
  auto depth = [](const RegistryKeyEntry& e) { return std::count(e.key.begin(), e.key.end(), L'\\'); };
  std::stable_sort(keys.begin(), keys.end(),
                   [&](const RegistryKeyEntry& a, const RegistryKeyEntry& b) { return depth(a) > depth(b); });
  for (const auto& e : keys) {
    const KeyGuard guard = GuardOf(e.root, e.key);
    if (guard == KeyGuard::Never) {
      report_.ignored.push_back(L"Registry key of Windows left in place: " + KeyText(e));
      continue;
    }
    const RegView view = ViewOf(e, x64_);
    const RegRoot root = RegOf(e);
    if (!platform::RegKeyExists(root, e.key, view)) continue;
    if (guard == KeyGuard::UnlessEmpty) {
      if (!platform::RegDeleteKeyIfEmpty(root, e.key, view))
        report_.kept.push_back(L"Kept shared registry key holding other entries: " + KeyText(e));
      continue;
    }
    if (!platform::DeleteKeyTree(root, e.key, view)) {
      report_.failed.push_back(L"Unable to remove registry key: " + KeyText(e));
      continue;
    }
    // An association that replaced a program identifier of the same name
    // moved the old one aside; it comes back now.
    const std::wstring backup = e.key + L"_copy";
    if (IsProgIdKey(e.root, e.key) && platform::RegKeyExists(root, backup, view)) {
      if (!platform::CopyKeyTree(root, backup, e.key, view) || !platform::DeleteKeyTree(root, backup, view))
        report_.failed.push_back(L"Unable to restore registry key: " + KeyText(e));
    }
  }
}

void Uninstaller::RemoveRegistrationFallback() {
  // The registration is normally a listed key; a registration that still
  // names this very uninstaller goes as well, so the product does not stay
  // in the list of installed programs.
  const std::wstring guid = Trim(info_.ReadString(kGeneral, key::kGuid));
  if (options_.rollback || guid.empty() || options_.selfPath.empty() || guid.find(L'\\') != std::wstring::npos)
    return;
  const std::wstring base = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  for (Root root : {Root::LocalMachine, Root::CurrentUser}) {
    for (int n = 0; n <= 9; ++n) {
      const std::wstring key = base + guid + (n ? L"_ek" + ToText(n) : L"");
      platform::RegKey k;
      if (!k.Open(platform::RegRootOf(root), key, RegView::View64, false)) continue;
      const auto command = k.ReadString(L"UninstallString");
      k.Close();
      if (!command || !EqualsNoCase(Trim(*command), options_.selfPath)) continue;
      if (!platform::DeleteKeyTree(platform::RegRootOf(root), key, RegView::View64))
        report_.failed.push_back(L"Unable to remove registry key: " + KeyText(root, key));
    }
  }
}

void Uninstaller::RemoveIniValues() {
  ForEachEntry(info_, kIniValues, L"INI", report_, [&](const IniValueEntry& e) {
    const std::wstring file = Long(e.file);
    if (!platform::FileExists(file)) return;
    IniFileText text;
    if (!LoadIniFile(file, text)) {
      report_.failed.push_back(L"Unable to edit INI file: " + e.file);
      return;
    }
    IniFileEditor editor;
    editor.SetText(text.text);
    if (!editor.Remove(e.section, e.key)) return;
    text.text = editor.Text();
    if (!SaveIniFile(file, text)) report_.failed.push_back(L"Unable to edit INI file: " + e.file);
  });
}

void Uninstaller::RestoreEnvironment() {
  bool changed = false;
  // The last change is undone first, so a chain of changes to one
  // variable unwinds to the value before the installation.
  ForEachEntry(info_, kEnvironment, L"environment", report_, [&](const EnvironmentEntry& e) {
    const std::wstring what = std::wstring(e.system ? L"system" : L"user") + L" environment variable " + e.name;
    platform::RegKey key;
    if (!key.Open(e.system ? RegRoot::LocalMachine : RegRoot::CurrentUser,
                  e.system ? kSystemEnvironment : L"Environment", RegView::View64, true)) {
      report_.failed.push_back(L"Unable to restore " + what);
      return;
    }
    const auto current = key.ReadValue(e.name);
    const auto currentText = key.ReadString(e.name);
    bool ok = true;
    if (e.kind == EnvironmentEntry::Kind::Created) {
      if (current) {
        ok = key.DeleteValue(e.name);
        changed = true;
      }
    } else if (e.kind == EnvironmentEntry::Kind::Overwritten) {
      // The type is not recorded: the one it has now, else what the text asks for.
      const bool expandable = current ? current->type == platform::kRegExpandSz
                                      : (e.text.find(L'%') != std::wstring::npos || EqualsNoCaseAscii(e.name, L"PATH"));
      ok = key.WriteString(e.name, e.text, expandable);
      changed = true;
    } else if (currentText) {
      if (auto without = RemoveListPart(*currentText, e.text)) {
        ok = key.WriteString(e.name, *without, current->type == platform::kRegExpandSz);
        changed = true;
      }
    }
    if (!ok) report_.failed.push_back(L"Unable to restore " + what);
  });
  if (changed) platform::BroadcastEnvironmentChange();
}

void Uninstaller::RemoveFiles() {
  ForEachEntry(info_, kFiles, L"file", report_, [&](const PathEntry& entry) {
    const std::wstring& path = entry.path;
    // The running uninstaller is removed by its copy after the end.
    if (!options_.selfPath.empty() && EqualsNoCase(path, options_.selfPath)) return;
    const std::wstring file = Long(path);
    if (!platform::FileExists(file)) return;
    if (ChangedAfterInstall(file)) {
      report_.kept.push_back(L"Kept file changed after the installation: " + path);
      return;
    }
    const auto attributes = platform::GetAttributes(file);
    // A failure to clear or restore the attribute shows in the deletion and its report.
    if (attributes && (*attributes & platform::kAttrReadOnly))
      Ignore(platform::SetAttributes(file, platform::kAttrNormal));
    if (!platform::DeleteFileAt(file)) {
      if (attributes) Ignore(platform::SetAttributes(file, *attributes));
      report_.failed.push_back(L"Unable to remove file: " + path);
    }
  });
}

bool Uninstaller::RemoveFolderTree(const std::wstring& folder) {
  bool ok = true;
  for (const auto& entry : platform::ListDirectory(Long(folder))) {
    const std::wstring path = folder + L"\\" + entry.name;
    if (entry.isDirectory) {
      if (IsProtectedFolder(path) || !RemoveFolderTree(path) || !platform::RemoveDirectoryAt(Long(path))) ok = false;
      continue;
    }
    if (!options_.selfPath.empty() && EqualsNoCase(path, options_.selfPath)) continue;
    // A failure to clear the attribute shows in the deletion and its report.
    if (entry.attributes & platform::kAttrReadOnly) Ignore(platform::SetAttributes(Long(path), platform::kAttrNormal));
    if (!platform::DeleteFileAt(Long(path))) {
      report_.failed.push_back(L"Unable to remove file: " + path);
      ok = false;
    }
  }
  return ok;
}

void Uninstaller::RemoveFolders() {
  struct Folder {
    std::wstring path;
    size_t depth;
  };
  std::vector<Folder> folders;
  ForEachEntry(info_, kFolders, L"folder", report_,
               [&](const FolderEntry& e) { folders.push_back({e.path, PathDepth(e.path)}); });
  std::stable_sort(folders.begin(), folders.end(), [](const Folder& a, const Folder& b) { return a.depth > b.depth; });
  const std::wstring installDir = StripTrailingBackslash(Trim(info_.ReadString(kGeneral, key::kInstallDir)));
  for (const auto& f : folders) {
    const std::wstring folder = Long(f.path);
    if (!platform::DirectoryExists(folder)) continue;
    if (IsProtectedFolder(f.path)) {
      report_.ignored.push_back(L"Folder of Windows left in place: " + f.path);
      continue;
    }
    // A full uninstallation takes the installation folder with everything
    // that came into it, when the installation created it.
    if (full_ && EqualsNoCase(f.path, installDir)) RemoveFolderTree(f.path);
    if (!options_.selfPath.empty() && IsBelow(options_.selfPath, f.path)) {
      report_.foldersLeft.push_back(f.path);
      continue;
    }
    if (platform::RemoveDirectoryAt(folder)) continue;
    if (!platform::ListDirectory(folder).empty())
      report_.kept.push_back(L"Kept folder holding other files: " + f.path);
    else
      report_.failed.push_back(L"Unable to remove folder: " + f.path);
  }
}

}  // namespace ek::uninstall
