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

namespace ek {
namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

size_t NextSeparator(std::wstring_view p, size_t from) {
  while (from < p.size() && !IsSeparator(p[from])) ++from;
  return from;
}

}  // namespace

size_t AbsolutePathRoot(std::wstring_view p) {
  if (p.size() >= 3 && ((p[0] >= L'A' && p[0] <= L'Z') || (p[0] >= L'a' && p[0] <= L'z')) && p[1] == L':' &&
      IsSeparator(p[2]))
    return 3;
  if (p.size() < 2 || !IsSeparator(p[0]) || !IsSeparator(p[1])) return npos;
  const size_t server = NextSeparator(p, 2);
  if (server >= p.size() || !IsPlainPathComponent(p.substr(2, server - 2))) return npos;  // also "?" and "."
  const size_t share = NextSeparator(p, server + 1);
  if (!IsPlainPathComponent(p.substr(server + 1, share - server - 1))) return npos;
  return share >= p.size() ? p.size() : share + 1;
}

std::vector<std::wstring_view> PathComponents(std::wstring_view p) {
  std::vector<std::wstring_view> out;
  const size_t start = AbsolutePathRoot(p);
  if (start == npos || start == p.size()) return out;
  std::wstring_view rest = p.substr(start);
  if (IsSeparator(rest.back())) rest.remove_suffix(1);  // one trailing separator
  for (size_t b = 0;;) {
    const size_t e = NextSeparator(rest, b);
    out.push_back(rest.substr(b, e - b));  // "a\\b" gives an empty one
    if (e == rest.size()) break;
    b = e + 1;
  }
  return out;
}

bool IsPlainAbsolutePath(std::wstring_view p, bool dots) {
  if (AbsolutePathRoot(p) == npos) return false;
  for (std::wstring_view c : PathComponents(p)) {
    if (dots && (c == L"." || c == L"..")) continue;
    if (!IsPlainPathComponent(c)) return false;
  }
  return true;
}

}  // namespace ek
