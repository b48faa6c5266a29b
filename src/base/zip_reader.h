// Streaming reader of ZIP archives (local headers, central directory, ZIP64,
// stored and deflated entries). It never trusts the archive: sizes and offsets
// are checked against the file, names that could leave the target folder are
// refused, and output is bounded by the declared size and checked by CRC-32.
// Pure: reads and writes through ByteSource and ByteSink.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_stream.h"

namespace ek {

struct ZipEntry {
  std::wstring name;  // stored name with "/" turned into "\"
  uint16_t versionMadeBy = 0;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint16_t dosTime = 0;
  uint16_t dosDate = 0;
  uint32_t crc32 = 0;
  uint64_t compressedSize = 0;
  uint64_t uncompressedSize = 0;
  uint64_t localHeaderOffset = 0;
  uint32_t externalAttributes = 0;
  bool isDirectory = false;
  bool safeName = false;  // relative, no drive, no "..": may be joined to a folder
  uint64_t regionEnd = 0;  // where the entry's stretch of the archive ends (the next header)

  // Stored by an MS-DOS/Windows host: the low byte of the external
  // attributes then carries the file attributes.
  [[nodiscard]] bool HostIsDos() const { return (versionMadeBy >> 8) == 0; }
};

enum class ZipError {
  None,
  ReadFailed,     // the source could not be read
  NotAZip,        // no end-of-central-directory record
  Corrupt,        // headers or offsets inconsistent with the file
  Unsupported,    // method other than stored/deflated, or encrypted
  UnsafeName,     // absolute, drive, stream or ".." name
  DataError,      // deflate stream damaged, or longer/shorter than declared
  CrcMismatch,
  WriteFailed,
};

[[nodiscard]] const wchar_t* ZipErrorText(ZipError error);

// True when the name, with "/" as "\" too, is a relative path that stays
// inside the folder it is extracted to.
[[nodiscard]] bool IsSafeEntryName(std::wstring_view name);

class ZipReader {
 public:
  ZipReader();
  ~ZipReader();
  ZipReader(const ZipReader&) = delete;
  ZipReader& operator=(const ZipReader&) = delete;

  // Reads the central directory. The source must outlive the reader.
  // Archives whose entries overlap, share a name (ignoring case) or declare
  // sizes their data cannot have are refused as Corrupt.
  [[nodiscard]] ZipError Open(ByteSource& source);
  [[nodiscard]] const std::vector<ZipEntry>& Entries() const { return entries_; }
  // First entry with exactly this name ("\" and "/" equivalent).
  [[nodiscard]] const ZipEntry* Find(std::wstring_view name) const;
  // Streams the uncompressed data of the entry into the sink, in pieces of
  // at most kPieceSize bytes.
  [[nodiscard]] ZipError Extract(const ZipEntry& entry, ByteSink& sink);
  // The same, with the reading and inflating done on a second thread a few
  // pieces ahead of the sink, which is written on the calling thread in the
  // same order: the processor and the disk work at the same time. Worth its
  // thread for large entries only.
  [[nodiscard]] ZipError ExtractAhead(const ZipEntry& entry, ByteSink& sink);

  static constexpr size_t kPieceSize = 512 * 1024;

 private:
  [[nodiscard]] ZipError CheckLayout();
  struct Buffers;

  ByteSource* source_ = nullptr;
  uint64_t centralStart_ = 0;  // entry data must lie before the central directory
  std::vector<ZipEntry> entries_;
  // The read buffer, the output piece and the inflate state, made on the
  // first extraction and kept for the next ones.
  std::unique_ptr<Buffers> buffers_;
};

}  // namespace ek
