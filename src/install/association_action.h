// [Extensions] records: file associations.
#pragma once

#include <string>
#include <string_view>

namespace ek {

void ApplyAssociation(std::wstring_view record);

// The open command of a program: the program in double quotes (a quote added
// at either end where it is missing), a blank, and "%1" in quotes.
std::wstring OpenCommandFor(std::wstring_view program);

}  // namespace ek
