// The name under which Windows lists a font file in its Fonts registry key:
// the full name of an sfnt font (TrueType, OpenType, the first font of a
// collection) with " (TrueType)" or " (OpenType)". Pure.
#pragma once

#include <string>
#include <string_view>

namespace ek {

// Empty when the bytes are no sfnt font or carry no usable name.
[[nodiscard]] std::wstring FontRegistryName(std::string_view bytes);

}  // namespace ek
