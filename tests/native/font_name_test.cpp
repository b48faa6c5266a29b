// The name under which a font file is listed in the Fonts key, read from the
// font's name table: fonts built here byte by byte, then damaged.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "base/font_name.h"

namespace {

void U16(std::string& s, uint32_t v) {
  s += static_cast<char>((v >> 8) & 0xFF);
  s += static_cast<char>(v & 0xFF);
}
void U32(std::string& s, uint32_t v) {
  U16(s, v >> 16);
  U16(s, v & 0xFFFF);
}

std::string Utf16Be(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) U16(out, c);
  return out;
}

struct NameRecord {
  uint16_t platform, encoding, language, nameId;
  std::string bytes;     // as stored: UTF-16BE, or single bytes for Macintosh
  bool outside = false;  // the string lies in the next table, not in this one
};

NameRecord Win(uint16_t nameId, const std::u16string& text, uint16_t language = 0x409) {
  return {3, 1, language, nameId, Utf16Be(text)};
}

struct FontStyle {
  uint32_t version = 0x00010000;
  std::vector<NameRecord> records;
  int countDelta = 0;         // added to the declared record count
  int64_t lengthDelta = 0;    // added to the declared name table length
  uint32_t fontOffset = 0;    // where the font starts in its file (collections)
};

// An sfnt font: the offset table, a directory of two tables ("name" and a
// "post" table after it), the name table, then the other table.
std::string Font(const FontStyle& style) {
  const uint32_t nameStart = style.fontOffset + 12 + 2 * 16;
  std::string records, strings, other = std::string(8, '\x55');
  const uint32_t storage = 6 + 12 * static_cast<uint32_t>(style.records.size());
  size_t insideEnd = storage;
  for (const auto& r : style.records)
    if (!r.outside) insideEnd += r.bytes.size();
  for (const auto& r : style.records) {
    uint32_t offset;
    if (r.outside) {
      offset = static_cast<uint32_t>(insideEnd - storage + other.size());
      other += r.bytes;
    } else {
      offset = static_cast<uint32_t>(strings.size());
      strings += r.bytes;
    }
    U16(records, r.platform), U16(records, r.encoding), U16(records, r.language), U16(records, r.nameId);
    U16(records, static_cast<uint32_t>(r.bytes.size())), U16(records, offset);
  }
  std::string name;
  U16(name, 0), U16(name, static_cast<uint32_t>(style.records.size() + style.countDelta)), U16(name, storage);
  name += records + strings;
  std::string font;
  U32(font, style.version), U16(font, 2), U16(font, 32), U16(font, 1), U16(font, 0);
  font += "name", U32(font, 0), U32(font, nameStart), U32(font, static_cast<uint32_t>(name.size() + style.lengthDelta));
  font += "post", U32(font, 0), U32(font, static_cast<uint32_t>(nameStart + name.size())),
      U32(font, static_cast<uint32_t>(other.size()));
  return font + name + other;
}

std::wstring NameOf(const FontStyle& style) { return ek::FontRegistryName(Font(style)); }

