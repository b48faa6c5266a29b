// The 13-byte trailer at the end of a setup package: "ZYX", the admin flag,
// and the size of the configuration archive as 9 decimal digits. Pure.
#pragma once

#include <cstdint>
#include <string>

#include "base/byte_stream.h"

namespace ek {

inline constexpr uint64_t kTrailerSize = 13;
inline constexpr uint64_t kLowestTrailerPosition = 1000000;

struct TrailerScan {
  bool found = false;
  uint64_t position = 0;     // offset of "ZYX"
  int64_t configSize = 0;    // N as the trailer states it
  bool adminFlag = false;
  bool readFailed = false;
};

// Scans from size-13 down to 1,000,000 for "ZYX" followed by a flag and a
// number other than 1 (text that is not a number counts as 1).
[[nodiscard]] TrailerScan ScanTrailer(ByteSource& file);
[[nodiscard]] std::string FormatTrailer(bool adminFlag, uint32_t configSize);

}  // namespace ek
