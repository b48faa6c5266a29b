// Uninstall.exe: reverses an installation from the information file beside it.
//
//   Uninstall.exe [/S] [/R] [/T] [/L]
//     /S  unattended: no question, no message
//     /R  a new installation follows (the file may then skip questions and commands)
//     /T  roll-back of a failed installation from the setup's temporary folder:
//         the temporary folder and this program stay for the setup to remove
//     /L  always leave the log, not only when something could not be removed
//
// Exit codes: 0 done, 1 something could not be removed (see the log
// EKUNINSTALLLOG.TXT in the temporary folder), 2 no readable information
// file, 3 cancelled by the user.
//
// A running program cannot delete its own file: at the end the uninstaller
// starts a copy of itself in the temporary folder (same file name, so a
// setup that waits for the uninstaller by name waits for the copy too),
// which removes the original and the folders that held it and then vanishes.
#include <windows.h>

#include <string>
#include <vector>

#include "base/ini_document.h"
#include "base/result.h"
#include "base/text.h"
#include "base/uninstall_entries.h"
#include "config/utilities.h"
#include "platform/file_system.h"
#include "platform/handles.h"
#include "platform/process.h"
#include "platform/self_removal.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "uninstall_engine.h"

namespace ek::uninstall {
namespace {

constexpr uint32_t kDone = 0, kIncomplete = 1, kNoInformation = 2, kCancelled = 3;
constexpr const wchar_t* kCleanupSwitch = L"/CLEANUP";

struct CommandLine {
  bool silent = false, reinstall = false, rollback = false, log = false;
  bool cleanup = false;
  std::vector<std::wstring> rest;  // after /CLEANUP: file, folders, parent handle
};

CommandLine ParseCommandLine() {
  CommandLine c;
  const auto args = platform::CommandLineArgs();
  for (size_t i = 0; i < args.size(); ++i) {
    const std::wstring a = ToUpperAscii(args[i]);
    if (a == kCleanupSwitch) {
      c.cleanup = true;
      c.rest.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      break;
    }
    if (a == L"/S") c.silent = true;
    else if (a == L"/R") c.reinstall = true;
    else if (a == L"/T") c.rollback = true;
    else if (a == L"/L") c.log = true;
  }
  return c;
}

// The copy's part: wait for the original to end, remove its file and the
// emptied folders that held it. It only ever deletes a file of its own name.
uint32_t RunCleanup(const std::vector<std::wstring>& rest) {
  if (rest.size() < 2) return kIncomplete;
  const auto handle = ParseUnsignedDecimal(rest.back());
  const std::wstring original = rest.front();
  if (!handle || !IsSafePath(original) ||
      !EqualsNoCase(FileNamePart(original), FileNamePart(platform::ModulePath())))
    return kIncomplete;
  // After the wait the original is tried in any case; the attempts below tell.
  Ignore(platform::WaitForParentEnd(*handle, 60000));
  const std::wstring file = ExtendedPathRule(original, false);
  for (int attempt = 0; attempt < 100 && platform::FileExists(file); ++attempt) {
    Ignore(platform::SetAttributes(file, platform::kAttrNormal));  // the deletion tells
    if (platform::DeleteFileAt(file)) break;
    platform::SleepMs(100);
  }
  // A folder that still holds other files stays.
  for (size_t i = 1; i + 1 < rest.size(); ++i)
    if (IsSafeFolder(rest[i]) && IsBelow(original, rest[i]))
      Ignore(platform::RemoveDirectoryAt(ExtendedPathRule(rest[i], false)));
  return platform::FileExists(file) ? kIncomplete : kDone;
}

// The copy goes to the temporary folder under the original's name; when a
// file of that name is in the way, under a name of its own.
void StartCleanupCopy(const std::wstring& self, const std::vector<std::wstring>& folders) {
  const std::wstring temp = platform::TempFolder();
  if (temp.empty()) return;  // without a temporary folder the original stays
  const std::wstring name = FileNamePart(self);
  std::wstring copy = temp + L"\\" + name;
  if (platform::PathExists(copy))
    copy = temp + L"\\" + ChangeExtension(name, L"") + L"-" + ToText(platform::CurrentProcessId()) + ExtensionPart(name);
  std::wstring args = std::wstring(kCleanupSwitch) + L" \"" + self + L"\"";
  for (const auto& f : folders) args += L" \"" + f + L"\"";
  // Without the copy the original file stays; the removal itself is done.
  Ignore(platform::StartTransientCopy(copy, args));
}

void WriteLog(const std::vector<std::wstring>& lines) {
  std::wstring text;
  for (const auto& l : lines) text += l + L"\r\n";
  // The log is the only place a failure could be told; there is none left for its own.
  Ignore(platform::WriteTextFile(platform::TempFolder() + L"\\EKUNINSTALLLOG.TXT", text, TextEncoding::Utf8Bom));
}

class Texts {
 public:
  explicit Texts(const IniDocument& info) : info_(info), name_(info.ReadString(kGeneral, key::kAppName)) {}
  // A [Messages] text with the product name; the reference English text
  // when the language file had none.
  std::wstring Get(int index, std::wstring_view fallback, std::wstring_view name = {}) const {
    std::wstring t = info_.ReadString(kMessages, ToText(index));
    if (Trim(t).empty()) t = std::wstring(fallback);
    return FormatMessageText(t, name.empty() ? name_ : name);
  }
  std::wstring Caption() const { return Get(0, L"Uninstall %s"); }
  const std::wstring& name() const { return name_; }

