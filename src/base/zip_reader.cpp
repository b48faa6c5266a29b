#include "base/zip_reader.h"

#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_set>

#include "base/path_rules.h"
#include "base/text.h"

namespace ek {
namespace {

constexpr uint32_t kEocdSig = 0x06054b50;
constexpr uint32_t kZip64LocatorSig = 0x07064b50;
constexpr uint32_t kZip64EocdSig = 0x06064b50;
constexpr uint32_t kCentralSig = 0x02014b50;
constexpr uint32_t kLocalSig = 0x04034b50;
constexpr size_t kEocdSize = 22;
constexpr size_t kCentralSize = 46;
constexpr size_t kLocalSize = 30;
constexpr size_t kInChunk = 256 * 1024;
constexpr size_t kOutChunk = ZipReader::kPieceSize;
constexpr size_t kPiecesAhead = 2;  // inflated pieces waiting for the sink, at most
constexpr uint64_t kMaxDeflateRatio = 1032;
// Far beyond any real archive (millions of entries), but not an allocation
// of the whole file because a damaged record says so.
constexpr uint64_t kMaxCentralDirectory = 256ull << 20;

uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
uint64_t Le64(const unsigned char* p) { return Le32(p) | (static_cast<uint64_t>(Le32(p + 4)) << 32); }

// Reads the ZIP64 fields that the 32-bit fields mark as 0xFFFFFFFF.
bool ApplyZip64Extra(const unsigned char* extra, size_t len, ZipEntry& e, bool needUncomp, bool needComp,
                     bool needOffset) {
  size_t p = 0;
  while (p + 4 <= len) {
    uint16_t id = Le16(extra + p);
    uint16_t size = Le16(extra + p + 2);
    if (p + 4 + size > len) return false;
    if (id == 0x0001) {
      const unsigned char* d = extra + p + 4;
      size_t q = 0;
      if (needUncomp) { if (q + 8 > size) return false; e.uncompressedSize = Le64(d + q); q += 8; }
      if (needComp) { if (q + 8 > size) return false; e.compressedSize = Le64(d + q); q += 8; }
      if (needOffset) { if (q + 8 > size) return false; e.localHeaderOffset = Le64(d + q); q += 8; }
      return true;
    }
    p += 4 + size;
  }
  return !(needUncomp || needComp || needOffset);
}

// The Info-ZIP Unicode Path field holds the UTF-8 name when the flag is absent.
bool UnicodePathExtra(const unsigned char* extra, size_t len, std::string_view rawName, std::wstring& out) {
  size_t p = 0;
  while (p + 4 <= len) {
    uint16_t id = Le16(extra + p);
    uint16_t size = Le16(extra + p + 2);
    if (p + 4 + size > len) return false;
    if (id == 0x7075 && size >= 5 && extra[p + 4] == 1) {
      uint32_t crc = Le32(extra + p + 5);
      uLong actual = crc32(0L, reinterpret_cast<const Bytef*>(rawName.data()), static_cast<uInt>(rawName.size()));
      if (crc != actual) return false;
      out = Utf8ToWide(std::string_view(reinterpret_cast<const char*>(extra + p + 9), size - 5));
      return true;
    }
    p += 4 + size;
  }
  return false;
}

// Sizes that no real entry can have: stored data whose two sizes differ, or
// deflated data that would inflate beyond deflate's own limit (each bit of
// the stream yields at most 129 bytes, so 1032 per byte). An archive that
// declares them lies about its entries, and is refused before anything is
// written.
bool SizesArePossible(const ZipEntry& e) {
  if (e.flags & 0x0001) return true;  // encrypted: refused when extracted
  if (e.method == 0) return e.compressedSize == e.uncompressedSize;
  if (e.method == 8) return e.uncompressedSize / kMaxDeflateRatio <= e.compressedSize;
  return true;
}

}  // namespace

const wchar_t* ZipErrorText(ZipError error) {
  switch (error) {
    case ZipError::None: return L"no error";
    case ZipError::ReadFailed: return L"the archive cannot be read";
    case ZipError::NotAZip: return L"not a ZIP archive";
    case ZipError::Corrupt: return L"the archive is damaged";
    case ZipError::Unsupported: return L"unsupported compression or encryption";
    case ZipError::UnsafeName: return L"an entry name leaves the target folder";
    case ZipError::DataError: return L"the compressed data is damaged";
    case ZipError::CrcMismatch: return L"CRC-32 mismatch";
    case ZipError::WriteFailed: return L"the output cannot be written";
  }
  return L"unknown error";
}

bool IsSafeEntryName(std::wstring_view name) {
  if (name.empty()) return false;
  if (name[0] == L'\\' || name[0] == L'/') return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of(L"\\/", start);
    if (end == std::wstring_view::npos) end = name.size();
    const std::wstring_view part = name.substr(start, end - start);
    if (part.empty()) {
      if (end != name.size()) return false;  // "a\\b": an empty component; a folder's own trailing "\" is fine
    } else if (part != L"." && !IsPlainPathComponent(part)) {
      // Drives, streams, devices, and names that Windows shortens: "..",
      // "... " and "a." all end in a dot or blank.
      return false;
    }
    start = end + 1;
  }
  return true;
}

