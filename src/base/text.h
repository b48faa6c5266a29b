// Text helpers shared by every module. Pure: no platform header, so the same
// code is built natively for the package builder, fuzzing and sanitizers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ek {

inline constexpr size_t npos = std::wstring::npos;

// UTF-8 <-> UTF-16. Wide text is UTF-16 code units on every build, also where
// wchar_t has 32 bits: a character above U+FFFF is a surrogate pair. Damaged
// input becomes U+FFFD, one for each damaged piece (a byte that cannot start a
// sequence, a sequence cut short, a surrogate without its partner); overlong
// forms and encoded surrogates are damage, never the character they spell.
// WideToUtf8 also takes a whole code point in one 32-bit unit (a wide literal
// where wchar_t has 32 bits).
[[nodiscard]] std::wstring Utf8ToWide(std::string_view text);
[[nodiscard]] std::string WideToUtf8(std::wstring_view text);

// Code page 437, the ZIP format's name encoding when the UTF-8 flag is absent.
[[nodiscard]] std::wstring Cp437ToWide(std::string_view text);

// Case folding used for "ignoring case": ASCII, Latin-1, Latin Extended-A,
// Greek and Cyrillic letters. Deterministic, independent of the locale.
[[nodiscard]] wchar_t FoldChar(wchar_t c);
[[nodiscard]] std::wstring FoldCase(std::wstring_view text);
// Only the letters a to z / A to Z.
[[nodiscard]] std::wstring ToUpperAscii(std::wstring_view text);
[[nodiscard]] std::wstring ToLowerAscii(std::wstring_view text);

[[nodiscard]] bool EqualsNoCase(std::wstring_view a, std::wstring_view b);
[[nodiscard]] bool EqualsNoCaseAscii(std::wstring_view a, std::wstring_view b);
[[nodiscard]] size_t FindNoCase(std::wstring_view hay, std::wstring_view needle, size_t from = 0);
[[nodiscard]] inline bool ContainsNoCase(std::wstring_view hay, std::wstring_view needle) {
  return FindNoCase(hay, needle) != npos;
}
[[nodiscard]] bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix);
[[nodiscard]] bool EndsWithNoCase(std::wstring_view text, std::wstring_view suffix);
[[nodiscard]] inline bool Contains(std::wstring_view hay, std::wstring_view needle) {
  return hay.find(needle) != std::wstring_view::npos;
}

[[nodiscard]] std::wstring ReplaceAll(std::wstring_view text, std::wstring_view from, std::wstring_view to);
[[nodiscard]] std::wstring ReplaceAllNoCase(std::wstring_view text, std::wstring_view from, std::wstring_view to);
[[nodiscard]] std::wstring ReplaceFirstNoCase(std::wstring_view text, std::wstring_view from, std::wstring_view to);

// Blanks are every character up to and including the space (control codes too).
[[nodiscard]] std::wstring Trim(std::wstring_view text);
[[nodiscard]] std::wstring TrimLeft(std::wstring_view text);
[[nodiscard]] std::wstring TrimRight(std::wstring_view text);

// Integer texts: optional sign, then decimal digits, or hexadecimal after "$",
// "0x" or "0X". Surrounding blanks are allowed. Out of range gives nothing.
[[nodiscard]] std::optional<int32_t> ParseInt32(std::wstring_view text);
[[nodiscard]] std::optional<int64_t> ParseInt64(std::wstring_view text);
// A decimal text of digits only (no sign, no blanks); out of range gives nothing.
[[nodiscard]] std::optional<uint64_t> ParseUnsignedDecimal(std::wstring_view text);
[[nodiscard]] int32_t ParseInt32Or(std::wstring_view text, int32_t fallback);

[[nodiscard]] std::wstring ToText(int64_t value);
[[nodiscard]] std::wstring ToTextUnsigned(uint64_t value);

// Splits at every occurrence of sep; n separators give n+1 fields.
[[nodiscard]] std::vector<std::wstring> Split(std::wstring_view text, std::wstring_view sep);

// Path pieces on backslash-separated texts (forward slashes are not separators).
[[nodiscard]] std::wstring FileNamePart(std::wstring_view path);   // after the last "\" or ":"
[[nodiscard]] std::wstring FolderPart(std::wstring_view path);     // before the last "\" (no trailing "\")
[[nodiscard]] std::wstring ChangeExtension(std::wstring_view path, std::wstring_view ext);  // ext with dot
[[nodiscard]] std::wstring ExtensionPart(std::wstring_view path);  // with dot, or empty
[[nodiscard]] std::wstring StripTrailingBackslash(std::wstring_view path);

}  // namespace ek

namespace ek {

// How a text file's bytes were (or are to be) encoded.
enum class TextEncoding { Utf8, Utf8Bom, Utf16Le, Utf16Be, Ansi };

using AnsiDecoder = std::wstring (*)(std::string_view bytes);
using AnsiEncoder = std::string (*)(std::wstring_view text);

struct DecodedText {
  std::wstring text;
  TextEncoding encoding = TextEncoding::Utf8;
};

// Detects a byte-order mark (UTF-8, UTF-16 LE/BE); without one the bytes are
// read as `fallback` (Utf8 or Ansi; Ansi needs `ansi`, else Latin-1 is used).
[[nodiscard]] DecodedText DecodeText(std::string_view bytes, TextEncoding fallback, AnsiDecoder ansi = nullptr);
[[nodiscard]] std::string EncodeText(std::wstring_view text, TextEncoding encoding, AnsiEncoder ansi = nullptr);

}  // namespace ek
