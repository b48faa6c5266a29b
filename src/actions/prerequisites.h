// The package's own prerequisites: the records of [Prerequisites], each a
// name, a remedy, a platform filter, the all/any mode, the warn flag and a
// list of conditions over files, folders, texts, versions and registry
// entries.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace ek {

struct PrerequisiteCondition {
  int type = 0;
  std::wstring value;
  std::wstring parameter;
};

struct PrerequisiteRecord {
  std::wstring name;      // the %s of messages 8 and 33
  std::wstring link;      // the remedy (installer, address, MSG( message, or empty)
  std::wstring platform;  // field 2 as written
  bool allMode = true;    // all conditions must hold (otherwise one suffices)
  bool warn = false;      // after one offered remedy, a still missing prerequisite only warns
  std::vector<PrerequisiteCondition> conditions;
};

// The record's six fields, descrambled and prepared; nothing unless there
// are exactly six. Field 3 and 4 are read only when they are long enough
// (3 and 2 characters); otherwise all conditions must hold and there is no
// warning instead of the end of setup.
[[nodiscard]] std::optional<PrerequisiteRecord> ParsePrerequisiteRecord(std::wstring_view record);

// Whether the platform field lets the record be evaluated on this Windows.
[[nodiscard]] bool PrerequisiteAppliesTo(std::wstring_view platformField, bool is64BitOs);

// Whether one condition holds; nothing for a registry condition whose root
// is not one of the known names (the walk skips it).
[[nodiscard]] std::optional<bool> ConditionHolds(const PrerequisiteCondition& condition, std::wstring_view platformField);

// The walk over the conditions: all-mode ends at the first that does not
// hold, any-mode at the first that holds. A record without conditions checks
// nothing and counts as present.
[[nodiscard]] bool PrerequisitePresent(const PrerequisiteRecord& record);

// A registry path of a condition split into root, view and key / value.
struct ConditionTarget {
  platform::RegRoot root = platform::RegRoot::LocalMachine;
  platform::RegView view = platform::RegView::View64;
  std::wstring key;
  std::wstring valueName;
};
// path: root "\" key path (valueName: false) or root "\" key path "\" value
// name (valueName: true). The root may start with 64 or 32 to choose the view;
// otherwise the record's platform field decides. Nothing for an unknown root.
[[nodiscard]] std::optional<ConditionTarget> ParseConditionTarget(std::wstring_view path, bool valueName,
                                                                 std::wstring_view platformField);

// The key part or the value name of what follows the root: divided at the
// last "\"; without one, both are the whole text.
[[nodiscard]] std::wstring SplitRegistryPath(std::wstring_view path, bool keyPart);

// A line of the text file contains the part (ignoring case); false when the
// file does not exist.
[[nodiscard]] bool FileContainsText(const std::wstring& path, std::wstring_view part);

enum class PrerequisiteOutcome {
  Present,  // the conditions hold, or the record does not apply here
  GoOn,     // still missing after a remedy, and the record only warns
  Refused,  // the user declined, or a silent run cannot fix it: setup ends with 5
};

// Evaluates one record and offers its remedy until it holds; the caller ends
// setup with exit code 5 when refused. In a silent run a remedy is started at
// most once per record: an installer that did not make the conditions hold
// would not on a second run either.
[[nodiscard]] PrerequisiteOutcome EvaluatePrerequisite(std::wstring_view record);

}  // namespace ek
