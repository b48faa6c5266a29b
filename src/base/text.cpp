#include "base/text.h"

#include <limits>
#include <type_traits>

namespace ek {

namespace {

// A valid UTF-8 sequence by its lead byte: its length and the range of its
// second byte (which rules out overlong forms, encoded surrogates and values
// above U+10FFFF); later bytes are 80..BF.
struct Utf8Lead {
  int length = 0;  // 0: never a lead byte
  unsigned secondLow = 0x80, secondHigh = 0xBF;
};

Utf8Lead LeadOf(unsigned c) {
  if (c >= 0xC2 && c <= 0xDF) return {2};
  if (c == 0xE0) return {3, 0xA0, 0xBF};
  if (c == 0xED) return {3, 0x80, 0x9F};
  if (c >= 0xE1 && c <= 0xEF) return {3};
  if (c == 0xF0) return {4, 0x90, 0xBF};
  if (c >= 0xF1 && c <= 0xF3) return {4};
  if (c == 0xF4) return {4, 0x80, 0x8F};
  return {};
}

void PushUtf16(std::wstring& out, uint32_t cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
  } else {
    out.push_back(static_cast<wchar_t>(cp));
  }
}

}  // namespace

// Wide text holds UTF-16 code units on every build, also where wchar_t has
// 32 bits (the native builder and tests): a character above U+FFFF is a
// surrogate pair there too, so lengths and comparisons agree with the engine.
// Each damaged piece becomes one U+FFFD: a byte that cannot start a sequence,
// or the longest start of a valid sequence that breaks off (the next byte then
// starts afresh, so text after the damage is kept).
std::wstring Utf8ToWide(std::string_view s) {
  std::wstring out;
  out.reserve(s.size());
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const size_t n = s.size();
  size_t i = 0;
  while (i < n) {
    const unsigned c = p[i];
    if (c < 0x80) {
      out.push_back(static_cast<wchar_t>(c));
      ++i;
      continue;
    }
    const Utf8Lead lead = LeadOf(c);
    uint32_t cp = c & (0x7F >> lead.length);
    int k = 1;
    for (; k < lead.length && i + k < n; ++k) {
      const unsigned cc = p[i + k];
      const unsigned low = k == 1 ? lead.secondLow : 0x80, high = k == 1 ? lead.secondHigh : 0xBF;
      if (cc < low || cc > high) break;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (lead.length == 0 || k < lead.length) {
      out.push_back(static_cast<wchar_t>(0xFFFD));
      i += k;
      continue;
    }
    PushUtf16(out, cp);
    i += k;
  }
  return out;
}

namespace {

// The code point that starts at text[i]; `i` moves past it. A surrogate
// without its partner is U+FFFD. A unit above U+FFFF exists only where
// wchar_t has 32 bits (a wide literal there): it stands for itself when it is
// a code point, else it is U+FFFD.
uint32_t NextCodePoint(std::wstring_view text, size_t& i) {
  const auto unit = static_cast<uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[i++]));
  if (unit > 0xFFFF) return unit <= 0x10FFFF ? unit : 0xFFFD;
  if (unit < 0xD800 || unit > 0xDFFF) return unit;
  if (unit <= 0xDBFF && i < text.size()) {
    const auto lo = static_cast<uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[i]));
    if (lo >= 0xDC00 && lo <= 0xDFFF) {
      ++i;
      return 0x10000 + ((unit - 0xD800) << 10) + (lo - 0xDC00);
    }
  }
  return 0xFFFD;
}

}  // namespace

std::string WideToUtf8(std::wstring_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const uint32_t cp = NextCodePoint(s, i);
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::wstring Cp437ToWide(std::string_view s) {
  static const char16_t kHigh[128] = {
      0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8,
      0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2,
      0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1,
      0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD,
      0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562,
      0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534,
      0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560,
      0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
      0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393,
      0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6,
      0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, 0x00B0,
      0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};
  std::wstring out;
  out.reserve(s.size());
  for (unsigned char c : s) out.push_back(c < 0x80 ? static_cast<wchar_t>(c) : static_cast<wchar_t>(kHigh[c - 0x80]));
  return out;
}

wchar_t FoldChar(wchar_t c) {
  const auto u = static_cast<uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(c));
  if (u < 0x80) return (u >= 'a' && u <= 'z') ? static_cast<wchar_t>(u - 32) : c;
  if (u < 0x100) {
    if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return static_cast<wchar_t>(u - 0x20);
    if (u == 0xFF) return static_cast<wchar_t>(0x178);
    return c;
  }
  if (u < 0x180) {
    if (u == 0x131) return L'I';
    if (u >= 0x139 && u <= 0x148) return (u & 1) ? c : static_cast<wchar_t>(u - 1);
    if (u >= 0x179 && u <= 0x17E) return (u & 1) ? c : static_cast<wchar_t>(u - 1);
    if (u == 0x130 || u == 0x138 || u == 0x149 || u == 0x178 || u == 0x17F) return c;
    return (u & 1) ? static_cast<wchar_t>(u - 1) : c;
  }
  if (u >= 0x3B1 && u <= 0x3C9) return u == 0x3C2 ? static_cast<wchar_t>(0x3A3) : static_cast<wchar_t>(u - 0x20);
  if (u >= 0x3AC && u <= 0x3AF) {
    static const wchar_t kTonos[] = {0x386, 0x388, 0x389, 0x38A};
    return kTonos[u - 0x3AC];
  }
  if (u >= 0x430 && u <= 0x44F) return static_cast<wchar_t>(u - 0x20);
  if (u >= 0x450 && u <= 0x45F) return static_cast<wchar_t>(u - 0x50);
  if ((u >= 0x460 && u <= 0x481) || (u >= 0x48A && u <= 0x4BF)) return (u & 1) ? static_cast<wchar_t>(u - 1) : c;
  return c;
}

