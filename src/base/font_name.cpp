#include "base/font_name.h"

#include <cstdint>
#include <utility>

namespace ek {
namespace {

class Reader {
 public:
  explicit Reader(std::string_view bytes) : b_(bytes) {}
  bool Has(size_t offset, size_t len) const { return offset <= b_.size() && len <= b_.size() - offset; }
  uint16_t U16(size_t o) const { return static_cast<uint16_t>((Byte(o) << 8) | Byte(o + 1)); }
  uint32_t U32(size_t o) const { return (uint32_t{U16(o)} << 16) | U16(o + 2); }

 private:
  unsigned Byte(size_t o) const { return static_cast<unsigned char>(b_[o]); }
  std::string_view b_;
};

constexpr uint32_t Tag(const char (&t)[5]) {
  return (uint32_t(uint8_t(t[0])) << 24) | (uint32_t(uint8_t(t[1])) << 16) | (uint32_t(uint8_t(t[2])) << 8) |
         uint32_t(uint8_t(t[3]));
}

// Full name (4) before family name (1); Windows names before Macintosh ones;
// US English before other languages.
int Score(uint16_t platform, uint16_t encoding, uint16_t language, uint16_t nameId) {
  int s;
  if (platform == 3 && (encoding == 1 || encoding == 0 || encoding == 10)) s = language == 0x0409 ? 6 : 5;
  else if (platform == 0) s = 4;
  else if (platform == 1 && encoding == 0) s = language == 0 ? 3 : 2;
  else return -1;
  return (nameId == 4 ? 10 : 0) + s;
}

}  // namespace

std::wstring FontRegistryName(std::string_view bytes) {
  const Reader r(bytes);
  if (!r.Has(0, 12)) return std::wstring();
  size_t font = 0;
  if (r.U32(0) == Tag("ttcf")) {
    if (!r.Has(12, 4)) return std::wstring();
    font = r.U32(12);
  }
  if (!r.Has(font, 12)) return std::wstring();
  const uint32_t version = r.U32(font);
  const bool openType = version == Tag("OTTO");
  if (!openType && version != 0x00010000u && version != Tag("true")) return std::wstring();

  const uint16_t tables = r.U16(font + 4);
  size_t name = 0, nameLength = 0;
  for (uint16_t i = 0; i < tables; ++i) {
    const size_t entry = font + 12 + size_t{i} * 16;
    if (!r.Has(entry, 16)) return std::wstring();
    if (r.U32(entry) == Tag("name")) {
      name = r.U32(entry + 8);
      nameLength = r.U32(entry + 12);
    }
  }
  if (nameLength < 6 || !r.Has(name, nameLength)) return std::wstring();
  // Records and strings are read inside the name table only: a damaged count
  // or offset must not pick up another table's bytes as a name.
  const std::string_view tableBytes = bytes.substr(name, nameLength);
  const Reader table(tableBytes);
  const uint16_t count = table.U16(2);
  const size_t strings = table.U16(4);
  int bestScore = -1;
  std::wstring best;
  for (uint16_t i = 0; i < count; ++i) {
    const size_t rec = 6 + size_t{i} * 12;
    if (!table.Has(rec, 12)) break;
    const uint16_t nameId = table.U16(rec + 6);
    if (nameId != 1 && nameId != 4) continue;
    const uint16_t platform = table.U16(rec);
    const int score = Score(platform, table.U16(rec + 2), table.U16(rec + 4), nameId);
    const size_t offset = strings + table.U16(rec + 10), length = table.U16(rec + 8);
    if (score <= bestScore || !table.Has(offset, length)) continue;
    std::wstring text;
    if (platform != 1) {
      for (size_t k = 0; k + 1 < length; k += 2) text.push_back(static_cast<wchar_t>(table.U16(offset + k)));
    } else {
      // Macintosh Roman: the ASCII part is all a font name needs in practice.
      for (size_t k = 0; k < length; ++k) {
        const auto c = static_cast<unsigned char>(tableBytes[offset + k]);
        text.push_back(c < 0x80 ? static_cast<wchar_t>(c) : L'?');
      }
    }
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    // An empty name is no name: a lesser record may still have one.
    if (text.empty()) continue;
    bestScore = score;
    best = std::move(text);
  }
  if (best.empty()) return std::wstring();
  return best + (openType ? L" (OpenType)" : L" (TrueType)");
}

}  // namespace ek
