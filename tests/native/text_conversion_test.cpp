// UTF-8 <-> UTF-16 conversion at the file edges. The same file runs natively
// (wchar_t of 32 bits) and in the unit tests under Wine (16 bits): every
// expectation is written in UTF-16 code units, so both builds must agree.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "base/text.h"

namespace {

using Units = std::vector<uint32_t>;
constexpr uint32_t R = 0xFFFD;  // the replacement character

Units UnitsOf(const std::wstring& text) {
  Units out;
  for (wchar_t c : text) out.push_back(static_cast<uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(c)));
  return out;
}

std::wstring FromUnits(const Units& units) {
  std::wstring out;
  for (uint32_t u : units) out.push_back(static_cast<wchar_t>(u));
  return out;
}

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) out += std::string{digits[c >> 4], digits[c & 15], ' '};
  return out;
}

struct DecodeCase {
  const char* what;
  std::string utf8;
  Units utf16;
};

TEST(Utf8ToWide, ValidTextGivesUtf16CodeUnitsOnEveryBuild) {
  const DecodeCase cases[] = {
      {"empty", "", {}},
      {"ASCII with a NUL inside", std::string("a\0b", 3), {'a', 0, 'b'}},
      {"two bytes", "\xC3\xA9", {0xE9}},
      {"lowest two-byte", "\xC2\x80", {0x80}},
      {"three bytes", "\xE2\x82\xAC", {0x20AC}},
      {"last before the surrogates", "\xED\x9F\xBF", {0xD7FF}},
      {"first after the surrogates", "\xEE\x80\x80", {0xE000}},
      {"the replacement character itself", "\xEF\xBF\xBD", {R}},
      {"U+FFFF", "\xEF\xBF\xBF", {0xFFFF}},
      {"four bytes: a surrogate pair", "\xF0\x9F\x98\x80", {0xD83D, 0xDE00}},
      {"lowest four-byte", "\xF0\x90\x80\x80", {0xD800, 0xDC00}},
      {"highest code point", "\xF4\x8F\xBF\xBF", {0xDBFF, 0xDFFF}},
      {"mixed", "a\xC3\xA9\xF0\x9F\x98\x80z", {'a', 0xE9, 0xD83D, 0xDE00, 'z'}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(UnitsOf(ek::Utf8ToWide(c.utf8)), c.utf16);
    // And back to the same bytes.
    EXPECT_EQ(Hex(ek::WideToUtf8(FromUnits(c.utf16))), Hex(c.utf8));
  }
}

TEST(Utf8ToWide, EachDamagedPieceBecomesOneReplacementAndTheRestIsKept) {
  const DecodeCase cases[] = {
      // Cut short: the valid start of a sequence is one piece.
      {"two-byte lead at the end", "ab\xC3", {'a', 'b', R}},
      {"three-byte sequence cut at the end", "\xE2\x82", {R}},
      {"four-byte sequence cut at the end", "\xF0\x9F\x98", {R}},
      {"cut short before ASCII", "\xE2\x82" "A", {R, 'A'}},
      {"cut short before a space", "\xC3 ", {R, ' '}},
      {"cut short before a whole sequence", "\xF0\x9F\x98\xF0\x9F\x98\x80", {R, 0xD83D, 0xDE00}},
      {"two cut sequences in a row", "\xE2\x82\xE2\x82", {R, R}},
      // Bytes that never start a sequence.
      {"lone continuation byte", "\x80", {R}},
      {"continuation bytes in a row", "a\xBF\xBF" "b", {'a', R, R, 'b'}},
      {"FE and FF", "\xFE\xFF", {R, R}},
      {"F5 would exceed U+10FFFF", "\xF5\x80\x80\x80", {R, R, R, R}},
      {"old five-byte form", "\xF8\x88\x80\x80\x80", {R, R, R, R, R}},
      // Overlong forms never spell their character (a NUL or a slash could
      // otherwise slip past a check of the bytes).
      {"overlong NUL", "\xC0\x80", {R, R}},
      {"overlong two-byte", "\xC1\xBF", {R, R}},
      {"overlong slash in three bytes", "\xE0\x80\xAF", {R, R, R}},
      {"overlong U+07FF", "\xE0\x9F\xBF", {R, R, R}},
      {"overlong slash in four bytes", "\xF0\x80\x80\xAF", {R, R, R, R}},
      {"overlong U+FFFF", "\xF0\x8F\xBF\xBF", {R, R, R, R}},
      // Surrogates encoded in UTF-8 are no characters; nor is a pair of them.
      {"encoded high surrogate", "\xED\xA0\x80", {R, R, R}},
      {"encoded low surrogate", "\xED\xBF\xBF", {R, R, R}},
      {"encoded surrogate pair", "\xED\xA0\xBD\xED\xB8\x80", {R, R, R, R, R, R}},
      {"above U+10FFFF", "\xF4\x90\x80\x80", {R, R, R, R}},
      {"damage between letters", "a\xFF" "b", {'a', R, 'b'}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(UnitsOf(ek::Utf8ToWide(c.utf8)), c.utf16) << Hex(c.utf8);
  }
}

struct EncodeCase {
  const char* what;
  Units utf16;
  std::string utf8;
};

TEST(WideToUtf8, SurrogatesWithoutPartnerBecomeOneReplacementEach) {
  const std::string r = "\xEF\xBF\xBD";
  const EncodeCase cases[] = {
      {"pair", {0xD83D, 0xDE00}, "\xF0\x9F\x98\x80"},
      {"high surrogate at the end", {'a', 0xD83D}, "a" + r},
      {"high surrogate before ASCII", {0xD83D, 'A'}, r + "A"},
      {"high surrogate before a whole pair", {0xD83D, 0xD83D, 0xDE00}, r + "\xF0\x9F\x98\x80"},
      {"lone low surrogate", {0xDE00, 'x'}, r + "x"},
      {"pair in the wrong order", {0xDE00, 0xD83D}, r + r},
      {"the replacement character itself", {R}, r},
      {"NUL is kept", {'a', 0, 'b'}, std::string("a\0b", 3)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Hex(ek::WideToUtf8(FromUnits(c.utf16))), Hex(c.utf8));
  }
}

TEST(WideToUtf8, WideLiteralsAboveTheBasicPlaneConvertOnEveryBuild) {
  // Where wchar_t has 32 bits this literal is one unit, elsewhere a pair:
  // both give the same UTF-8 and the same UTF-16 file bytes.
  const std::wstring smile = L"\U0001F600";
  EXPECT_EQ(Hex(ek::WideToUtf8(smile)), Hex("\xF0\x9F\x98\x80"));
  EXPECT_EQ(Hex(ek::EncodeText(smile, ek::TextEncoding::Utf16Le)), Hex(std::string("\xFF\xFE\x3D\xD8\x00\xDE", 6)));
  EXPECT_EQ(Hex(ek::EncodeText(smile, ek::TextEncoding::Utf16Be)), Hex(std::string("\xFE\xFF\xD8\x3D\xDE\x00", 6)));
  if constexpr (sizeof(wchar_t) == 4) {
    // Units that are no code point, and units that only look like a letter
    // in their low 16 bits.
    const std::wstring beyond{static_cast<wchar_t>(0x110000), static_cast<wchar_t>(0x10041)};
    EXPECT_EQ(Hex(ek::WideToUtf8(beyond)), Hex("\xEF\xBF\xBD\xF0\x90\x81\x81"));
    EXPECT_EQ(ek::FoldChar(static_cast<wchar_t>(0x10061)), static_cast<wchar_t>(0x10061));
    EXPECT_EQ(ek::EncodeText(beyond, ek::TextEncoding::Ansi), "??");
  }
}

TEST(Utf8ToWide, EveryCodePointRoundTrips) {
  std::wstring all;
  size_t utf8Length = 0;
  for (uint32_t cp = 1; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    if (cp < 0x10000) {
      all.push_back(static_cast<wchar_t>(cp));
    } else {
      all.push_back(static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10)));
      all.push_back(static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    }
    utf8Length += cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
  }
  const std::string utf8 = ek::WideToUtf8(all);
  EXPECT_EQ(utf8.size(), utf8Length);
  EXPECT_TRUE(ek::Utf8ToWide(utf8) == all);
}

TEST(Utf8ToWide, RandomBytesDecodeToTextThatSurvivesAnotherRoundTrip) {
  // Whatever the bytes, the result is well-formed UTF-16 (no lone surrogate)
  // and what was kept of the input comes back unchanged.
  std::mt19937 random(11);
  const char pool[] = "aZ\x80\xBF\xC0\xC2\xDF\xE0\xE1\xED\xEF\xF0\xF4\xF5\xFF\xA0\x90\x8F";
  for (int round = 0; round < 3000; ++round) {
    std::string bytes;
    const size_t n = random() % 24;
    for (size_t i = 0; i < n; ++i) bytes += pool[random() % (sizeof(pool) - 1)];
    const std::wstring text = ek::Utf8ToWide(bytes);
    ASSERT_LE(text.size(), bytes.size()) << Hex(bytes);
    const std::string again = ek::WideToUtf8(text);
    ASSERT_TRUE(ek::Utf8ToWide(again) == text) << Hex(bytes);
    ASSERT_EQ(ek::WideToUtf8(ek::Utf8ToWide(again)), again) << Hex(bytes);
  }
}

}  // namespace
