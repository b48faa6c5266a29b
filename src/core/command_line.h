// The engine's command line: switch lookup and the argument text passed on.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ek {

// Index (1-based) of the first argument equal to the switch, ignoring case; 0
// when absent.
int FindParam(std::wstring_view name);
// The argument after the switch; empty when the switch or its value is absent.
std::wstring ParamValue(std::wstring_view name);
const std::vector<std::wstring>& CommandLineArgs();
// The arguments as one text, for passing them on (see its rules in the .cpp).
std::wstring CommandLineArguments();
// The same rule on given texts (pure).
std::wstring CommandLineArgumentsFrom(std::wstring_view fullCommandLine, std::wstring_view ownPath, bool hasArguments);

}  // namespace ek
