#include "actions/prerequisites.h"

#include "actions/command_list.h"
#include "actions/runtime_detection.h"
#include "actions/system_checks.h"
#include "actions/variables_section.h"
#include "base/record_list.h"
#include "base/uninstall_entries.h"
#include "base/text.h"
#include "base/version.h"
#include "config/language.h"
#include "config/utilities.h"
#include "config/variables.h"
#include "core/host.h"
#include "core/setup_log.h"
#include "core/setup_state.h"
#include "platform/file_system.h"
#include "platform/system.h"
#include "platform/ui.h"

namespace ek {
namespace {

using platform::RegKey;
using platform::RegRoot;
using platform::RegView;

VersionRules Rules() { return VersionRulesOf(Config()); }

PrerequisiteCondition ParseCondition(std::wstring_view text) {
  PrerequisiteCondition c;
  const size_t bar = text.find(L'|');
  const std::wstring_view typeText = text.substr(0, bar);
  // "5. File version" names type 5; a type without its "." names none.
  const size_t dot = typeText.find(L'.');
  c.type = dot == std::wstring_view::npos ? 0 : ParseInt32Or(typeText.substr(0, dot), 0);
  if (bar == std::wstring_view::npos) return c;
  const std::wstring_view rest = text.substr(bar + 1);
  const size_t second = rest.find(L'|');
  c.value = std::wstring(rest.substr(0, second));
  if (second != std::wstring_view::npos) c.parameter = std::wstring(rest.substr(second + 1));
  return c;
}

bool QuotesRemoved(int type) { return (type >= 1 && type <= 6) || type == 21 || type == 22; }

RegView DefaultView(std::wstring_view platformField) {
  const std::wstring p = ToUpperAscii(Trim(platformField));
  if (p == L"64-BIT") return RegView::View64;
  if (p == L"ANY") return State().Is64BitEngine ? RegView::View64 : RegView::View32;
  return RegView::View32;
}

std::optional<std::wstring> RegistryText(const ConditionTarget& t) {
  RegKey k;
  if (!k.Open(t.root, t.key, t.view, false)) return std::nullopt;
  return k.ReadAsText(t.valueName);
}

bool FileHasVersionAtLeast(const std::wstring& file, const std::wstring& version) {
  return platform::FileExists(ExtendedPath(file)) && CompareVersions(FileVersionText(file), version, true, Rules());
}

bool FileHasVersionAtMost(const std::wstring& file, const std::wstring& version) {
  return platform::FileExists(ExtendedPath(file)) && !CompareVersions(FileVersionText(file), version, false, Rules());
}

}  // namespace

std::optional<PrerequisiteRecord> ParsePrerequisiteRecord(std::wstring_view record) {
  std::vector<std::wstring> f = SplitRecord(record);
  if (f.size() != 6) return std::nullopt;
  if (SetupBool(L"DataSens"))
    for (auto& field : f) field = DescrambleField(field);
  PrerequisiteRecord r;
  r.name = ExpandVariables(PickLanguageText(f[0]));
  r.link = ExpandVariables(PickLanguageText(f[1]));
  r.platform = f[2];
  if (f[3].size() >= 3 && f[4].size() >= 2) {
    r.allMode = f[3][1] == L'L' || f[3][1] == L'l';
    r.warn = f[4][0] == L'Y' || f[4][0] == L'y';
  }
  std::wstring_view rest = f[5];
  for (size_t end = rest.find(L"|;"); end != std::wstring_view::npos; end = rest.find(L"|;")) {
    r.conditions.push_back(ParseCondition(rest.substr(0, end)));
    rest.remove_prefix(end + 2);
  }
  return r;
}

bool PrerequisiteAppliesTo(std::wstring_view platformField, bool is64BitOs) {
  if (is64BitOs && Contains(platformField, L"32")) return false;
  if (!is64BitOs && Contains(platformField, L"64")) return false;
  return true;
}

std::wstring SplitRegistryPath(std::wstring_view path, bool keyPart) {
  const size_t last = path.rfind(L'\\');
  if (last == std::wstring_view::npos) return std::wstring(path);
  return std::wstring(keyPart ? path.substr(0, last) : path.substr(last + 1));
}

std::optional<ConditionTarget> ParseConditionTarget(std::wstring_view path, bool valueName,
                                                  std::wstring_view platformField) {
  ConditionTarget t;
  t.view = DefaultView(platformField);
  const size_t slash = path.find(L'\\');
  std::wstring root = ToUpperAscii(path.substr(0, slash));
  if (root.rfind(L"64", 0) == 0) {
    t.view = RegView::View64;
    root.erase(0, 2);
  } else if (root.rfind(L"32", 0) == 0) {
    t.view = RegView::View32;
    root.erase(0, 2);
  }
  const auto parsed = uninstall::ParseRoot(root);
  if (!parsed) return std::nullopt;
  t.root = platform::RegRootOf(*parsed);
  const std::wstring_view rest = slash == std::wstring_view::npos ? std::wstring_view() : path.substr(slash + 1);
  if (!valueName) {
    t.key = std::wstring(rest);
  } else {
    t.key = SplitRegistryPath(rest, true);
    t.valueName = SplitRegistryPath(rest, false);
  }
  return t;
}

bool FileContainsText(const std::wstring& path, std::wstring_view part) {
  const std::wstring file = ExtendedPath(path);
  if (!platform::FileExists(file)) return false;
  bool ok = false;
  const DecodedText t = platform::ReadTextFile(file, TextEncoding::Ansi, &ok);
  if (!ok || t.text.empty()) return false;
  for (std::wstring line : Split(t.text, L"\n")) {
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    if (ContainsNoCase(line, part)) return true;
  }
  return false;
}

std::optional<bool> ConditionHolds(const PrerequisiteCondition& c, std::wstring_view platformField) {
  const std::wstring& v = c.value;
  const std::wstring& p = c.parameter;
  switch (c.type) {
    case 1: return platform::FileExists(ExtendedPath(v));
    case 2: return !platform::FileExists(ExtendedPath(v));
    case 3: return platform::DirectoryExists(ExtendedPath(v));
    case 4: return !platform::DirectoryExists(ExtendedPath(v));
    case 5: return FileHasVersionAtLeast(v, p);
    case 6: return FileHasVersionAtMost(v, p);
    case 7: return !v.empty() && CompareVersions(v, p, true, Rules());
    case 8: return !v.empty() && !CompareVersions(v, p, false, Rules());
    case 9: return !v.empty() && !p.empty() && ContainsNoCase(v, p);
    case 10: return !v.empty() && !p.empty() && !ContainsNoCase(v, p);
    case 11:
    case 12:
    case 19:
    case 20: {
      const auto t = ParseConditionTarget(v, false, platformField);
      if (!t) return std::nullopt;
      RegKey k;
      const bool opened = k.Open(t->root, t->key, t->view, false);
      if (c.type == 11) return opened;
      if (c.type == 12) return !opened;
      if (!opened) return false;
      const std::wstring greatest = MaxVersionName(c.type == 19 ? k.SubKeyNames() : k.ValueNames());
      return CompareVersions(greatest, p, true, Rules());
    }
    case 13:
    case 14:
    case 15:
    case 16:
    case 17:
    case 18: {
      const auto t = ParseConditionTarget(v, true, platformField);
      if (!t) return std::nullopt;
      const std::optional<std::wstring> data = RegistryText(*t);
      switch (c.type) {
        case 13: return data.has_value();
        case 14: return !data.has_value();
        case 15: return data && ContainsNoCase(*data, p);
        case 16: return !data || !ContainsNoCase(*data, p);
        case 17: return data && CompareVersions(*data, p, true, Rules());
        default: return data && !CompareVersions(*data, p, false, Rules());
      }
    }
    case 21: return FileContainsText(v, p);
    case 22: return !FileContainsText(v, p);
    case 23: return EqualsNoCaseAscii(v, p);
    case 24: return !EqualsNoCaseAscii(v, p);
    default: return false;
  }
}

bool PrerequisitePresent(const PrerequisiteRecord& record) {
  if (record.conditions.empty()) return true;
  bool held = false;
  for (const auto& raw : record.conditions) {
    PrerequisiteCondition c{raw.type, ExpandVariables(PickLanguageText(raw.value)),
                            ExpandVariables(PickLanguageText(raw.parameter))};
    if (QuotesRemoved(c.type)) c.value = ReplaceAll(c.value, L"\"", L"");
    held = false;
    const std::optional<bool> holds = ConditionHolds(c, record.platform);
    if (!holds) continue;  // an unknown registry root neither holds nor ends the walk
    held = *holds;
    if (record.allMode ? !held : held) break;
  }
  return held;
}

PrerequisiteOutcome EvaluatePrerequisite(std::wstring_view text) {
  const auto& s = State();
  const auto record = ParsePrerequisiteRecord(text);
  if (!record || !PrerequisiteAppliesTo(record->platform, s.Is64BitOS)) return PrerequisiteOutcome::Present;
  bool asked = false;
  while (true) {
    platform::SleepMs(500);
    if (PrerequisitePresent(*record)) return PrerequisiteOutcome::Present;
    WriteLog(L"MissingPrerequisite=" + record->name);
    if (asked && record->warn) {
      if (!s.Silent)
        MessageOnMain(FormatAndExpand(LangText(L"Messages", 33, kPrerequisiteNotInstalledText), record->name),
                      platform::MsgIcon::Warning);
      return PrerequisiteOutcome::GoOn;
    }
    // Unattended, an installer that did not make the conditions hold is not run again.
    if (asked && s.Silent) return PrerequisiteOutcome::Refused;
    const RemedyResult r = HandleMissingPrerequisite(record->name, record->link, 8);
    asked = true;
    if (r != RemedyResult::CheckAgain) return PrerequisiteOutcome::Refused;
  }
}

}  // namespace ek
