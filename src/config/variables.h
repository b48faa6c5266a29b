// Variables and constants: <Name> placeholders, the text functions such as
// GETDIRX[...], component tokens, user variables and environment variables.
#pragma once

#include <string>
#include <string_view>

namespace ek {

// The built-in variable of that number (1 .. 84); empty for others.
std::wstring GetConstant(int number);
// Replaces every placeholder it can resolve; never fails.
std::wstring ExpandVariables(std::wstring_view text);
// Fills one "%s" with the argument, then expands; a text the format rules
// reject is expanded unformatted.
std::wstring FormatAndExpand(std::wstring_view text, std::wstring_view argument);
// InstallDir, MainExe and ProgramGroup from the configuration and /D.
void ResolveInstallPaths();
// The same with the argument after "/D" given (empty: none).
void ResolveInstallPathsFrom(std::wstring_view folderArgument);

}  // namespace ek
