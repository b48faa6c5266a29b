#include "install/association_action.h"

#include "core/setup_log.h"
#include "core/host.h"
#include "core/setup_state.h"
#include "config/language.h"
#include "base/record_list.h"
#include "base/result.h"
#include "base/text.h"
#include "base/uninstall_entries.h"
#include "config/variables.h"
#include "core/failure_report.h"
#include "install/uninstall_info.h"
#include "platform/registry.h"
#include "platform/ui.h"

namespace ek {
namespace {

using platform::RegKey;
using platform::RegRoot;
constexpr platform::RegView kView = platform::RegView::View64;
// The entries of associations carry the 32-bit mark, though written in the
// native view: below Software\Classes the uninstaller finds them in either.
constexpr uninstall::ViewMark kMark = uninstall::ViewMark::View32;

std::wstring Field(const std::wstring& raw) { return ExpandVariables(PickLanguageText(raw)); }

struct Association {
  std::wstring extension;  // X, without the dot
  std::wstring program;
  std::wstring description;
  std::wstring progId;  // I
  std::wstring contentType;
  std::wstring perceivedType;
  std::wstring iconFile;
  int iconIndex = 0;
};

// The program identifier's keys; false when one of them cannot be written,
// with the Windows cause.
bool WriteProgId(uninstall::Root infoRoot, const std::wstring& classes, const Association& a, std::wstring& cause) {
  const RegRoot root = platform::RegRootOf(infoRoot);
  const std::wstring base = classes + a.progId;
  auto failed = [&] {
    cause = FailureCause();
    return false;
  };
  if (platform::RegKeyExists(root, base, kView) && !platform::DeleteKeyTree(root, base, kView)) return failed();
  RegKey k;
  if (!k.Create(root, base, kView)) return failed();
  // Recorded as soon as it exists, so that a roll-back after a later failure
  // still removes it.
  if (State().CreateUninstaller) AddToUninstallList(uninstall::kRegistryKeys, {kMark, infoRoot, base});
  if (!k.WriteString(L"", a.description)) return failed();
  RegKey icon;
  if (!icon.Create(root, base + L"\\DefaultIcon", kView) ||
      !icon.WriteString(L"", a.iconFile + L"," + ToText(a.iconIndex)))
    return failed();
  RegKey command;
  if (!command.Create(root, base + L"\\shell\\open\\command", kView) ||
      !command.WriteString(L"", OpenCommandFor(a.program)))
    return failed();
  return true;
}

// A per-user association would hide the machine-wide one; the user's own
// Explorer choice for the extension would override both. A key that stays
// only keeps that older choice; nothing reports it.
void CleanUpUserAssociation(const Association& a) {
  const std::wstring classes = L"Software\\Classes\\";
  if (State().AllUsers && !Switch(L"-nodeluserext")) {
    Ignore(platform::DeleteKeyTree(RegRoot::CurrentUser, classes + L"." + a.extension, kView));
    Ignore(platform::DeleteKeyTree(RegRoot::CurrentUser, classes + a.progId, kView));
  }
  if (!Switch(L"-nodeluserprefext"))
    Ignore(platform::DeleteKeyTree(
        RegRoot::CurrentUser, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\." + a.extension, kView));
}

}  // namespace

std::wstring OpenCommandFor(std::wstring_view program) {
  std::wstring quoted(program);
  if (quoted.empty() || quoted.front() != L'"') quoted.insert(quoted.begin(), L'"');
  if (quoted.size() < 2 || quoted.back() != L'"') quoted.push_back(L'"');
  return quoted + L" \"%1\"";
}

void ApplyAssociation(std::wstring_view record) {
  const auto f = SplitRecord(record);
  if (f.size() != 8) return;
  auto& s = State();
  Association a;
  a.extension = f[0];
  if (!a.extension.empty() && a.extension[0] == L'.') a.extension.erase(0, 1);
  a.program = Field(f[1]);
  // Without a program there is no open command to register.
  if (a.extension.empty() || Trim(a.program).empty()) return;
  a.description = Field(f[2]);
  a.progId = Field(f[3]);
  if (a.progId.empty()) a.progId = a.extension + L"file";
  a.contentType = Trim(Field(f[4]));
  a.perceivedType = Trim(Field(f[5]));
  a.iconFile = Field(f[6]);
  if (a.iconFile.empty()) a.iconFile = a.program;
  a.iconIndex = ParseInt32Or(f[7], 0);

  const uninstall::Root infoRoot = s.AllUsers ? uninstall::Root::LocalMachine : uninstall::Root::CurrentUser;
  const RegRoot root = platform::RegRootOf(infoRoot);
  const std::wstring classes = L"SOFTWARE\\Classes\\";
  const std::wstring extKey = classes + L"." + a.extension;
  const bool existed = platform::RegKeyExists(root, extKey, kView);
  std::wstring old;
  if (existed) {
    RegKey k;
    if (k.Open(root, extKey, kView, false)) old = k.ReadString(L"").value_or(L"");
  }

  // The program identifier that is about to be replaced is kept under
  // "_copy"; an older backup is never overwritten by a later installation.
  // Without the backup the identifier is simply replaced below.
  const std::wstring progIdKey = classes + a.progId;
  const std::wstring backupKey = progIdKey + L"_copy";
  if (existed && EqualsNoCase(old, a.progId) && platform::RegKeyExists(root, progIdKey, kView) &&
      s.CreateUninstaller && !s.UpdateMode && !Switch(L"-noextbackup") &&
      !platform::RegKeyExists(root, backupKey, kView)) {
    if (platform::CopyKeyTree(root, progIdKey, backupKey, kView)) Ignore(platform::DeleteKeyTree(root, progIdKey, kView));
    else Ignore(platform::DeleteKeyTree(root, backupKey, kView));
  }

  // The extension key: failures here are not reported; the program
  // identifier below is what the association stands or falls with.
  if (existed && Switch(L"-delext")) Ignore(platform::DeleteKeyTree(root, extKey, kView));
  {
    RegKey k;
    if (k.Create(root, extKey, kView)) {
      if (!existed && s.CreateUninstaller) AddToUninstallList(uninstall::kRegistryKeys, {kMark, infoRoot, extKey});
      Ignore(k.WriteString(L"", a.progId));
      if (!a.contentType.empty()) Ignore(k.WriteString(L"Content Type", a.contentType));
      if (!a.perceivedType.empty()) Ignore(k.WriteString(L"PerceivedType", a.perceivedType));
    }
    RegKey openWith;
    if (openWith.Create(root, extKey + L"\\OpenWithProgIds", kView)) {
      Ignore(openWith.WriteString(a.progId, L""));
      if (existed && !old.empty()) Ignore(openWith.WriteString(old, L""));
    }
  }

  std::wstring cause;
  if (!WriteProgId(infoRoot, classes, a, cause))
    ReportFailure(L"Error creating association: ." + a.extension, cause,
                  FormatAndExpand(LangText(L"Messages", 20), L"." + a.extension));
  host().Pump();
  CleanUpUserAssociation(a);
  host().Pump();
}

}  // namespace ek
