// The [Variables] section: variables of the package whose values are found on
// the target machine (typed in, chosen in a dialog, fetched from a URL, read
// from the registry, an INI file or a text file, or a default), and reserved
// names that preset values of the setup itself. Results go to
// [VariablesResult], where ExpandVariables finds them (the newest first).
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ek {

// Evaluates one record of six fields; any other record does nothing. A
// default of the form HALT(...) ends setup with exit code 5 when the lookup
// finds nothing.
void DefineVariable(std::wstring_view record);

// Every record of [Variables], in key order; `afterEach` runs after each.
void EvaluateVariablesSection(const std::function<void()>& afterEach = {});
// At start-up, unless -varonactivate defers the section to the first activation.
void EvaluateStartupVariables();
// At the first activation with -varonactivate: the wait label counts the
// records, and the destination defaults are worked out again afterwards.
void EvaluateDeferredVariables();
// The GETVARIABLES command: the section once more, then the options dialog
// refills itself. False when the configuration has no [Variables] section.
bool ReevaluateVariables();

// The folder picker: the chosen folder without a trailing backslash and in
// its long form; when nothing is chosen `start`, or empty with clearFirst.
std::wstring BrowseForFolder(const std::wstring& start, bool clearFirst);

// The name that reads as the greatest version: empty for no names, the name
// itself for one, "0" when no name is greater than 0.0.0.0; the first of
// equal names wins.
std::wstring MaxVersionName(const std::vector<std::wstring>& names);

}  // namespace ek
