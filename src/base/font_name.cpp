#include "base/font_name.h"

#include <cstdint>

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

struct NameChoice {
  int score = -1;
  size_t offset = 0;
  size_t length = 0;
  bool utf16 = false;
};

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
  const uint16_t count = r.U16(name + 2);
  const size_t strings = name + r.U16(name + 4);
  NameChoice best;
  for (uint16_t i = 0; i < count; ++i) {
    const size_t rec = name + 6 + size_t{i} * 12;
    if (!r.Has(rec, 12)) break;
    const uint16_t nameId = r.U16(rec + 6);
    if (nameId != 1 && nameId != 4) continue;
    const int score = Score(r.U16(rec), r.U16(rec + 2), r.U16(rec + 4), nameId);
    const size_t offset = strings + r.U16(rec + 10), length = r.U16(rec + 8);
    if (score > best.score && length > 0 && r.Has(offset, length))
      best = {score, offset, length, r.U16(rec) != 1};
  }
  if (best.score < 0) return std::wstring();
  std::wstring text;
  if (best.utf16) {
    for (size_t i = 0; i + 1 < best.length; i += 2) text.push_back(static_cast<wchar_t>(r.U16(best.offset + i)));
  } else {
    // Macintosh Roman: the ASCII part is all a font name needs in practice.
    for (size_t i = 0; i < best.length; ++i) {
      const auto c = static_cast<unsigned char>(bytes[best.offset + i]);
      text.push_back(c < 0x80 ? static_cast<wchar_t>(c) : L'?');
    }
  }
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  if (text.empty()) return std::wstring();
  return text + (openType ? L" (OpenType)" : L" (TrueType)");
}

}  // namespace ek