TEST(FontRegistryName, ChoosesTheBestNameOfTheTable) {
  const NameRecord mac = {1, 0, 0, 4, "Mac Name"};
  const NameRecord unicode = {0, 3, 0, 4, Utf16Be(u"Unicode Name")};
  struct Case {
    const char* what;
    std::vector<NameRecord> records;
    std::wstring expected;
  } cases[] = {
      {"US English full name first", {mac, Win(4, u"German", 0x407), Win(1, u"Family"), Win(4, u"Full Name")},
       L"Full Name (TrueType)"},
      {"full name before family name", {Win(1, u"Family"), Win(4, u"Full", 0x407)}, L"Full (TrueType)"},
      {"any Windows language before Unicode and Macintosh", {mac, unicode, Win(4, u"German", 0x407)}, L"German (TrueType)"},
      {"Unicode platform before Macintosh", {mac, unicode}, L"Unicode Name (TrueType)"},
      {"Macintosh name alone", {mac}, L"Mac Name (TrueType)"},
      {"symbol encoding", {{3, 0, 0x409, 4, Utf16Be(u"Symbols")}}, L"Symbols (TrueType)"},
      {"family name alone", {Win(1, u"Just Family")}, L"Just Family (TrueType)"},
      // UTF-16 code units as stored, a surrogate pair too (wide text is UTF-16 on every build).
      {"characters beyond Latin-1", {Win(4, u"\u65E5\u672C Gothic \U0001D400")},
       std::wstring(L"\u65E5\u672C Gothic ") + wchar_t(0xD835) + wchar_t(0xDC00) + L" (TrueType)"},
      {"Macintosh bytes above ASCII", {{1, 0, 0, 4, "Caf\x8E"}}, L"Caf? (TrueType)"},
      {"trailing NULs are dropped", {Win(4, std::u16string(u"Padded\0\0", 8))}, L"Padded (TrueType)"},
      {"odd last byte is dropped", {{3, 1, 0x409, 4, Utf16Be(u"Odd") + "\x41"}}, L"Odd (TrueType)"},
      {"an empty full name falls back to the family", {Win(1, u"Family"), Win(4, std::u16string(u"\0\0", 2))},
       L"Family (TrueType)"},
      {"no full or family name", {Win(2, u"Regular"), Win(6, u"PostScriptName")}, L""},
      {"platforms and encodings without a usable name", {{2, 0, 0, 4, "ISO"}, {3, 3, 0x804, 4, Utf16Be(u"PRC")}}, L""},
      {"no records", {}, L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(NameOf({0x00010000, c.records}), c.expected);
  }
}

TEST(FontRegistryName, KindOfFontGivesTheSuffix) {
  const std::vector<NameRecord> records = {Win(4, u"Ek Sans")};
  EXPECT_EQ(NameOf({0x00010000, records}), L"Ek Sans (TrueType)");
  EXPECT_EQ(NameOf({0x74727565, records}), L"Ek Sans (TrueType)");  // "true"
  EXPECT_EQ(NameOf({0x4F54544F, records}), L"Ek Sans (OpenType)");  // "OTTO"
  EXPECT_EQ(NameOf({0x74797031, records}), L"");                     // "typ1"
  EXPECT_EQ(NameOf({0x00020000, records}), L"");
  EXPECT_EQ(ek::FontRegistryName(""), L"");
  EXPECT_EQ(ek::FontRegistryName("not a font at all"), L"");
}

TEST(FontRegistryName, CollectionsNameTheirFirstFont) {
  // Header: tag, version 1.0, two fonts, their offsets.
  std::string ttc = "ttcf";
  U32(ttc, 0x00010000), U32(ttc, 2), U32(ttc, 20), U32(ttc, 0);
  std::string first = Font({0x00010000, {Win(4, u"First Face")}, 0, 0, 20});
  ttc += first;
  const uint32_t second = static_cast<uint32_t>(ttc.size());
  ttc += Font({0x00010000, {Win(4, u"Second Face")}, 0, 0, second});
  ttc.replace(16, 4, [&] { std::string s; U32(s, second); return s; }());
  EXPECT_EQ(ek::FontRegistryName(ttc), L"First Face (TrueType)");

  // The first font's offset beyond the file, or a header cut short.
  std::string beyond = ttc;
  beyond.replace(12, 4, std::string("\x7F\xFF\xFF\xF0", 4));
  EXPECT_EQ(ek::FontRegistryName(beyond), L"");
  EXPECT_EQ(ek::FontRegistryName(ttc.substr(0, 14)), L"");
}

TEST(FontRegistryName, DamagedNameTablesGiveNoNameFromOutsideTheTable) {
  const NameRecord family = Win(1, u"Family");
  NameRecord intruder = Win(4, u"Intruder");
  intruder.outside = true;
  // A string that lies in the next table is not taken; the table's own is.
  EXPECT_EQ(NameOf({0x00010000, {family, intruder}}), L"Family (TrueType)");
  // A table declared too short for its strings has no name, although the
  // bytes follow in the file.
  EXPECT_EQ(NameOf({0x00010000, {Win(1, u"Family"), Win(4, u"Full")}, 0, -static_cast<int64_t>(2 * 4)}), L"Family (TrueType)");
  EXPECT_EQ(NameOf({0x00010000, {Win(4, u"Full Name")}, 0, -static_cast<int64_t>(2 * 9)}), L"");
  // A count larger than the table holds: the records that are there count.
  EXPECT_EQ(NameOf({0x00010000, {Win(4, u"Counted")}, 40}), L"Counted (TrueType)");
  EXPECT_EQ(NameOf({0x00010000, {Win(4, u"Counted")}, 0xFFFF - 1}), L"Counted (TrueType)");
  // A table too short for its header, or declared beyond the file.
  EXPECT_EQ(NameOf({0x00010000, {}, 0, -1}), L"");
  EXPECT_EQ(NameOf({0x00010000, {Win(4, u"Far")}, 0, 1000}), L"");
}

TEST(FontRegistryName, EveryCutAndRandomDamageEndsWithoutACrash) {
  const std::string good =
      Font({0x00010000, {{1, 0, 0, 4, "Mac"}, Win(1, u"Family"), Win(4, u"Ek Damaged Sans"), Win(4, u"Deutsch", 0x407)}});
  for (size_t n = 0; n < good.size(); ++n) {
    const std::wstring name = ek::FontRegistryName(good.substr(0, n));
    // The name table ends before the other table: from there on the name is whole.
    if (n < good.size() - 8) {
      EXPECT_EQ(name, L"") << n;
    }
  }
  std::mt19937 random(5);
  for (int round = 0; round < 20000; ++round) {
    std::string bytes = good;
    for (int k = 1 + static_cast<int>(random() % 4); k > 0; --k) bytes[random() % bytes.size()] = static_cast<char>(random());
    const std::wstring name = ek::FontRegistryName(bytes);
    if (name.empty()) continue;
    const bool suffixed = name.size() > 11 && (name.ends_with(L" (TrueType)") || name.ends_with(L" (OpenType)"));
    ASSERT_TRUE(suffixed) << round;
  }
}

}  // namespace