struct ZipReader::Buffers {
  std::unique_ptr<unsigned char[]> in{new unsigned char[kInChunk]};
  std::unique_ptr<unsigned char[]> out{new unsigned char[kOutChunk]};
  z_stream zs{};
  bool inflating = false;  // zs holds an inflate state: reset, not made again

  ~Buffers() {
    if (inflating) inflateEnd(&zs);
  }
  // A fresh raw-deflate state; false when zlib cannot make one.
  bool StartInflate() {
    if (inflating) {
      // Input left over from the previous entry is not this entry's.
      zs.next_in = nullptr;
      zs.avail_in = 0;
      return inflateReset(&zs) == Z_OK;
    }
    std::memset(&zs, 0, sizeof zs);
    inflating = inflateInit2(&zs, -MAX_WBITS) == Z_OK;
    return inflating;
  }
};

ZipReader::ZipReader() = default;
ZipReader::~ZipReader() = default;

ZipError ZipReader::Open(ByteSource& source) {
  source_ = &source;
  entries_.clear();
  const uint64_t size = source.Size();
  if (size < kEocdSize) return ZipError::NotAZip;

  const size_t tailLen = static_cast<size_t>(std::min<uint64_t>(size, 0xFFFF + kEocdSize));
  std::vector<unsigned char> tail(tailLen);
  if (!source.ReadAt(size - tailLen, tail.data(), tailLen)) return ZipError::ReadFailed;

  // Prefer the record whose comment ends exactly at the end of the file.
  size_t found = SIZE_MAX;
  for (size_t i = tailLen - kEocdSize + 1; i-- > 0;) {
    if (Le32(&tail[i]) != kEocdSig) continue;
    size_t commentLen = Le16(&tail[i + 20]);
    if (i + kEocdSize + commentLen == tailLen) { found = i; break; }
    if (found == SIZE_MAX) found = i;
  }
  if (found == SIZE_MAX) return ZipError::NotAZip;
  const unsigned char* eocd = &tail[found];
  const uint64_t eocdPos = size - tailLen + found;

  uint64_t entryCount = Le16(eocd + 10);
  uint64_t cdSize = Le32(eocd + 12);
  uint64_t cdOffset = Le32(eocd + 16);
  uint64_t cdEnd = eocdPos;  // where the central directory must end

  if (Le16(eocd + 4) != 0 || Le16(eocd + 6) != 0) return ZipError::Unsupported;  // multi-disk
  if (entryCount == 0xFFFF || cdSize == 0xFFFFFFFF || cdOffset == 0xFFFFFFFF) {
    if (eocdPos < 20) return ZipError::Corrupt;
    unsigned char loc[20];
    if (!source.ReadAt(eocdPos - 20, loc, sizeof loc)) return ZipError::ReadFailed;
    if (Le32(loc) != kZip64LocatorSig) return ZipError::Corrupt;
    uint64_t z64Pos = Le64(loc + 8);
    unsigned char z64[56];
    if (z64Pos > eocdPos - 20 || eocdPos - 20 - z64Pos < sizeof z64) return ZipError::Corrupt;
    if (!source.ReadAt(z64Pos, z64, sizeof z64)) return ZipError::ReadFailed;
    if (Le32(z64) != kZip64EocdSig) return ZipError::Corrupt;
    entryCount = Le64(z64 + 32);
    cdSize = Le64(z64 + 40);
    cdOffset = Le64(z64 + 48);
    cdEnd = z64Pos;
  }
  if (cdSize > cdEnd || cdOffset > cdEnd - cdSize) return ZipError::Corrupt;
  // Data prepended to the archive shifts every offset by the same amount.
  const uint64_t base = cdEnd - cdSize - cdOffset;
  if (entryCount > cdSize / kCentralSize + 1) return ZipError::Corrupt;
  if (cdSize > kMaxCentralDirectory) return ZipError::Unsupported;

  std::vector<unsigned char> cd(static_cast<size_t>(cdSize));
  if (cdSize && !source.ReadAt(base + cdOffset, cd.data(), cd.size())) return ZipError::ReadFailed;
  centralStart_ = base + cdOffset;
  entries_.reserve(static_cast<size_t>(entryCount));

  size_t p = 0;
  for (uint64_t n = 0; n < entryCount; ++n) {
    if (p + kCentralSize > cd.size() || Le32(&cd[p]) != kCentralSig) return ZipError::Corrupt;
    const unsigned char* h = &cd[p];
    ZipEntry e;
    e.versionMadeBy = Le16(h + 4);
    e.flags = Le16(h + 8);
    e.method = Le16(h + 10);
    e.dosTime = Le16(h + 12);
    e.dosDate = Le16(h + 14);
    e.crc32 = Le32(h + 16);
    e.compressedSize = Le32(h + 20);
    e.uncompressedSize = Le32(h + 24);
    const size_t nameLen = Le16(h + 28);
    const size_t extraLen = Le16(h + 30);
    const size_t commentLen = Le16(h + 32);
    e.externalAttributes = Le32(h + 38);
    e.localHeaderOffset = Le32(h + 42);
    if (p + kCentralSize + nameLen + extraLen + commentLen > cd.size()) return ZipError::Corrupt;
    std::string_view rawName(reinterpret_cast<const char*>(h + kCentralSize), nameLen);
    const unsigned char* extra = h + kCentralSize + nameLen;
    if (!ApplyZip64Extra(extra, extraLen, e, e.uncompressedSize == 0xFFFFFFFF, e.compressedSize == 0xFFFFFFFF,
                         e.localHeaderOffset == 0xFFFFFFFF))
      return ZipError::Corrupt;
    std::wstring name;
    if (e.flags & 0x0800) name = Utf8ToWide(rawName);
    else if (!UnicodePathExtra(extra, extraLen, rawName, name)) name = Cp437ToWide(rawName);
    e.isDirectory = !name.empty() && (name.back() == L'/' || name.back() == L'\\');
    for (auto& c : name)
      if (c == L'/') c = L'\\';
    e.safeName = IsSafeEntryName(name);
    e.name = std::move(name);
    if (e.localHeaderOffset > cdOffset || cdOffset - e.localHeaderOffset < kLocalSize) return ZipError::Corrupt;
    e.localHeaderOffset += base;
    if (!SizesArePossible(e)) return ZipError::Corrupt;
    entries_.push_back(std::move(e));
    p += kCentralSize + nameLen + extraLen + commentLen;
  }
  return CheckLayout();
}

