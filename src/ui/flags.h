// The flags of the language menu and the language button: one small picture
// per flag index (the order of LanguageFlagIndex), painted at any size.
#pragma once

#include <cstdint>
#include <vector>

namespace ek {

inline constexpr int kFlagCount = 23;
// Logical size of a flag at 96 dpi.
inline constexpr int kFlagWidth = 16;
inline constexpr int kFlagHeight = 11;

// 0xAARRGGBB pixels, row by row, with a thin dark frame; an index outside the
// table paints the first flag.
std::vector<uint32_t> PaintFlag(int index, int width, int height);

}  // namespace ek
