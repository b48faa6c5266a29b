// Archives made to deceive a reader: entries that share data or a name,
// sizes that cannot be true, ZIP64 records that lie, directories that point
// elsewhere, and names that Windows reads differently from how they are
// written. Each is refused before anything is extracted.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/path_rules.h"
#include "base/zip_reader.h"
#include "zip_fixture.h"

using namespace ek;
using namespace ek::fixture;

namespace {

ZipError OpenError(const std::string& zip) {
  MemorySource src(zip);
  ZipReader r;
  return r.Open(src);
}

std::string TwoStored() { return MakeZip({{"a.txt", "first entry"}, {"b.txt", "second entry"}}); }

}  // namespace

TEST(HostileArchive, Zip64ArchivesAreReadWhenTheyTellTheTruth) {
  const std::string big(70000, 'q');
  const std::string zip = MakeZip({{"0", "stored"}, {"1", big, true}}, "junk before", true);
  MemorySource src(zip);
  ZipReader r;
  ASSERT_EQ(r.Open(src), ZipError::None);
  ASSERT_EQ(r.Entries().size(), 2u);
  StringSink sink;
  ASSERT_EQ(r.Extract(r.Entries()[1], sink), ZipError::None);
  EXPECT_EQ(sink.out, big);
}

TEST(HostileArchive, ArchivesThatLieAreRefusedWhenOpened) {
  struct Case {
    const char* what;
    std::string zip;
  };
  std::vector<Case> cases;
  const std::string two = TwoStored();
  const auto cd = CentralRecords(two);

  cases.push_back({"two entries with one name", MakeZip({{"a.txt", "x"}, {"a.txt", "y"}})});
  cases.push_back({"names that differ in case only", MakeZip({{"eksetup.ini", "x"}, {"EKSETUP.INI", "y"}})});
  cases.push_back({"a folder and a file of one name", MakeZip({{"a/", ""}, {"a", "y"}})});
  {
    std::string z = two;  // the second record points at the first header
    Set32(z, cd[1] + 42, 0);
    cases.push_back({"two records share a local header", z});
  }
  {
    std::string z = two;  // the first entry's data swallows the second entry
    Set32(z, cd[0] + 20, 60);
    Set32(z, cd[0] + 24, 60);
    cases.push_back({"one entry's data covers the next header", z});
  }
  {
    std::string z = two;
    Set32(z, cd[0] + 24, 12);  // stored, but the two sizes differ
    cases.push_back({"stored sizes that differ", z});
  }
  {
    std::string z = MakeZip({{"a.txt", std::string(5000, 'a'), true}});
    const size_t rec = CentralRecords(z)[0];
    Set32(z, rec + 24, 0xFFFFFF00u);  // 4 GiB from a few bytes: beyond deflate's limit
    cases.push_back({"deflated size beyond 1032 to 1", z});
  }
  {
    std::string z = MakeZip({{"a.txt", "x"}}, "", true);
    const size_t rec = CentralRecords(z)[0];
    Set64(z, rec + 46 + 5 + 4 + 16, 1ull << 62);  // the local header offset of the ZIP64 field
    cases.push_back({"ZIP64 offset beyond the file", z});
  }
  {
    std::string z = MakeZip({{"a.txt", "x"}}, "prepended", true);
    const size_t rec = CentralRecords(z)[0];
    Set64(z, rec + 46 + 5 + 4 + 16, ~0ull - 4);  // wraps around to the start when shifted
    cases.push_back({"ZIP64 offset that wraps around", z});
  }
  {
    std::string z = MakeZip({{"a.txt", "x"}}, "", true);
    const size_t rec = CentralRecords(z)[0];
    Set64(z, rec + 46 + 5 + 4, 5ull << 32);  // 20 GiB uncompressed from one stored byte
    Set64(z, rec + 46 + 5 + 4 + 8, 5ull << 32);
    cases.push_back({"ZIP64 sizes beyond 4 GiB", z});
  }
  {
    std::string z = MakeZip({{"a.txt", "x"}}, "", true);
    const size_t z64 = z.find("PK\x06\x06");
    Set64(z, z64 + 32, 1ull << 40);  // entries on this disk...
    Set64(z, z64 + 24, 1ull << 40);  // ...and in all
    cases.push_back({"ZIP64 entry count beyond the directory", z});
  }
  {
    std::string z = MakeZip({{"a.txt", "x"}}, "", true);
    const size_t loc = z.find("PK\x06\x07");
    Set64(z, loc + 8, z.size() * 4);
    cases.push_back({"ZIP64 locator pointing outside the file", z});
  }
  {
    std::string z = two;
    const size_t eocd = z.rfind("PK\x05\x06");
    Set32(z, eocd + 16, static_cast<uint32_t>(z.size() * 2));
    cases.push_back({"central directory outside the archive", z});
  }
  {
    std::string z = two;
    const size_t eocd = z.rfind("PK\x05\x06");
    Set32(z, eocd + 12, static_cast<uint32_t>(z.size() * 2));
    cases.push_back({"central directory larger than the archive", z});
  }
  for (const auto& c : cases) EXPECT_NE(OpenError(c.zip), ZipError::None) << c.what;
  EXPECT_EQ(OpenError(two), ZipError::None);
}