// Every entry owns its own stretch of the archive, up to the next local
// header: entries that share data (a classic way to multiply a small archive
// into a huge output) or a header are refused, and so are two entries that
// would land on one file, which one reader would take for the first and
// another for the second.
ZipError ZipReader::CheckLayout() {
  std::vector<size_t> order(entries_.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(),
            [&](size_t a, size_t b) { return entries_[a].localHeaderOffset < entries_[b].localHeaderOffset; });
  for (size_t k = 0; k < order.size(); ++k) {
    ZipEntry& e = entries_[order[k]];
    e.regionEnd = k + 1 < order.size() ? entries_[order[k + 1]].localHeaderOffset : centralStart_;
    // At least a header and the stored data must fit before the next one.
    if (e.regionEnd - e.localHeaderOffset < kLocalSize || e.compressedSize > e.regionEnd - e.localHeaderOffset - kLocalSize)
      return ZipError::Corrupt;
  }
  std::unordered_set<std::wstring> names;
  names.reserve(entries_.size());
  for (const auto& e : entries_)
    if (!names.insert(FoldCase(StripTrailingBackslash(e.name))).second) return ZipError::Corrupt;
  return ZipError::None;
}

const ZipEntry* ZipReader::Find(std::wstring_view name) const {
  std::wstring wanted(name);
  for (auto& c : wanted)
    if (c == L'/') c = L'\\';
  for (const auto& e : entries_)
    if (e.name == wanted) return &e;
  return nullptr;
}

