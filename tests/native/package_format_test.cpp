// The pure package formats, built natively: the trailer scan and the ZIP
// reader against archives written here byte by byte, damaged on purpose.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/package_trailer.h"
#include "base/zip_reader.h"
#include "zip_fixture.h"

using namespace ek;
using namespace ek::fixture;

namespace {

ZipError ExtractFirst(const std::string& zip, std::string* out = nullptr) {
  MemorySource src(zip);
  ZipReader r;
  ZipError e = r.Open(src);
  if (e != ZipError::None) return e;
  if (r.Entries().empty()) return ZipError::Corrupt;
  StringSink sink;
  e = r.Extract(r.Entries()[0], sink);
  if (out) *out = sink.out;
  return e;
}

}  // namespace

TEST(TrailerScan, FindsTrailerAndRejectsSmallFilesAndBadSizes) {
  const std::string body(1000000, 'e');
  struct Case {
    const char* what;
    std::string file;
    bool found;
    int64_t size;
    bool admin;
  } cases[] = {
      {"at the very end", body + "ZYX0000030948", true, 30948, false},
      {"admin flag", body + "ZYX1000000123", true, 123, true},
      {"junk after it", body + "ZYX0000000200" + std::string(70000, 'j'), true, 200, false},
      {"not a number is skipped", body + "ZYX0000000200" + "ZYX0notanumbr", true, 200, false},
      {"size 1 is skipped", body + "ZYX0000000200" + "ZYX0000000001", true, 200, false},
      {"1,000,012 bytes: no scan", std::string(999999, 'e') + "ZYX0000000200", false, 0, false},
      {"nothing valid down to 1,000,000", std::string(999999, 'e') + "ZYX0000000200" + std::string(100, 'j'), false, 0,
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MemorySource src(c.file);
    TrailerScan s = ScanTrailer(src);
    EXPECT_EQ(s.found, c.found);
    if (c.found) {
      EXPECT_EQ(s.configSize, c.size);
      EXPECT_EQ(s.adminFlag, c.admin);
    }
  }
  EXPECT_EQ(FormatTrailer(false, 30948), "ZYX0000030948");
}

TEST(ZipReader, ReadsStoredAndDeflatedEntriesWithTimesAndNames) {
  std::string big(3 * 1024 * 1024 + 7, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 131) ^ (i >> 7));
  const std::string zip = MakeZip({{"0", "stored data", false},
                                   {"dir/1", big, true},
                                   {"caf\xC3\xA9.txt", "utf8", false, 0x0800},
                                   {"empty", "", true}},
                                  "prepended junk");
  MemorySource src(zip);
  ZipReader r;
  ASSERT_EQ(r.Open(src), ZipError::None);
  ASSERT_EQ(r.Entries().size(), 4u);
  EXPECT_EQ(r.Entries()[1].name, L"dir\\1");
  EXPECT_EQ(r.Entries()[2].name, L"caf\u00e9.txt");
  EXPECT_EQ(r.Entries()[0].dosDate, 0x52C1);
  EXPECT_TRUE(r.Entries()[0].HostIsDos());
  EXPECT_EQ(r.Entries()[0].externalAttributes & 0xFF, 0x21u);
  ASSERT_NE(r.Find(L"dir/1"), nullptr);
  for (size_t i = 0; i < 4; ++i) {
    StringSink sink;
    ASSERT_EQ(r.Extract(r.Entries()[i], sink), ZipError::None) << i;
    if (i == 1) {
      EXPECT_EQ(sink.out, big);
    }
  }
}

// A sink that takes a given number of bytes and then refuses to write.
class FullSink : public ByteSink {
 public:
  explicit FullSink(size_t room) : room_(room) {}
  bool Write(const void*, size_t n) override {
    if (n > room_) return false;
    room_ -= n;
    written += n;
    return true;
  }
  size_t written = 0;

 private:
  size_t room_;
};

TEST(ZipReader, ExtractingAheadOnASecondThreadGivesTheSameBytesAndErrors) {
  std::string big(5 * 1024 * 1024 + 3, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7) ^ (i >> 9) ^ (i % 251 == 0 ? 0x55 : 0));
  const std::string zip = MakeZip({{"0", big, true}, {"1", big.substr(0, 2 * 1024 * 1024 + 1), false}, {"2", "", true},
                                   {"3", "small", true}});
  MemorySource src(zip);
  ZipReader r;
  ASSERT_EQ(r.Open(src), ZipError::None);
  // Alternating with the plain extraction: the kept inflate state and
  // buffers carry nothing from one entry into the next.
  for (int round = 0; round < 2; ++round) {
    for (const auto& e : r.Entries()) {
      StringSink ahead, plain;
      ASSERT_EQ(r.ExtractAhead(e, ahead), ZipError::None);
      ASSERT_EQ(r.Extract(e, plain), ZipError::None);
      EXPECT_EQ(ahead.out, plain.out);
      EXPECT_EQ(ahead.out.size(), e.uncompressedSize);
    }
  }
  // The sink fails part-way: the reading thread stops, the failure is the
  // sink's, and nothing beyond the refusal was written.
  FullSink full(1024 * 1024);
  EXPECT_EQ(r.ExtractAhead(r.Entries()[0], full), ZipError::WriteFailed);
  EXPECT_LE(full.written, 1024u * 1024u);
  // Damage inside the large deflated entry is reported as by the plain path.
  std::string damaged = zip;
  damaged[30 + 1 + 200000] ^= 0x5A;
  MemorySource damagedSource(damaged);
  ZipReader d;
  ASSERT_EQ(d.Open(damagedSource), ZipError::None);
  StringSink a, b;
  const ZipError ahead = d.ExtractAhead(d.Entries()[0], a), plain = d.Extract(d.Entries()[0], b);
  EXPECT_NE(ahead, ZipError::None);
  EXPECT_EQ(ahead, plain);
  EXPECT_EQ(a.out, b.out);
}

