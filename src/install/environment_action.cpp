#include "install/environment_action.h"

#include "core/setup_log.h"
#include "core/setup_state.h"
#include "config/language.h"
#include "base/record_list.h"
#include "base/text.h"
#include "base/uninstall_entries.h"
#include "config/variables.h"
#include "core/failure_report.h"
#include "install/uninstall_info.h"
#include "platform/registry.h"

namespace ek {
namespace {

using platform::RegKey;
using Change = uninstall::EnvironmentEntry::Kind;

std::wstring DropOne(std::wstring text, bool leading, bool trailing) {
  if (trailing && !text.empty() && text.back() == L';') text.pop_back();
  if (leading && !text.empty() && text.front() == L';') text.erase(0, 1);
  return text;
}

// Done, or failed with the Windows cause when there is one.
struct Outcome {
  bool done = true;
  std::wstring cause;
};
Outcome Done() { return {}; }
Outcome Failed() { return {false, FailureCause()}; }
Outcome FailedWithoutCause() { return {false, {}}; }

struct Variable {
  std::wstring name;
  std::wstring part;
  bool system = false;
  bool record = false;
};

void Record(Change kind, const Variable& v, const std::wstring& text = {}) {
  if (!State().CreateUninstaller || !v.record) return;
  AddToUninstallList(uninstall::kEnvironment, {kind, v.system, v.name, text});
}

Outcome Overwrite(RegKey& key, const Variable& v) {
  if (const auto old = key.ReadString(v.name)) {
    Record(Change::Overwritten, v, *old);
    return key.WriteString(v.name, v.part) ? Done() : Failed();
  }
  if (key.ValueExists(v.name)) return FailedWithoutCause();  // there, but not readable as text
  if (!key.WriteString(v.name, v.part)) return Failed();
  Record(Change::Created, v);
  return Done();
}

// APPEND and PREPEND: PATH is written expandable; so is a variable that was
// expandable before, whose %references% would otherwise stop working.
Outcome ExtendList(RegKey& key, const Variable& v, bool append) {
  const auto raw = key.ReadValue(v.name);
  if (!raw) return Overwrite(key, v);
  const auto current = key.ReadString(v.name);
  if (!current) return FailedWithoutCause();  // not text
  const auto change = append ? AppendToList(*current, v.part) : PrependToList(*current, v.part);
  if (!change) return Done();
  const bool expandable = EqualsNoCase(v.name, L"PATH") || raw->type == platform::kRegExpandSz;
  if (!key.WriteString(v.name, change->value, expandable)) return Failed();
  if (change->added) Record(Change::Added, v, v.part);
  return Done();
}

Outcome Remove(RegKey& key, const Variable& v) {
  // PATH is never removed.
  if (EqualsNoCase(v.name, L"PATH") || !key.ValueExists(v.name)) return Done();
  const std::wstring old = key.ReadString(v.name).value_or(L"");
  if (!key.DeleteValue(v.name)) return Failed();
  Record(Change::Overwritten, v, old);
  return Done();
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

  Outcome outcome = FailedWithoutCause();  // an unknown scope has no key to work on
  if (scope == L"SYSTEM" || scope == L"USER") {
    v.system = scope == L"SYSTEM";
    RegKey key;
    if (!key.Open(v.system ? platform::RegRoot::LocalMachine : platform::RegRoot::CurrentUser,
                  v.system ? L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment" : L"Environment",
                  platform::RegView::View64, true))
      outcome = Failed();
    else if (action == L"REMOVE") outcome = Remove(key, v);
    else if (action == L"APPEND") outcome = ExtendList(key, v, true);
    else if (action == L"PREPEND") outcome = ExtendList(key, v, false);
    else if (action == L"OVERWRITE") outcome = Overwrite(key, v);
    else outcome = Done();
  }
  if (outcome.done) return;
  ReportFailure(L"Access Denied: Unable to set environment variable (" + f[4] + L"): " + v.name, outcome.cause,
                ExpandVariables(LangText(L"Messages", 32, L"Unable to set Environment Variable:") + L" " + v.name +
                                L"\r\n\r\n" + LangText(L"Messages", 27)));
}

}  // namespace ek