ZipError ZipReader::Extract(const ZipEntry& entry, ByteSink& sink) {
  if (!source_) return ZipError::ReadFailed;
  if (entry.flags & 0x0001) return ZipError::Unsupported;  // encrypted
  if (entry.method != 0 && entry.method != 8) return ZipError::Unsupported;

  unsigned char lh[kLocalSize];
  if (!source_->ReadAt(entry.localHeaderOffset, lh, sizeof lh)) return ZipError::ReadFailed;
  if (Le32(lh) != kLocalSig) return ZipError::Corrupt;
  const uint64_t dataStart = entry.localHeaderOffset + kLocalSize + Le16(lh + 26) + Le16(lh + 28);
  // The data must lie between its header and the next one (or the central
  // directory).
  const uint64_t end = entry.regionEnd ? entry.regionEnd : centralStart_;
  if (dataStart > end || entry.compressedSize > end - dataStart) return ZipError::Corrupt;

  if (!buffers_) buffers_ = std::make_unique<Buffers>();
  Buffers& b = *buffers_;
  unsigned char* const in = b.in.get();
  uLong crc = crc32(0L, Z_NULL, 0);
  uint64_t written = 0;

  if (entry.method == 0) {
    if (entry.compressedSize != entry.uncompressedSize) return ZipError::Corrupt;
    uint64_t left = entry.compressedSize;
    uint64_t off = dataStart;
    while (left > 0) {
      size_t n = static_cast<size_t>(std::min<uint64_t>(left, kInChunk));
      if (!source_->ReadAt(off, in, n)) return ZipError::ReadFailed;
      crc = crc32(crc, in, static_cast<uInt>(n));
      if (!sink.Write(in, n)) return ZipError::WriteFailed;
      off += n;
      left -= n;
      written += n;
    }
  } else {
    if (!b.StartInflate()) return ZipError::DataError;
    z_stream& zs = b.zs;
    unsigned char* const out = b.out.get();
    uint64_t left = entry.compressedSize;
    uint64_t off = dataStart;
    bool ended = false;
    while (!ended) {
      if (zs.avail_in == 0) {
        if (left == 0) return ZipError::DataError;  // stream ends before its end marker
        size_t n = static_cast<size_t>(std::min<uint64_t>(left, kInChunk));
        if (!source_->ReadAt(off, in, n)) return ZipError::ReadFailed;
        off += n;
        left -= n;
        zs.next_in = in;
        zs.avail_in = static_cast<uInt>(n);
      }
      zs.next_out = out;
      zs.avail_out = static_cast<uInt>(kOutChunk);
      int rc = inflate(&zs, Z_NO_FLUSH);
      if (rc == Z_STREAM_END) ended = true;
      else if (rc != Z_OK && rc != Z_BUF_ERROR) return ZipError::DataError;
      const size_t produced = kOutChunk - zs.avail_out;
      if (rc == Z_BUF_ERROR && produced == 0 && zs.avail_in != 0) return ZipError::DataError;
      if (produced) {
        // Never write more than the entry declares: a bomb stops here.
        if (produced > entry.uncompressedSize - written) return ZipError::DataError;
        crc = crc32(crc, out, static_cast<uInt>(produced));
        if (!sink.Write(out, produced)) return ZipError::WriteFailed;
        written += produced;
      }
    }
  }
  if (written != entry.uncompressedSize) return ZipError::DataError;
  if (static_cast<uint32_t>(crc) != entry.crc32) return ZipError::CrcMismatch;
  return ZipError::None;
}

