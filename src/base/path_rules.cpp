#include "base/path_rules.h"

#include "base/text.h"

namespace ek {

bool IsDeviceName(std::wstring_view component) {
  std::wstring_view stem = component.substr(0, component.find(L'.'));
  while (!stem.empty() && stem.back() == L' ') stem.remove_suffix(1);
  const std::wstring upper = ToUpperAscii(stem);
  for (const wchar_t* name : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$", L"CLOCK$"})
    if (upper == name) return true;
  if (upper.size() == 4 && (upper.starts_with(L"COM") || upper.starts_with(L"LPT"))) {
    const wchar_t d = upper[3];
    return (d >= L'0' && d <= L'9') || d == L'\u00B9' || d == L'\u00B2' || d == L'\u00B3';
  }
  return false;
}

bool IsPlainPathComponent(std::wstring_view c) {
  if (c.empty() || c.back() == L'.' || c.back() == L' ') return false;
  for (wchar_t ch : c) {
    if (ch < 0x20 || ch == L'\\' || ch == L'/' || ch == L':' || ch == L'*' || ch == L'?' || ch == L'"' || ch == L'<' ||
        ch == L'>' || ch == L'|')
      return false;
  }
  return !IsDeviceName(c);
}

}  // namespace ek
