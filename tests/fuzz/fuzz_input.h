// Helpers shared by the fuzz targets: the input as a byte source, and a
// check that stops the run (and keeps the input) when a property fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/text.h"

// A property of the code under test that the input broke: libFuzzer keeps
// the input as a crash, like a sanitizer report.
#define FUZZ_CHECK(condition)                                                      \
  do {                                                                             \
    if (!(condition)) {                                                            \
      std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                \
    }                                                                              \
  } while (0)

namespace ek::fuzz {

inline std::string_view Bytes(const uint8_t* data, size_t size) {
  return std::string_view(reinterpret_cast<const char*>(data), size);
}

// The input as text, the way the engine reads UTF-8 files.
inline std::wstring Text(const uint8_t* data, size_t size) { return Utf8ToWide(Bytes(data, size)); }

// Splits at the first occurrence of the byte; the rest may be empty.
inline std::string_view TakeUntil(std::string_view& in, char separator) {
  const size_t at = in.find(separator);
  std::string_view head = in.substr(0, at);
  in.remove_prefix(at == std::string_view::npos ? in.size() : at + 1);
  return head;
}

}  // namespace ek::fuzz
