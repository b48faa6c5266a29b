// [Environments] records: persistent environment variables.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ek {

void ApplyEnvironmentRecord(std::wstring_view record);

// The list rules of APPEND and PREPEND on the current value C of a variable
// and the part V; nothing when V is in the list already (APPEND) or first
// already (PREPEND). `added` tells whether V was new to the list.
struct ListChange {
  std::wstring value;
  bool added = false;
};
std::optional<ListChange> AppendToList(std::wstring_view current, std::wstring_view part);
std::optional<ListChange> PrependToList(std::wstring_view current, std::wstring_view part);

}  // namespace ek
