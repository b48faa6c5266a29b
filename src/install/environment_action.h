// [Environments] records: persistent environment variables.
#pragma once

#include <string>
#include <string_view>

namespace ek {

void ApplyEnvironmentRecord(std::wstring_view record);

}  // namespace ek
