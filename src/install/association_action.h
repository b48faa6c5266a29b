// [Extensions] records: file associations.
#pragma once

#include <string>
#include <string_view>

namespace ek {

void ApplyAssociation(std::wstring_view record);

}  // namespace ek
