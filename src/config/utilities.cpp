#include "config/utilities.h"

#include <cstdio>

#include "core/setup_state.h"
#include "base/text.h"
#include "config/variables.h"
#include "platform/file_system.h"
#include "platform/system.h"

namespace ek {

std::wstring SizeText(int64_t n) {
  wchar_t buf[64];
  const wchar_t* unit = nullptr;
  double value = 0;
  if (n >= (1ll << 30)) { value = static_cast<double>(n) / static_cast<double>(1ll << 30); unit = L"GB"; }
  else if (n >= (1ll << 20)) { value = static_cast<double>(n) / static_cast<double>(1ll << 20); unit = L"MB"; }
  else if (n >= 1024) { value = static_cast<double>(n) / 1024.0; unit = L"KB"; }
  if (unit) {
    std::swprintf(buf, 64, L"%.2f %ls", value, unit);
    std::wstring out = buf;
    const std::wstring sep = platform::DecimalSeparator();
    size_t dot = out.find(L'.');
    if (dot != std::wstring::npos && sep != L".") out.replace(dot, 1, sep);
    return out;
  }
  if (n == 0) return L"0 byte";
  return ToText(n) + L" bytes";
}

uint64_t DriveFreeSpace(std::wstring_view path) {
  if (path.size() < 2 || path[1] != L':') return 0;
  std::wstring root;
  root.push_back(path[0]);
  root += L":\\";
  auto free = platform::FreeBytesForCaller(root);
  return free ? *free : 0;
}

std::wstring ExtendedPathRule(std::wstring_view p, bool noPrefix) {
  if (noPrefix || p.size() < 260) return std::wstring(p);
  if (p.substr(0, 3) == L"\\\\?") return std::wstring(p);
  if (p.substr(0, 2) == L"\\\\") return L"\\\\?\\UNC" + std::wstring(p.substr(1));
  return L"\\\\?\\" + std::wstring(p);
}

std::wstring ExtendedPath(std::wstring_view path) { return ExtendedPathRule(path, State().NoLongPathPrefix); }

std::wstring LongPathNameOf(std::wstring_view path) {
  if (Switch(L"-nospathconvert")) return std::wstring(path);
  return platform::LongPathName(std::wstring(path));
}

std::wstring NewGuidText() { return platform::NewGuidText(); }

std::wstring EnvironmentValue(std::wstring_view name) {
  std::wstring v = platform::EnvironmentValue(std::wstring(name));
  // The value is taken whole; the engine has no fixed buffer to overflow.
  return v;
}

std::wstring FindRegAsm() {
  auto& s = State();
  if (!s.RegAsmPath.empty()) return s.RegAsmPath;
  const std::wstring w = GetConstant(17);
  std::wstring found;
  const wchar_t* const kCandidates[] = {
      L"\\Microsoft.NET\\Framework\\v2.0.50727\\RegAsm.exe", L"\\Microsoft.NET\\Framework\\v4.0.30319\\RegAsm.exe",
      L"\\Microsoft.NET\\Framework64\\v2.0.50727\\RegAsm.exe", L"\\Microsoft.NET\\Framework64\\v4.0.30319\\RegAsm.exe"};
  for (int i = 0; i < 4; ++i) {
    if (i >= 2 && !s.Is64BitEngine) break;
    if (platform::FileExists(w + kCandidates[i])) found = w + kCandidates[i];
  }
  s.RegAsmPath = found;
  return found;
}

}  // namespace ek
