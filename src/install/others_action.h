// [Others] records: fonts, ActiveX servers, .NET assemblies, type libraries
// and screen savers.
#pragma once

#include <string>
#include <string_view>

namespace ek {

void ApplyOthersRecord(std::wstring_view record);

}  // namespace ek
