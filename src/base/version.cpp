#include "base/version.h"

#include <algorithm>
#include <string>

#include "base/record_list.h"
#include "base/text.h"

namespace ek {

VersionRules VersionRulesOf(const IniDocument& config) {
  VersionRules r;
  r.doubleDots = HasEngineSwitch(config, L"-doubledots");
  r.keepMetadata = HasEngineSwitch(config, L"-noremovemetadata");
  r.hyphenIsSeparator = HasEngineSwitch(config, L"-verhyphen");
  r.simple = HasEngineSwitch(config, L"-simpleversioning");
  return r;
}

VersionNumbers ParseVersion(std::wstring_view text, const VersionRules& rules) {
  VersionNumbers parts{0, 0, 0, 0};
  std::wstring t(text);
  size_t dash = t.find(L'-');
  if (dash != std::wstring::npos) t[dash] = L'.';
  for (auto& c : t)
    if (c == L',' || c == L'_') c = L'.';
  if (rules.doubleDots) t = ReplaceAll(t, L"..", L".");
  std::wstring kept;
  kept.reserve(t.size());
  for (wchar_t c : t)
    if ((c >= L'0' && c <= L'9') || c == L'.') kept.push_back(c);
  if (kept.empty()) return parts;
  if (kept.back() != L'.') kept.push_back(L'.');
  size_t pos = 0;
  for (int j = 0; j < 4; ++j) {
    size_t dot = kept.find(L'.', pos);
    if (dot == std::wstring::npos) break;
    std::wstring_view piece(kept.data() + pos, dot - pos);
    auto v = ParseUnsignedDecimal(piece);
    parts[static_cast<size_t>(j)] = (v && *v <= 2147483647ull) ? static_cast<int32_t>(*v) : 0;
    pos = dot + 1;
  }
  return parts;
}

bool CompareVersions(std::wstring_view aIn, std::wstring_view bIn, bool orEqual, const VersionRules& rules) {
  std::wstring a = Trim(aIn), b = Trim(bIn);
  if (!rules.keepMetadata) {
    size_t p = a.find(L'+');
    if (p != std::wstring::npos) a.resize(p);
    p = b.find(L'+');
    if (p != std::wstring::npos) b.resize(p);
  }
  if (a == b) return orEqual;
  std::wstring tagA, tagB;
  bool hasTagA = false, hasTagB = false;
  if (!rules.hyphenIsSeparator) {
    size_t p = a.find(L'-');
    if (p != std::wstring::npos) {
      tagA = ToLowerAscii(std::wstring_view(a).substr(p + 1));
      a.resize(p);
      hasTagA = true;
    }
    p = b.find(L'-');
    if (p != std::wstring::npos) {
      tagB = ToLowerAscii(std::wstring_view(b).substr(p + 1));
      b.resize(p);
      hasTagB = true;
    }
  }
  const VersionNumbers va = ParseVersion(a, rules), vb = ParseVersion(b, rules);
  if (rules.simple) {
    for (size_t i = 0; i < 4; ++i)
      if (va[i] != vb[i]) return va[i] > vb[i];
    return orEqual;
  }
  for (size_t i = 0; i < 3; ++i)
    if (va[i] != vb[i]) return va[i] > vb[i];
  if (hasTagA && !hasTagB) return false;
  if (!hasTagA && hasTagB) return true;
  if (!hasTagA && !hasTagB) {
    if (va[3] != vb[3]) return va[3] > vb[3];
    return orEqual;
  }
  if (tagA == tagB) return orEqual;
  const size_t n = std::min(tagA.size(), tagB.size());
  for (size_t i = 0; i < n; ++i) {
    const auto ca = static_cast<uint16_t>(tagA[i]), cb = static_cast<uint16_t>(tagB[i]);
    if (ca != cb) return ca > cb;
  }
  return tagA.size() > tagB.size();
}

}  // namespace ek