namespace {

// The pieces between the inflating thread and the writing one: a few
// buffers that go round, so the memory does not grow with the entry.
class PieceQueue {
 public:
  PieceQueue() {
    for (auto& p : pieces_) p.data.reset(new unsigned char[kOutChunk]);
    for (auto& p : pieces_) free_.push_back(&p);
  }

  // Producer side: a copy of the data as the next piece; false once the
  // consumer has stopped.
  bool Put(const void* data, size_t len) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stopped_ || !free_.empty(); });
    if (stopped_) return false;
    Piece* p = free_.front();
    free_.pop_front();
    lock.unlock();
    std::memcpy(p->data.get(), data, len);
    p->size = len;
    lock.lock();
    full_.push_back(p);
    changed_.notify_all();
    return true;
  }
  void Finish() {
    std::lock_guard lock(mutex_);
    finished_ = true;
    changed_.notify_all();
  }

  // Consumer side: the next piece, or nullptr after the last one.
  struct Piece {
    std::unique_ptr<unsigned char[]> data;
    size_t size = 0;
  };
  Piece* Take() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return finished_ || !full_.empty(); });
    if (full_.empty()) return nullptr;
    Piece* p = full_.front();
    full_.pop_front();
    return p;
  }
  void Give(Piece* p) {
    std::lock_guard lock(mutex_);
    free_.push_back(p);
    changed_.notify_all();
  }
  // The consumer gives up: the producer's next Put fails.
  void Stop() {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    changed_.notify_all();
  }

 private:
  Piece pieces_[kPiecesAhead];
  std::deque<Piece*> free_, full_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool finished_ = false, stopped_ = false;
};

class QueueSink : public ByteSink {
 public:
  explicit QueueSink(PieceQueue& q) : q_(q) {}
  bool Write(const void* data, size_t len) override { return q_.Put(data, len); }

 private:
  PieceQueue& q_;
};

}  // namespace

ZipError ZipReader::ExtractAhead(const ZipEntry& entry, ByteSink& sink) {
  PieceQueue queue;
  ZipError inflated = ZipError::None;
  std::thread reader;
  try {
    reader = std::thread([&] {
      QueueSink pieces(queue);
      inflated = Extract(entry, pieces);
      queue.Finish();
    });
  } catch (const std::system_error&) {
    return Extract(entry, sink);  // no second thread to be had: all on this one
  }
  bool written = true;
  while (PieceQueue::Piece* p = queue.Take()) {
    written = written && sink.Write(p->data.get(), p->size);
    queue.Give(p);
    if (!written) queue.Stop();
  }
  reader.join();
  // The sink's own failure comes first: the reader only saw it stop.
  if (!written) return ZipError::WriteFailed;
  return inflated;
}

}  // namespace ek
