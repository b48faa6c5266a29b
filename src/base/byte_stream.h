// Where bytes come from and go to: the two small interfaces through which the
// pure readers (ZIP archives, the package trailer) touch files, memory or
// anything else. Pure.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ek {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  [[nodiscard]] virtual uint64_t Size() const = 0;
  // Reads exactly len bytes at offset; false on any shortfall or error.
  [[nodiscard]] virtual bool ReadAt(uint64_t offset, void* buffer, size_t len) = 0;
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  [[nodiscard]] virtual bool Write(const void* data, size_t len) = 0;
};

}  // namespace ek
