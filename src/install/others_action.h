// [Others] records: fonts, ActiveX servers, .NET assemblies, type libraries
// and screen savers.
#pragma once

#include <string>
#include <string_view>

namespace ek {

void ApplyOthersRecord(std::wstring_view record);
// Path of RegAsm.exe (the last of the known framework folders that holds
// one), searched once per run; empty when none exists.
std::wstring FindRegAsm();

}  // namespace ek
