#include "install/environment_action.h"

#include "core/setup_log.h"
#include "core/setup_state.h"
#include "config/language.h"
#include "base/record_list.h"
#include "base/text.h"
#include "config/variables.h"
#include "core/failure_report.h"
#include "install/uninstall_info.h"
#include "platform/registry.h"

namespace ek {
namespace {

using platform::RegKey;

std::wstring DropOne(std::wstring text, bool leading, bool trailing) {
  if (trailing && !text.empty() && text.back() == L';') text.pop_back();
  if (leading && !text.empty() && text.front() == L';') text.erase(0, 1);
  return text;
}

enum class Outcome { Done, Failed };

struct Variable {
  std::wstring name;
  std::wstring part;
  std::wstring scopeLetter;  // "S" or "U"
  bool record = false;
};

void Record(const std::wstring& kind, const Variable& v, const std::wstring* text) {
  if (!State().CreateUninstaller || !v.record) return;
  AddToUninstallList(L"Environment", kind + v.scopeLetter + v.name + (text ? L"*?" + *text : std::wstring()));
}

Outcome Overwrite(RegKey& key, const Variable& v) {
  if (const auto old = key.ReadString(v.name)) {
    Record(L"W", v, &*old);
    return key.WriteString(v.name, v.part) ? Outcome::Done : Outcome::Failed;
  }
  if (key.ValueExists(v.name)) return Outcome::Failed;  // there, but not readable as text
  if (!key.WriteString(v.name, v.part)) return Outcome::Failed;
  Record(L"D", v, nullptr);
  return Outcome::Done;
}

// APPEND and PREPEND: PATH is written expandable; so is a variable that was
// expandable before, whose %references% would otherwise stop working.
Outcome ExtendList(RegKey& key, const Variable& v, bool append) {
  const auto raw = key.ReadValue(v.name);
  if (!raw) return Overwrite(key, v);
  const auto current = key.ReadString(v.name);
  if (!current) return Outcome::Failed;
  const auto change = append ? AppendToList(*current, v.part) : PrependToList(*current, v.part);
  if (!change) return Outcome::Done;
  const bool expandable = EqualsNoCase(v.name, L"PATH") || raw->type == platform::kRegExpandSz;
  if (!key.WriteString(v.name, change->value, expandable)) return Outcome::Failed;
  if (change->added) Record(L"U", v, &v.part);
  return Outcome::Done;
}

Outcome Remove(RegKey& key, const Variable& v) {
  // PATH is never removed.
  if (EqualsNoCase(v.name, L"PATH") || !key.ValueExists(v.name)) return Outcome::Done;
  const std::wstring old = key.ReadString(v.name).value_or(L"");
  if (!key.DeleteValue(v.name)) return Outcome::Failed;
  Record(L"W", v, &old);
  return Outcome::Done;
}

}  // namespace

std::optional<ListChange> AppendToList(std::wstring_view current, std::wstring_view part) {
  std::wstring c(current);
  if (!c.empty() && c.back() != L';') c += L';';
  c = DropOne(c, true, false);
  if (Contains(FoldCase(L";" + c), FoldCase(L";" + std::wstring(part) + L";"))) return std::nullopt;
  return ListChange{c + std::wstring(part), true};
}

std::optional<ListChange> PrependToList(std::wstring_view current, std::wstring_view part) {
  const std::wstring c = DropOne(std::wstring(current), true, true);
  const std::wstring needle = L";" + std::wstring(part) + L";";
  const std::wstring list = L";" + c + L";";
  const size_t p = FindNoCase(list, needle);
  if (p == npos) return ListChange{std::wstring(part) + L";" + c, true};
  if (p == 0) return std::nullopt;
  const std::wstring rest = DropOne(ReplaceFirstNoCase(list, needle, L";"), true, true);
  return ListChange{std::wstring(part) + L";" + rest, false};
}

void ApplyEnvironmentRecord(std::wstring_view record) {
  const auto f = SplitRecord(record);
  if (f.size() != 5) return;
  auto& s = State();
  Variable v;
  v.name = ExpandVariables(f[0]);
  // Without a name the record would write the key's default value.
  if (Trim(v.name).empty()) return;
  v.part = ExpandVariables(f[1]);
  const std::wstring action = ToUpperAscii(f[2]);
  v.record = ToUpperAscii(f[3]) == L"YES";
  std::wstring scope = ToUpperAscii(f[4]);
  if (scope == L"DEFAULT") scope = s.AllUsers ? L"SYSTEM" : L"USER";

  Outcome outcome = Outcome::Failed;  // an unknown scope has no key to work on
  if (scope == L"SYSTEM" || scope == L"USER") {
    v.scopeLetter = scope.substr(0, 1);
    RegKey key;
    const bool system = scope == L"SYSTEM";
    if (key.Open(system ? platform::RegRoot::LocalMachine : platform::RegRoot::CurrentUser,
                 system ? L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment" : L"Environment",
                 platform::RegView::View64, true)) {
      if (action == L"REMOVE") outcome = Remove(key, v);
      else if (action == L"APPEND") outcome = ExtendList(key, v, true);
      else if (action == L"PREPEND") outcome = ExtendList(key, v, false);
      else if (action == L"OVERWRITE") outcome = Overwrite(key, v);
      else outcome = Outcome::Done;
    }
  }
  if (outcome == Outcome::Done) return;
  WriteLog(L"Access Denied: Unable to set environment variable (" + f[4] + L"): " + v.name);
  s.HadErrors = true;
  ShowActionError(ExpandVariables(LangText(L"Messages", 32, L"Unable to set Environment Variable:") + L" " + v.name +
                                  L"\r\n\r\n" + LangText(L"Messages", 27)));
}

}  // namespace ek