 private:
  const IniDocument& info_;
  std::wstring name_;
};

platform::MsgResult Ask(const Texts& texts, const std::wstring& text, platform::MsgIcon icon,
                        platform::MsgButtons buttons) {
  platform::MessageRequest r;
  r.text = text;
  r.caption = texts.Caption();
  r.icon = icon;
  r.buttons = buttons;
  r.topmost = true;  // there is no window of our own to bring it forward
  return platform::ShowMessage(r);
}

// Programs that must not run while their files go. Unattended, or with
// ForceCloseApp, they are ended; otherwise the user is asked to close them.
bool CloseRunningPrograms(const IniDocument& info, const Texts& texts, bool silent) {
  struct Program {
    std::wstring file, name;
    bool force;
  };
  std::vector<Program> programs;
  if (info.ReadBool(kGeneral, key::kCloseMainExe, false))
    programs.push_back({info.ReadString(kGeneral, key::kMainExe), texts.name(), false});
  const std::wstring app = info.ReadString(kGeneral, key::kCloseApp);
  if (!Trim(app).empty()) {
    std::wstring name = info.ReadString(kGeneral, key::kCloseAppName);
    programs.push_back(
        {app, Trim(name).empty() ? texts.name() : name, info.ReadBool(kGeneral, key::kForceCloseApp, false)});
  }
  const std::wstring self = FileNamePart(platform::ModulePath());
  for (const auto& p : programs) {
    const std::wstring exe = FileNamePart(Trim(p.file));
    if (exe.empty() || EqualsNoCase(exe, self)) continue;
    for (int attempt = 0; attempt < 50; ++attempt) {
      auto pid = platform::FindProcessByExeName(exe);
      if (!pid) break;
      if (silent || p.force) {
        // The next pass looks again; a process that will not end is given up on after the last.
        Ignore(platform::TerminateProcessById(*pid));
        platform::SleepMs(200);
        continue;
      }
      if (Ask(texts, texts.Get(10, L"%s is running. Please close it and try again.", p.name), platform::MsgIcon::Warning,
              platform::MsgButtons::RetryCancel) != platform::MsgResult::Retry)
        return false;
    }
  }
  return true;
}

uint32_t RunUninstall(const CommandLine& c) {
  const std::wstring self = platform::ModulePath();
  const std::wstring infoPath = ChangeExtension(self, L".ini");
  std::vector<std::wstring> log = {L"Uninstaller=" + self, L"InformationFile=" + infoPath};
  bool readable = false;
  IniDocument info;
  if (platform::FileExists(infoPath)) {
    DecodedText t = platform::ReadTextFile(infoPath, TextEncoding::Utf8, &readable);
    if (readable) info.Parse(t.text);
  }
  const Texts texts(info);
  const bool silent = c.silent || c.rollback || (readable && info.ReadBool(kGeneral, key::kSilentMode, false));
  if (!readable) {
    log.push_back(L"Information file not found: " + infoPath);
    log.push_back(L"ExitCode=2");
    WriteLog(log);
    if (!silent)
      Ask(texts, L"The uninstall information file was not found:\r\n" + infoPath, platform::MsgIcon::Error,
          platform::MsgButtons::Ok);
    return kNoInformation;
  }
  log.push_back(L"Product=" + texts.name() + L" " + info.ReadString(kGeneral, key::kAppVersion));
  log.push_back(std::wstring(L"Mode=") + (c.rollback ? L"Rollback" : silent ? L"Silent" : L"Interactive") +
                (c.reinstall ? L" Reinstall" : L""));

  Options o;
  o.silent = silent;
  o.reinstall = c.reinstall;
  o.rollback = c.rollback;
  o.selfPath = self;
  o.installedAt = platform::LastWriteTime(infoPath);
  Uninstaller u(info, o);

  u.RunCommands(kExecAtUninstallStart);
  const bool ask = !silent && !info.ReadBool(kGeneral, key::kDontAskUninstall, false) &&
                   !(c.reinstall && info.ReadBool(kGeneral, key::kDontAskOnReinstall, false));
  if (ask && Ask(texts, texts.Get(1, L"Are you sure you want to completely remove %s and all of its components?"),
                 platform::MsgIcon::Question, platform::MsgButtons::YesNo) != platform::MsgResult::Yes)
    return kCancelled;
  // Personal settings go only when the user says so; unattended they stay.
  const bool settings = !silent && u.HasSettingsCommand() &&
                        Ask(texts, texts.Get(9, L"Remove personal settings as well"), platform::MsgIcon::Question,
                            platform::MsgButtons::YesNo) == platform::MsgResult::Yes;
  if (!CloseRunningPrograms(info, texts, silent)) return kCancelled;
  u.RunCommands(kExecBeforeUninstall);
  if (settings) u.RunSettingsCommand();
  u.RemoveAll();
  u.RunCommands(kExecAfterUninstall);

  const Report& r = u.report();
  for (const auto* list : {&r.failed, &r.ignored, &r.kept, &r.notes}) log.insert(log.end(), list->begin(), list->end());
  const uint32_t code = r.Complete() ? kDone : kIncomplete;
  log.push_back(L"ExitCode=" + ToText(code));
  if (code != kDone || c.log) WriteLog(log);

  const bool inform = !silent && !(c.reinstall && info.ReadBool(kGeneral, key::kDontInformOnReinstall, false));
  if (inform) {
    if (code == kDone)
      Ask(texts, texts.Get(2, L"%s was successfully removed from your computer."), platform::MsgIcon::Information,
          platform::MsgButtons::Ok);
    else
      Ask(texts, texts.Get(3, L"Some elements could not be removed. You should manually remove them."),
          platform::MsgIcon::Warning, platform::MsgButtons::Ok);
    const std::wstring url = Trim(info.ReadString(kGeneral, key::kUninstallUrl));
    if (!c.reinstall && url.find(L"://") != std::wstring::npos) platform::ShellOpen(nullptr, L"", url, L"", platform::kSwShowNormal);
  }
  // In a roll-back this program lies in the setup's temporary folder, which
  // the setup removes itself.
  if (!c.rollback) StartCleanupCopy(self, r.foldersLeft);
  return code;
}

}  // namespace
}  // namespace ek::uninstall

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  ek::platform::RestrictDllSearch();
  using namespace ek::uninstall;
  try {
    const CommandLine c = ParseCommandLine();
    if (c.cleanup) return static_cast<int>(RunCleanup(c.rest));
    ek::platform::ComScope com;
    return static_cast<int>(RunUninstall(c));
  } catch (...) {
    return static_cast<int>(kIncomplete);
  }
}