TEST(HostileArchive, InflationStopsAtTheDeclaredSize) {
  // A few kilobytes that inflate to 50 MB, declared as 1 MB: the reader
  // writes no more than it declared and reports damaged data.
  std::string zip = MakeZip({{"bomb.bin", std::string(50u << 20, '\0'), true}});
  ASSERT_LT(zip.size(), 100000u);
  Set32(zip, CentralRecords(zip)[0] + 24, 1u << 20);
  MemorySource src(zip);
  ZipReader r;
  ASSERT_EQ(r.Open(src), ZipError::None);
  StringSink sink(2u << 20);
  EXPECT_EQ(r.Extract(r.Entries()[0], sink), ZipError::DataError);
  EXPECT_LE(sink.out.size(), 1u << 20);
}

TEST(HostileArchive, NamesThatWindowsReadsDifferentlyAreUnsafe) {
  struct Case {
    const wchar_t* name;
    bool safe;
  } cases[] = {
      // Devices, in any case, with extensions and blanks.
      {L"CON", false}, {L"nul", false}, {L"COM1", false}, {L"lpt9", false}, {L"aux.txt", false},
      {L"dir\\PRN", false}, {L"NUL .log", false}, {L"com\u00b9", false}, {L"CONOUT$", false},
      {L"console.txt", true}, {L"com10", true}, {L"auxiliary", true}, {L"nullable.txt", true},
      // Streams, trailing dots and blanks.
      {L"a.txt:stream", false}, {L"a.txt::$DATA", false}, {L"a.txt.", false}, {L"a.txt ", false},
      {L"dir.\\a.txt", false}, {L"dir \\a.txt", false},
      // ".." in its spellings, with either separator; absolute, drive and UNC forms.
      {L"..", false}, {L"..\\x", false}, {L"../x", false}, {L"a/../../x", false}, {L".. \\x", false},
      {L". .\\x", false}, {L"...\\x", false}, {L"a\\..", false}, {L"\\x", false}, {L"/x", false},
      {L"C:x", false}, {L"C:\\x", false}, {L"\\\\server\\share\\x", false}, {L"//server/share/x", false},
      {L"\\\\?\\C:\\x", false}, {L"\\\\.\\pipe\\x", false},
      // Ordinary names.
      {L"eksetup.ini", true}, {L"dir/sub/a.txt", true}, {L".hidden", true}, {L"a..b", true}, {L"dir/", true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsSafeEntryName(c.name), c.safe) << std::string(c.name, c.name + wcslen(c.name));
}

TEST(HostileArchive, DeviceNamesAreRecognisedAsWindowsDoes) {
  EXPECT_TRUE(IsDeviceName(L"CON"));
  EXPECT_TRUE(IsDeviceName(L"con.tar.gz"));
  EXPECT_TRUE(IsDeviceName(L"Lpt0"));
  EXPECT_TRUE(IsDeviceName(L"clock$"));
  EXPECT_FALSE(IsDeviceName(L""));
  EXPECT_FALSE(IsDeviceName(L"CONX"));
  EXPECT_FALSE(IsDeviceName(L"COMA"));
  EXPECT_FALSE(IsDeviceName(L"my.con"));
  EXPECT_FALSE(IsPlainPathComponent(L"a*b"));
  EXPECT_FALSE(IsPlainPathComponent(L"a\\b"));
  EXPECT_TRUE(IsPlainPathComponent(L"Read me (1).txt"));
}

TEST(HostileArchive, AbsolutePathsAreOnlyDrivesAndSharesOfPlainNames) {
  struct Case {
    const wchar_t* path;
    bool plain, withDots;
    size_t components;
  } cases[] = {
      {L"C:\\App\\a.txt", true, true, 2},          {L"C:/App/", true, true, 1},
      {L"C:\\", true, true, 0},                     {L"\\\\srv\\share", true, true, 0},
      {L"\\\\srv\\share\\a\\", true, true, 1},     {L"C:\\App\\..\\Common\\x.dll", false, true, 4},
      {L"C:\\App\\.\\x", false, true, 3},            {L"C:\\App\\CON", false, false, 2},
      {L"C:\\App\\aux.txt", false, false, 2},        {L"C:\\App\\a.txt:s", false, false, 2},
      {L"C:\\App\\a. ", false, false, 2},            {L"C:\\App\\\\a", false, false, 3},
      {L"C:\\\\", false, false, 1},                   {L"App\\a.txt", false, false, 0},
      {L"C:App", false, false, 0},                   {L"\\App", false, false, 0},
      {L"\\\\?\\C:\\App", false, false, 0},           {L"\\\\.\\PhysicalDrive0", false, false, 0},
      {L"\\\\srv", false, false, 0},                  {L"\\\\srv\\\\x", false, false, 0},
      {L"\\\\s*v\\share\\x", false, false, 0},
  };
  for (const auto& c : cases) {
    const std::string name(c.path, c.path + wcslen(c.path));
    EXPECT_EQ(IsPlainAbsolutePath(c.path), c.plain) << name;
    EXPECT_EQ(IsPlainAbsolutePath(c.path, true), c.withDots) << name;
    EXPECT_EQ(PathComponents(c.path).size(), c.components) << name;
  }
}