std::wstring FoldCase(std::wstring_view text) {
  std::wstring out(text);
  for (auto& ch : out) ch = FoldChar(ch);
  return out;
}

std::wstring ToUpperAscii(std::wstring_view text) {
  std::wstring out(text);
  for (auto& ch : out)
    if (ch >= L'a' && ch <= L'z') ch = static_cast<wchar_t>(ch - 32);
  return out;
}

std::wstring ToLowerAscii(std::wstring_view text) {
  std::wstring out(text);
  for (auto& ch : out)
    if (ch >= L'A' && ch <= L'Z') ch = static_cast<wchar_t>(ch + 32);
  return out;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && FoldChar(a[i]) != FoldChar(b[i])) return false;
  return true;
}

bool EqualsNoCaseAscii(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  auto up = [](wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c; };
  for (size_t i = 0; i < a.size(); ++i)
    if (up(a[i]) != up(b[i])) return false;
  return true;
}

namespace {

// Needles up to this length are searched directly: cheap to set up, and
// linear in the text because each place costs at most this many steps.
constexpr size_t kShortNeedle = 32;

// Longer needles (for example a text function with a long argument) use
// Knuth-Morris-Pratt on the folded characters, so that periodic texts stay
// linear too.
size_t FindLongNoCase(std::wstring_view hay, std::wstring_view needle, size_t from) {
  const std::wstring pattern = FoldCase(needle);
  const size_t m = pattern.size();
  std::vector<size_t> border(m, 0);
  for (size_t i = 1, k = 0; i < m; ++i) {
    while (k > 0 && pattern[i] != pattern[k]) k = border[k - 1];
    if (pattern[i] == pattern[k]) ++k;
    border[i] = k;
  }
  for (size_t i = from, k = 0; i < hay.size(); ++i) {
    const wchar_t c = FoldChar(hay[i]);
    while (k > 0 && c != pattern[k]) k = border[k - 1];
    if (c == pattern[k]) ++k;
    if (k == m) return i + 1 - m;
  }
  return npos;
}

}  // namespace

