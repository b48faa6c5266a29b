// The ZIP reader over any bytes: the central directory, local headers, ZIP64
// records, extra fields and names. An archive is refused or read; an entry
// is extracted or refused, and never yields more than it declares.
#include "base/path_rules.h"
#include "base/zip_reader.h"
#include "fuzz_input.h"
#include "zip_fixture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ek::fixture::MemorySource source{std::string(ek::fuzz::Bytes(data, size))};
  ek::ZipReader zip;
  if (zip.Open(source) != ek::ZipError::None) return 0;
  for (const auto& e : zip.Entries()) {
    FUZZ_CHECK(e.safeName == ek::IsSafeEntryName(e.name));
    FUZZ_CHECK(e.localHeaderOffset < size);
    FUZZ_CHECK(zip.Find(e.name) != nullptr);
    // Deflate yields at most 1032 bytes per byte, and the reader refuses
    // entries that declare more; the sink's bound proves the output stops.
    ek::fixture::StringSink sink(static_cast<size_t>(e.uncompressedSize));
    const ek::ZipError r = zip.Extract(e, sink);
    FUZZ_CHECK(r != ek::ZipError::WriteFailed);
    if (r == ek::ZipError::None) FUZZ_CHECK(sink.out.size() == e.uncompressedSize);
  }
  return 0;
}
