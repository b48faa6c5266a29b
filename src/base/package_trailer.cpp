#include "base/package_trailer.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "base/text.h"

namespace ek {

TrailerScan ScanTrailer(ByteSource& file) {
  TrailerScan scan;
  const uint64_t size = file.Size();
  if (size < kTrailerSize) return scan;
  const uint64_t top = size - kTrailerSize;
  if (top < kLowestTrailerPosition) return scan;
  // Read backwards in blocks: junk after the trailer costs one pass, not one
  // read per byte.
  constexpr uint64_t kBlock = 64 * 1024;
  std::vector<char> buf;
  uint64_t hi = top;
  while (true) {
    const uint64_t lo = (hi - kLowestTrailerPosition >= kBlock) ? hi - kBlock + 1 : kLowestTrailerPosition;
    const size_t len = static_cast<size_t>(hi - lo + kTrailerSize);
    buf.resize(len);
    if (!file.ReadAt(lo, buf.data(), len)) {
      scan.readFailed = true;
      return scan;
    }
    for (uint64_t p = hi + 1; p-- > lo;) {
      const char* t = buf.data() + (p - lo);
      if (t[0] != 'Z' || t[1] != 'Y' || t[2] != 'X') continue;
      std::wstring digits;
      for (int i = 4; i < 13; ++i) digits.push_back(static_cast<wchar_t>(static_cast<unsigned char>(t[i])));
      const int32_t n = ParseInt32Or(digits, 1);
      if (n == 1) continue;
      scan.found = true;
      scan.position = p;
      scan.configSize = n;
      scan.adminFlag = t[3] == '1';
      return scan;
    }
    if (lo == kLowestTrailerPosition) break;
    hi = lo - 1;
  }
  return scan;
}

std::string FormatTrailer(bool adminFlag, uint32_t configSize) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "ZYX%c%09u", adminFlag ? '1' : '0', configSize);
  return std::string(buf, 13);
}

}  // namespace ek
