// [INI] records: values written into INI files.
#pragma once

#include <string>
#include <string_view>

namespace ek {

void ApplyIniRecord(std::wstring_view record);

}  // namespace ek
