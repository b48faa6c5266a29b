// RecordList: a section whose keys are the numbers 0, 1, 2 ... and whose
// values are records of fields separated by "*?". Pure.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/ini_document.h"

namespace ek {

inline constexpr std::wstring_view kFieldSeparator = L"*?";

[[nodiscard]] std::vector<std::wstring> SplitRecord(std::wstring_view record);
// Number of keys of the section: the records 0 .. count-1 are read.
[[nodiscard]] size_t RecordCount(const IniDocument& doc, std::wstring_view section);
// Value of the key named by the number (empty when absent).
[[nodiscard]] std::wstring ReadRecord(const IniDocument& doc, std::wstring_view section, size_t index);

// Whether SetupParameters carries the engine switch: a plain substring test,
// ignoring case.
[[nodiscard]] bool HasEngineSwitch(const IniDocument& config, std::wstring_view name);

}  // namespace ek
