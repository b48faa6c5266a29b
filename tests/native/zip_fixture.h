// Archives written byte by byte for the tests of the pure readers: a memory
// source and sink, and a small ZIP writer (optionally ZIP64) whose output
// the tests then damage on purpose.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "base/byte_stream.h"

namespace ek::fixture {

class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::string data) : data_(std::move(data)) {}
  uint64_t Size() const override { return data_.size(); }
  bool ReadAt(uint64_t off, void* buf, size_t len) override {
    if (off > data_.size() || len > data_.size() - off) return false;
    std::memcpy(buf, data_.data() + off, len);
    return true;
  }

 private:
  std::string data_;
};

// Keeps what is written, up to a bound (a refused bomb must stop early).
class StringSink : public ByteSink {
 public:
  explicit StringSink(size_t bound = SIZE_MAX) : bound_(bound) {}
  bool Write(const void* d, size_t n) override {
    if (n > bound_ - out.size()) return false;
    out.append(static_cast<const char*>(d), n);
    return true;
  }
  std::string out;

 private:
  size_t bound_;
};

inline void Put16(std::string& s, uint16_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>(v >> 8));
}
inline void Put32(std::string& s, uint32_t v) {
  Put16(s, static_cast<uint16_t>(v & 0xFFFF));
  Put16(s, static_cast<uint16_t>(v >> 16));
}
inline void Put64(std::string& s, uint64_t v) {
  Put32(s, static_cast<uint32_t>(v));
  Put32(s, static_cast<uint32_t>(v >> 32));
}
inline void Set32(std::string& s, size_t at, uint32_t v) {
  std::string b;
  Put32(b, v);
  s.replace(at, 4, b);
}
inline void Set64(std::string& s, size_t at, uint64_t v) {
  std::string b;
  Put64(b, v);
  s.replace(at, 8, b);
}

struct Entry {
  std::string name;
  std::string data;
  bool deflate = false;
  uint16_t flags = 0;
};

inline std::string Deflate(const std::string& in) {
  z_stream zs{};
  deflateInit2(&zs, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&zs, in.size()), '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  zs.avail_in = static_cast<uInt>(in.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

// A minimal, valid ZIP writer. With zip64, every size and offset of the
// central directory lives in the ZIP64 extra field and the end records are
// the ZIP64 ones.
inline std::string MakeZip(const std::vector<Entry>& entries, std::string prefix = "", bool zip64 = false) {
  std::string zip = prefix, central;
  for (const auto& e : entries) {
    const std::string body = e.deflate ? Deflate(e.data) : e.data;
    const uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size()));
    const uint32_t offset = static_cast<uint32_t>(zip.size() - prefix.size());
    Put32(zip, 0x04034b50); Put16(zip, 20); Put16(zip, e.flags); Put16(zip, e.deflate ? 8 : 0);
    Put16(zip, 0x6000); Put16(zip, 0x52C1); Put32(zip, crc);
    Put32(zip, static_cast<uint32_t>(body.size())); Put32(zip, static_cast<uint32_t>(e.data.size()));
    Put16(zip, static_cast<uint16_t>(e.name.size())); Put16(zip, 0);
    zip += e.name + body;
    Put32(central, 0x02014b50); Put16(central, 20); Put16(central, zip64 ? 45 : 20); Put16(central, e.flags);
    Put16(central, e.deflate ? 8 : 0); Put16(central, 0x6000); Put16(central, 0x52C1); Put32(central, crc);
    Put32(central, zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(body.size()));
    Put32(central, zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(e.data.size()));
    Put16(central, static_cast<uint16_t>(e.name.size())); Put16(central, zip64 ? 28 : 0); Put16(central, 0);
    Put16(central, 0); Put16(central, 0); Put32(central, 0x21); Put32(central, zip64 ? 0xFFFFFFFF : offset);
    central += e.name;
    if (zip64) {
      Put16(central, 0x0001); Put16(central, 24);
      Put64(central, e.data.size()); Put64(central, body.size()); Put64(central, offset);
    }
  }
  const uint32_t cdOffset = static_cast<uint32_t>(zip.size() - prefix.size());
  zip += central;
  if (zip64) {
    const uint64_t z64At = zip.size() - prefix.size();
    Put32(zip, 0x06064b50); Put64(zip, 44); Put16(zip, 45); Put16(zip, 45); Put32(zip, 0); Put32(zip, 0);
    Put64(zip, entries.size()); Put64(zip, entries.size()); Put64(zip, central.size()); Put64(zip, cdOffset);
    Put32(zip, 0x07064b50); Put32(zip, 0); Put64(zip, z64At + prefix.size()); Put32(zip, 1);
  }
  Put32(zip, 0x06054b50); Put16(zip, 0); Put16(zip, 0);
  Put16(zip, zip64 ? 0xFFFF : static_cast<uint16_t>(entries.size()));
  Put16(zip, zip64 ? 0xFFFF : static_cast<uint16_t>(entries.size()));
  Put32(zip, zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(central.size()));
  Put32(zip, zip64 ? 0xFFFFFFFF : cdOffset); Put16(zip, 0);
  return zip;
}

// Offsets of the central records, in order.
inline std::vector<size_t> CentralRecords(const std::string& zip) {
  std::vector<size_t> at;
  for (size_t p = zip.find("PK\x01\x02"); p != std::string::npos; p = zip.find("PK\x01\x02", p + 4)) at.push_back(p);
  return at;
}

}  // namespace ek::fixture
