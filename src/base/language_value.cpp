#include "base/language_value.h"

#include "base/text.h"

namespace ek {

std::wstring PickLanguageTextFor(std::wstring_view value, std::wstring_view language, bool noSubLanguage) {
  if (value.find(L'[') == std::wstring_view::npos || noSubLanguage) return std::wstring(value);
  std::wstring result(value);
  const size_t hash = value.find(L'#');
  if (hash != std::wstring_view::npos) result.assign(value.substr(0, hash));
  // An empty name would match the first bracket of any value; it names no language.
  if (language.empty()) return result;
  const std::wstring marker = std::wstring(language) + L"[";
  const size_t at = FindNoCase(value, marker);
  if (at == npos) return result;
  result.assign(value.substr(at + marker.size()));
  const size_t close = result.find(L']');
  if (close != std::wstring::npos) result.resize(close);
  return result;
}

}  // namespace ek