TEST(ZipReader, RefusesDamagedAndHostileArchives) {
  const std::string good = MakeZip({{"a.txt", std::string(5000, 'a'), true}});
  std::string badCrc = MakeZip({{"a.txt", "hello world", false}});
  badCrc[30 + 5] ^= 0x01;  // first data byte
  std::string truncated = good.substr(0, good.size() / 2) + good.substr(good.size() - 22);
  std::string huge = MakeZip({{"a.txt", "hello", false}});
  {
    const size_t cd = huge.find("PK\x01\x02");
    huge[cd + 20] = huge[cd + 24] = '\xF0';
    huge[cd + 23] = huge[cd + 27] = '\x7F';
  }
  std::string bomb = MakeZip({{"a.txt", std::string(100000, 'z'), true}});
  {
    const size_t cd = bomb.find("PK\x01\x02");
    bomb[cd + 24] = 10;  // declares 10 bytes uncompressed
    bomb[cd + 25] = bomb[cd + 26] = bomb[cd + 27] = 0;
  }
  std::string cutDeflate = good;
  cutDeflate[30 + 5 + 2] ^= 0x55;

  EXPECT_EQ(ExtractFirst(good), ZipError::None);
  EXPECT_EQ(ExtractFirst(badCrc), ZipError::CrcMismatch);
  EXPECT_NE(ExtractFirst(truncated), ZipError::None);
  EXPECT_EQ(ExtractFirst(huge), ZipError::Corrupt);
  EXPECT_EQ(ExtractFirst(bomb), ZipError::DataError);
  EXPECT_NE(ExtractFirst(cutDeflate), ZipError::None);
  EXPECT_EQ(ExtractFirst("not a zip at all, not even close"), ZipError::NotAZip);
  EXPECT_EQ(ExtractFirst(""), ZipError::NotAZip);
  EXPECT_NE(ExtractFirst(good.substr(0, good.size() - 1)), ZipError::None);
}

TEST(ZipReader, EntryNamesThatLeaveTheFolderAreMarkedUnsafe) {
  struct Case {
    const wchar_t* name;
    bool safe;
  } cases[] = {
      {L"a.txt", true},       {L"dir\\sub\\a.txt", true}, {L"dir/", true},          {L".\\a", true},
      {L"..\\x.txt", false},  {L"a\\..\\..\\x", false},   {L"../x", false},         {L"C:\\x.txt", false},
      {L"\\x.txt", false},    {L"/etc/x", false},         {L"a\\... \\x", false},   {L"file.txt:stream", false},
      {L"a\\\\b", false},     {L"", false},               {L"con\x01trol", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsSafeEntryName(c.name), c.safe) << std::string(c.name, c.name + wcslen(c.name));
}

TEST(ZipReader, SurvivesRandomDamage) {
  // Thousands of damaged variants of a valid archive: every one is either
  // read correctly or refused, never a crash, a hang or unbounded output.
  const std::string good = MakeZip({{"a.txt", std::string(20000, 'a') + "tail", true},
                                    {"b/c.bin", std::string(3000, '\x7f'), false},
                                    {"d.txt", "short", true}});
  uint32_t seed = 12345;
  auto next = [&] { return seed = seed * 1103515245u + 12345u; };
  for (int round = 0; round < 3000; ++round) {
    std::string z = good;
    const int flips = 1 + static_cast<int>(next() % 8);
    for (int f = 0; f < flips; ++f) z[next() % z.size()] = static_cast<char>(next() >> 16);
    if (next() % 10 == 0) z.resize(next() % z.size());
    MemorySource src(z);
    ZipReader r;
    if (r.Open(src) != ZipError::None) continue;
    for (const auto& e : r.Entries()) {
      StringSink sink;
      if (r.Extract(e, sink) == ZipError::None) {
        EXPECT_EQ(sink.out.size(), e.uncompressedSize);
      }
      EXPECT_LE(sink.out.size(), e.uncompressedSize);
    }
  }
}
