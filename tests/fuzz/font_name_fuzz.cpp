// Font files registered by a package: the name table of an sfnt font or a
// collection, read from any bytes.
#include "base/font_name.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::wstring name = ek::FontRegistryName(ek::fuzz::Bytes(data, size));
  if (!name.empty()) {
    FUZZ_CHECK(name.ends_with(L" (TrueType)") || name.ends_with(L" (OpenType)"));
    FUZZ_CHECK(name.size() <= 0x10000 + 11);
  }
  return 0;
}
