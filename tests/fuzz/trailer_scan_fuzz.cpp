// The trailer scan over a file whose last bytes are the input: whatever they
// hold, the scan finds the highest valid trailer or none, and never reads
// below offset 1,000,000.
#include <cstring>

#include "base/package_trailer.h"
#include "fuzz_input.h"

namespace {

class TailSource : public ek::ByteSource {
 public:
  explicit TailSource(std::string_view tail) : tail_(tail) {}
  uint64_t Size() const override { return ek::kLowestTrailerPosition + tail_.size(); }
  bool ReadAt(uint64_t offset, void* buffer, size_t len) override {
    FUZZ_CHECK(offset >= ek::kLowestTrailerPosition);  // the engine above it is never read
    if (offset > Size() || len > Size() - offset) return false;
    std::memcpy(buffer, tail_.data() + (offset - ek::kLowestTrailerPosition), len);
    return true;
  }

 private:
  std::string_view tail_;
};

// The rule written the slow way: from the top down, the first "ZYX" whose
// nine characters make a number other than 1.
int64_t ReferencePosition(std::string_view tail) {
  if (tail.size() < ek::kTrailerSize) return -1;
  for (size_t p = tail.size() - ek::kTrailerSize + 1; p-- > 0;) {
    if (tail.substr(p, 3) != "ZYX") continue;
    std::wstring digits;
    for (char c : tail.substr(p + 4, 9)) digits.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    if (ek::ParseInt32Or(digits, 1) != 1) return static_cast<int64_t>(p);
  }
  return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view tail = ek::fuzz::Bytes(data, size);
  TailSource source(tail);
  const ek::TrailerScan scan = ek::ScanTrailer(source);
  const int64_t want = ReferencePosition(tail);
  FUZZ_CHECK(scan.found == (want >= 0));
  if (scan.found) {
    FUZZ_CHECK(scan.position == ek::kLowestTrailerPosition + static_cast<uint64_t>(want));
    FUZZ_CHECK(scan.configSize != 1);
    FUZZ_CHECK(scan.adminFlag == (tail[static_cast<size_t>(want) + 3] == '1'));
  }
  return 0;
}
