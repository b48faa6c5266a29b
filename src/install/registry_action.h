// [Registry] records and the engine-made Run and App Paths entries.
#pragma once

#include <string>
#include <string_view>

namespace ek {

// Writes one registry value of a seven-field record; false only when the user,
// asked after a failure, chose not to go on.
bool ApplyRegistryRecord(std::wstring_view record);

}  // namespace ek