size_t FindNoCase(std::wstring_view hay, std::wstring_view needle, size_t from) {
  if (needle.empty()) return from <= hay.size() ? from : npos;
  if (needle.size() > hay.size()) return npos;
  const size_t last = hay.size() - needle.size();
  if (from > last) return npos;
  if (needle.size() > kShortNeedle) return FindLongNoCase(hay, needle, from);
  const wchar_t first = FoldChar(needle[0]);
  for (size_t i = from; i <= last; ++i) {
    if (FoldChar(hay[i]) != first) continue;
    size_t k = 1;
    while (k < needle.size() && FoldChar(hay[i + k]) == FoldChar(needle[k])) ++k;
    if (k == needle.size()) return i;
  }
  return npos;
}

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool EndsWithNoCase(std::wstring_view text, std::wstring_view suffix) {
  return text.size() >= suffix.size() && EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

std::wstring ReplaceAll(std::wstring_view text, std::wstring_view from, std::wstring_view to) {
  if (from.empty()) return std::wstring(text);
  std::wstring out;
  out.reserve(text.size());
  size_t pos = 0;
  while (true) {
    size_t hit = text.find(from, pos);
    if (hit == std::wstring_view::npos) break;
    out.append(text.substr(pos, hit - pos));
    out.append(to);
    pos = hit + from.size();
  }
  out.append(text.substr(pos));
  return out;
}

std::wstring ReplaceAllNoCase(std::wstring_view text, std::wstring_view from, std::wstring_view to) {
  if (from.empty()) return std::wstring(text);
  std::wstring out;
  size_t pos = 0;
  size_t hit = FindNoCase(text, from, 0);
  if (hit == npos) return std::wstring(text);
  out.reserve(text.size());
  while (hit != npos) {
    out.append(text.substr(pos, hit - pos));
    out.append(to);
    pos = hit + from.size();
    hit = FindNoCase(text, from, pos);
  }
  out.append(text.substr(pos));
  return out;
}

std::wstring ReplaceFirstNoCase(std::wstring_view text, std::wstring_view from, std::wstring_view to) {
  size_t hit = FindNoCase(text, from, 0);
  if (from.empty() || hit == npos) return std::wstring(text);
  std::wstring out(text.substr(0, hit));
  out.append(to);
  out.append(text.substr(hit + from.size()));
  return out;
}

std::wstring TrimLeft(std::wstring_view text) {
  size_t b = 0;
  while (b < text.size() && text[b] <= L' ') ++b;
  return std::wstring(text.substr(b));
}

std::wstring TrimRight(std::wstring_view text) {
  size_t e = text.size();
  while (e > 0 && text[e - 1] <= L' ') --e;
  return std::wstring(text.substr(0, e));
}

std::wstring Trim(std::wstring_view text) {
  size_t b = 0;
  size_t e = text.size();
  while (b < e && text[b] <= L' ') ++b;
  while (e > b && text[e - 1] <= L' ') --e;
  return std::wstring(text.substr(b, e - b));
}

namespace {

std::optional<uint64_t> ParseMagnitude(std::wstring_view t, bool hex) {
  if (t.empty()) return std::nullopt;
  uint64_t v = 0;
  const uint64_t base = hex ? 16 : 10;
  for (wchar_t c : t) {
    unsigned d;
    if (c >= L'0' && c <= L'9') d = c - L'0';
    else if (hex && c >= L'a' && c <= L'f') d = c - L'a' + 10;
    else if (hex && c >= L'A' && c <= L'F') d = c - L'A' + 10;
    else return std::nullopt;
    if (v > (std::numeric_limits<uint64_t>::max() - d) / base) return std::nullopt;
    v = v * base + d;
  }
  return v;
}

// Returns sign and magnitude, hex flag set when a hex prefix was used.
bool SplitNumber(std::wstring_view text, bool& negative, bool& hex, std::wstring_view& digits) {
  std::wstring_view t = text;
  while (!t.empty() && t.front() <= L' ') t.remove_prefix(1);
  while (!t.empty() && t.back() <= L' ') t.remove_suffix(1);
  negative = false;
  hex = false;
  if (!t.empty() && (t.front() == L'-' || t.front() == L'+')) {
    negative = t.front() == L'-';
    t.remove_prefix(1);
  }
  if (!t.empty() && t.front() == L'$') {
    hex = true;
    t.remove_prefix(1);
  } else if (t.size() >= 2 && t[0] == L'0' && (t[1] == L'x' || t[1] == L'X')) {
    hex = true;
    t.remove_prefix(2);
  }
  digits = t;
  return !t.empty();
}

}  // namespace

std::optional<int64_t> ParseInt64(std::wstring_view text) {
  bool neg, hex;
  std::wstring_view digits;
  if (!SplitNumber(text, neg, hex, digits)) return std::nullopt;
  auto mag = ParseMagnitude(digits, hex);
  if (!mag) return std::nullopt;
  if (hex && !neg) return static_cast<int64_t>(*mag);  // hex may fill all 64 bits
  if (neg) {
    if (*mag > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) + 1) return std::nullopt;
    return static_cast<int64_t>(0 - *mag);
  }
  if (*mag > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return std::nullopt;
  return static_cast<int64_t>(*mag);
}

std::optional<int32_t> ParseInt32(std::wstring_view text) {
  bool neg, hex;
  std::wstring_view digits;
  if (!SplitNumber(text, neg, hex, digits)) return std::nullopt;
  auto mag = ParseMagnitude(digits, hex);
  if (!mag) return std::nullopt;
  if (hex && !neg) {
    if (*mag > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<int32_t>(static_cast<uint32_t>(*mag));  // $FFFFFFFF reads as -1
  }
  if (neg) {
    if (*mag > 2147483648ull) return std::nullopt;
    return static_cast<int32_t>(-static_cast<int64_t>(*mag));
  }
  if (*mag > 2147483647ull) return std::nullopt;
  return static_cast<int32_t>(*mag);
}

std::optional<uint64_t> ParseUnsignedDecimal(std::wstring_view text) {
  return ParseMagnitude(text, false);
}

int32_t ParseInt32Or(std::wstring_view text, int32_t fallback) {
  auto v = ParseInt32(text);
  return v ? *v : fallback;
}

std::wstring ToText(int64_t value) { return std::to_wstring(value); }
std::wstring ToTextUnsigned(uint64_t value) { return std::to_wstring(value); }

std::vector<std::wstring> Split(std::wstring_view text, std::wstring_view sep) {
  std::vector<std::wstring> out;
  if (sep.empty()) {
    out.emplace_back(text);
    return out;
  }
  size_t pos = 0;
  while (true) {
    size_t hit = text.find(sep, pos);
    if (hit == std::wstring_view::npos) {
      out.emplace_back(text.substr(pos));
      break;
    }
    out.emplace_back(text.substr(pos, hit - pos));
    pos = hit + sep.size();
  }
  return out;
}

std::wstring FileNamePart(std::wstring_view path) {
  size_t p = path.find_last_of(L"\\:");
  return std::wstring(p == std::wstring_view::npos ? path : path.substr(p + 1));
}

std::wstring FolderPart(std::wstring_view path) {
  size_t p = path.find_last_of(L'\\');
  if (p == std::wstring_view::npos) return std::wstring();
  return std::wstring(path.substr(0, p));
}

std::wstring ExtensionPart(std::wstring_view path) {
  size_t p = path.find_last_of(L".\\:");
  if (p == std::wstring_view::npos || path[p] != L'.') return std::wstring();
  return std::wstring(path.substr(p));
}

std::wstring ChangeExtension(std::wstring_view path, std::wstring_view ext) {
  size_t p = path.find_last_of(L".\\:");
  std::wstring out;
  if (p == std::wstring_view::npos || path[p] != L'.') out.assign(path);
  else out.assign(path.substr(0, p));
  out.append(ext);
  return out;
}

std::wstring StripTrailingBackslash(std::wstring_view path) {
  if (!path.empty() && path.back() == L'\\') path.remove_suffix(1);
  return std::wstring(path);
}

}  // namespace ek

namespace ek {

DecodedText DecodeText(std::string_view bytes, TextEncoding fallback, AnsiDecoder ansi) {
  DecodedText out;
  auto b = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  if (bytes.size() >= 3 && b(0) == 0xEF && b(1) == 0xBB && b(2) == 0xBF) {
    out.encoding = TextEncoding::Utf8Bom;
    out.text = Utf8ToWide(bytes.substr(3));
    return out;
  }
  if (bytes.size() >= 2 && ((b(0) == 0xFF && b(1) == 0xFE) || (b(0) == 0xFE && b(1) == 0xFF))) {
    const bool le = b(0) == 0xFF;
    out.encoding = le ? TextEncoding::Utf16Le : TextEncoding::Utf16Be;
    out.text.reserve((bytes.size() - 2) / 2);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      unsigned v = le ? (b(i) | (b(i + 1) << 8)) : ((b(i) << 8) | b(i + 1));
      out.text.push_back(static_cast<wchar_t>(v));
    }
    return out;
  }
  out.encoding = fallback;
  if (fallback == TextEncoding::Ansi) {
    if (ansi) {
      out.text = ansi(bytes);
    } else {
      out.text.reserve(bytes.size());
      for (char c : bytes) out.text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    }
  } else {
    out.text = Utf8ToWide(bytes);
  }
  return out;
}

std::string EncodeText(std::wstring_view text, TextEncoding encoding, AnsiEncoder ansi) {
  switch (encoding) {
    case TextEncoding::Utf8:
      return WideToUtf8(text);
    case TextEncoding::Utf8Bom:
      return "\xEF\xBB\xBF" + WideToUtf8(text);
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16Be: {
      const bool le = encoding == TextEncoding::Utf16Le;
      std::string out;
      out.reserve(2 + text.size() * 2);
      out += le ? "\xFF\xFE" : "\xFE\xFF";
      auto put = [&](uint32_t v) {
        char lo = static_cast<char>(v & 0xFF), hi = static_cast<char>(v >> 8);
        if (le) { out.push_back(lo); out.push_back(hi); }
        else { out.push_back(hi); out.push_back(lo); }
      };
      for (wchar_t c : text) {
        const auto v = static_cast<uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(c));
        if (v <= 0xFFFF) {
          put(v);  // lone surrogates too: UTF-16 carries them as they are
        } else if (v <= 0x10FFFF) {  // a whole code point in one 32-bit unit
          put(0xD800 + ((v - 0x10000) >> 10));
          put(0xDC00 + ((v - 0x10000) & 0x3FF));
        } else {
          put(0xFFFD);
        }
      }
      return out;
    }
    case TextEncoding::Ansi:
      if (ansi) return ansi(text);
      {
        std::string out;
        for (wchar_t c : text)
          out.push_back(static_cast<std::make_unsigned_t<wchar_t>>(c) < 256 ? static_cast<char>(c) : '?');
        return out;
      }
  }
  return std::string();
}

}  // namespace ek
