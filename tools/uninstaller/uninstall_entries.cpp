#include "uninstall_entries.h"

#include <algorithm>
#include <map>

#include "base/record_list.h"
#include "base/text.h"

namespace ek::uninstall {
namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Where the components start: after "X:\" or after "\\server\share\";
// npos when the path has neither form.
size_t ComponentsStart(std::wstring_view p) {
  if (p.size() >= 3 && ((p[0] >= L'A' && p[0] <= L'Z') || (p[0] >= L'a' && p[0] <= L'z')) && p[1] == L':' &&
      IsSeparator(p[2]))
    return 3;
  if (p.size() >= 2 && IsSeparator(p[0]) && IsSeparator(p[1])) {
    size_t server = 2;
    while (server < p.size() && !IsSeparator(p[server])) ++server;
    if (server == 2 || server >= p.size()) return npos;
    const std::wstring_view name = p.substr(2, server - 2);
    if (name == L"?" || name == L".") return npos;  // device and extended-path forms
    size_t share = server + 1;
    while (share < p.size() && !IsSeparator(p[share])) ++share;
    if (share == server + 1) return npos;
    return share >= p.size() ? p.size() : share + 1;
  }
  return npos;
}

std::vector<std::wstring_view> Components(std::wstring_view p, size_t start) {
  std::vector<std::wstring_view> out;
  size_t b = start;
  for (size_t i = start; i <= p.size(); ++i) {
    if (i == p.size() || IsSeparator(p[i])) {
      out.push_back(p.substr(b, i - b));
      b = i + 1;
    }
  }
  if (!out.empty() && out.back().empty() && start < p.size()) out.pop_back();  // one trailing "\"
  if (start == p.size()) out.clear();
  return out;
}

bool CleanComponent(std::wstring_view c) {
  if (c.empty()) return false;
  const wchar_t last = c.back();
  return last != L'.' && last != L' ';  // also rejects "." and ".."
}

bool CleanText(std::wstring_view p) {
  for (wchar_t c : p)
    if (c < 0x20 || c == L'*' || c == L'?' || c == L'"' || c == L'<' || c == L'>' || c == L'|') return false;
  return true;
}

}  // namespace

bool IsSafePath(std::wstring_view p) {
  if (p.empty() || p.size() > 32000 || !CleanText(p)) return false;
  const size_t start = ComponentsStart(p);
  if (start == npos) return false;
  if (p.find(L':', 2) != std::wstring_view::npos) return false;  // stream names
  for (auto c : Components(p, start))
    if (!CleanComponent(c)) return false;
  return true;
}

bool IsSafeFolder(std::wstring_view p) {
  if (!IsSafePath(p)) return false;
  return !Components(p, ComponentsStart(p)).empty();
}

size_t PathDepth(std::wstring_view p) {
  const size_t start = ComponentsStart(p);
  return start == npos ? 0 : Components(p, start).size();
}

bool IsBelow(std::wstring_view inner, std::wstring_view outer) {
  const std::wstring o = StripTrailingBackslash(outer);
  if (o.empty() || inner.size() <= o.size() + 1) return false;
  return EqualsNoCase(inner.substr(0, o.size()), o) && inner[o.size()] == L'\\';
}

namespace {

bool ParseRoot(std::wstring_view name, platform::RegRoot& root) {
  using platform::RegRoot;
  const struct {
    const wchar_t* full;
    const wchar_t* shortName;
    RegRoot root;
  } kRoots[] = {{L"HKEY_CURRENT_USER", L"HKCU", RegRoot::CurrentUser},
                {L"HKEY_LOCAL_MACHINE", L"HKLM", RegRoot::LocalMachine},
                {L"HKEY_CLASSES_ROOT", L"HKCR", RegRoot::ClassesRoot},
                {L"HKEY_USERS", L"HKU", RegRoot::Users}};
  for (const auto& r : kRoots)
    if (EqualsNoCaseAscii(name, r.full) || EqualsNoCaseAscii(name, r.shortName)) {
      root = r.root;
      return true;
    }
  return false;
}

bool CleanKeyPath(std::wstring_view key) {
  if (key.empty() || key.size() > 4096) return false;
  for (wchar_t c : key)
    if (c < 0x20) return false;
  for (auto part : Split(key, L"\\")) {
    if (part.empty() || part == L"." || part == L"..") return false;
  }
  return true;
}

}  // namespace

std::optional<RegistryEntry> ParseRegistryKeyEntry(std::wstring_view text) {
  RegistryEntry e;
  std::wstring_view t = text;
  auto rootOf = [&](std::wstring_view s, size_t& slash) {
    slash = s.find(L'\\');
    return slash != std::wstring_view::npos && ParseRoot(s.substr(0, slash), e.root);
  };
  size_t slash = 0;
  // The mark is the first letter of the record's view field: "3", "6", or
  // another letter for the default view; a record without a view field
  // leaves it out.
  if (!rootOf(t, slash)) {
    const wchar_t m = t.empty() ? 0 : t[0];
    const bool letterOrDigit = (m >= L'0' && m <= L'9') || (m >= L'A' && m <= L'Z') || (m >= L'a' && m <= L'z');
    if (!letterOrDigit) return std::nullopt;
    e.mark = m == L'3' ? ViewMark::View32 : m == L'6' ? ViewMark::View64 : ViewMark::Default;
    t.remove_prefix(1);
    if (!rootOf(t, slash)) return std::nullopt;
  }
  e.key = std::wstring(t.substr(slash + 1));
  if (!CleanKeyPath(e.key)) return std::nullopt;
  return e;
}

std::optional<RegistryEntry> ParseRegistryValueEntry(std::wstring_view text) {
  const size_t sep = text.find(kFieldSeparator);
  if (sep == std::wstring_view::npos) return std::nullopt;
  auto e = ParseRegistryKeyEntry(text.substr(0, sep));
  if (!e) return std::nullopt;
  e->valueName = std::wstring(text.substr(sep + kFieldSeparator.size()));
  return e;
}

namespace {

// Keys below Software\Classes (or HKEY_CLASSES_ROOT) that belong to Windows.
const wchar_t* const kWindowsClasses[] = {L"*",     L"AllFilesystemObjects", L"AppID",     L"CLSID", L"Directory",
                                          L"Drive", L"Folder",               L"Interface", L"MIME",  L"TypeLib",
                                          L"Wow6432Node"};
// ... and those that programs fill and an installation may have made.
const wchar_t* const kSharedClasses[] = {L"Applications", L"SystemFileAssociations"};

// Keys below HKEY_CURRENT_USER / HKEY_LOCAL_MACHINE that Windows needs.
const wchar_t* const kWindowsKeys[] = {
    L"Software\\Classes",
    L"Software\\Microsoft",
    L"Software\\Microsoft\\Windows",
    L"Software\\Microsoft\\Windows\\CurrentVersion",
    L"Software\\Microsoft\\Windows NT",
    L"Software\\Microsoft\\Windows NT\\CurrentVersion",
    L"Software\\Policies",
    L"Software\\Wow6432Node",
    L"System\\CurrentControlSet",
    L"System\\CurrentControlSet\\Control",
    L"System\\CurrentControlSet\\Control\\Session Manager",
    L"System\\CurrentControlSet\\Control\\Session Manager\\Environment",
    L"System\\CurrentControlSet\\Services",
    L"Control Panel\\Desktop",
};
// ... and the shared keys that programs write into, which an installation on
// a fresh system may have made.
const wchar_t* const kSharedKeys[] = {
    L"Software\\Clients",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags",
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers",
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
    L"Software\\RegisteredApplications",
    L"Software\\Wine",
};

bool InList(std::wstring_view key, const auto& list) {
  for (const wchar_t* k : list)
    if (EqualsNoCaseAscii(key, k)) return true;
  return false;
}

// Software\Wow6432Node\X is the 32-bit face of Software\X.
std::wstring WithoutWow(std::wstring_view key) {
  const std::wstring_view wow = L"Software\\Wow6432Node\\";
  if (StartsWithNoCase(key, wow)) return L"Software\\" + std::wstring(key.substr(wow.size()));
  return std::wstring(key);
}

// The part of a key below Software\Classes ("" when it is not below).
std::optional<std::wstring> ClassesPart(platform::RegRoot root, std::wstring_view key) {
  if (root == platform::RegRoot::ClassesRoot) return std::wstring(key);
  if (root == platform::RegRoot::Users) {
    // HKEY_USERS\<sid>\Software\Classes and HKEY_USERS\<sid>_Classes
    const size_t slash = key.find(L'\\');
    if (slash == std::wstring_view::npos) return std::nullopt;
    if (EndsWithNoCase(key.substr(0, slash), L"_Classes")) return std::wstring(key.substr(slash + 1));
    key = key.substr(slash + 1);
  }
  const std::wstring k = WithoutWow(key);
  const std::wstring_view classes = L"Software\\Classes\\";
  if (StartsWithNoCase(k, classes)) return k.substr(classes.size());
  return std::nullopt;
}

}  // namespace

KeyGuard GuardOf(platform::RegRoot root, std::wstring_view key) {
  std::wstring k = std::wstring(key);
  if (k.find(L'\\') == std::wstring::npos && root != platform::RegRoot::ClassesRoot) return KeyGuard::Never;
  if (auto part = ClassesPart(root, k)) {
    if (InList(*part, kWindowsClasses)) return KeyGuard::Never;
    if (InList(*part, kSharedClasses)) return KeyGuard::UnlessEmpty;
    if (root == platform::RegRoot::ClassesRoot) return KeyGuard::None;
  }
  if (root == platform::RegRoot::Users) {
    k = k.substr(k.find(L'\\') + 1);  // below the user's own root
    if (k.find(L'\\') == std::wstring::npos) return KeyGuard::Never;
  }
  k = WithoutWow(k);
  if (InList(k, kWindowsKeys)) return KeyGuard::Never;
  if (InList(k, kSharedKeys)) return KeyGuard::UnlessEmpty;
  return KeyGuard::None;
}

bool IsSharedClassesKey(platform::RegRoot root, std::wstring_view key) {
  auto part = ClassesPart(root, key);
  if (!part || part->empty()) return false;
  const std::wstring first = part->substr(0, part->find(L'\\'));
  const wchar_t* const kApart[] = {L"CLSID", L"DirectShow", L"Interface", L"Media Type", L"MediaFoundation",
                                   L"Wow6432Node"};
  for (const wchar_t* a : kApart)
    if (EqualsNoCaseAscii(first, a)) return false;
  return true;
}

bool IsProgIdKey(platform::RegRoot root, std::wstring_view key) {
  auto part = ClassesPart(root, key);
  return part && !part->empty() && part->find(L'\\') == std::wstring::npos && (*part)[0] != L'.' &&
         IsSharedClassesKey(root, key);
}

bool IsRegistrationKey(std::wstring_view key) {
  return StartsWithNoCase(WithoutWow(key), L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\");
}

std::optional<IniValueEntry> ParseIniValueEntry(std::wstring_view text) {
  auto f = SplitRecord(text);
  if (f.size() != 3 || !IsSafePath(f[0]) || Trim(f[1]).empty() || Trim(f[2]).empty()) return std::nullopt;
  return IniValueEntry{f[0], Trim(f[1]), Trim(f[2])};
}

std::optional<EnvironmentEntry> ParseEnvironmentEntry(std::wstring_view text) {
  if (text.size() < 3) return std::nullopt;
  EnvironmentEntry e;
  e.kind = static_cast<wchar_t>(ToUpperAscii(text.substr(0, 1))[0]);
  const wchar_t scope = static_cast<wchar_t>(ToUpperAscii(text.substr(1, 1))[0]);
  if ((e.kind != L'W' && e.kind != L'U' && e.kind != L'D') || (scope != L'S' && scope != L'U')) return std::nullopt;
  e.system = scope == L'S';
  std::wstring_view rest = text.substr(2);
  const size_t sep = rest.find(kFieldSeparator);
  if (e.kind == L'D') {
    if (sep != std::wstring_view::npos) return std::nullopt;
    e.name = std::wstring(rest);
  } else {
    if (sep == std::wstring_view::npos) return std::nullopt;
    e.name = std::wstring(rest.substr(0, sep));
    e.text = std::wstring(rest.substr(sep + kFieldSeparator.size()));
  }
  if (e.name.empty() || e.name.find(L'=') != std::wstring::npos) return std::nullopt;
  for (wchar_t c : e.name)
    if (c < 0x20) return std::nullopt;
  return e;
}

std::optional<ExecEntry> ParseExecEntry(std::wstring_view text) {
  auto f = SplitRecord(text);
  if (f.empty() || Trim(f[0]).empty()) return std::nullopt;
  f.resize(std::max<size_t>(f.size(), 5));
  ExecEntry e;
  e.command = f[0];
  e.parameters = f[1];
  const std::wstring window = ToUpperAscii(Trim(f[2]));
  e.show = window == L"MAXIMIZED" ? 3 : window == L"MINIMIZED" ? 2 : window == L"HIDE" ? 0 : 1;
  const std::wstring wait = ToUpperAscii(Trim(f[3])), elevate = ToUpperAscii(Trim(f[4]));
  e.wait = wait == L"YES" || wait == L"+";
  e.elevate = elevate == L"YES" || elevate == L"+";
  return e;
}

std::optional<std::wstring> RemoveListPart(std::wstring_view list, std::wstring_view part) {
  if (part.empty()) return std::nullopt;
  std::vector<std::wstring> items = Split(list, L";");
  const std::vector<std::wstring> wanted = Split(part, L";");
  if (wanted.size() > items.size()) return std::nullopt;
  for (size_t i = 0; i + wanted.size() <= items.size(); ++i) {
    bool same = true;
    for (size_t j = 0; j < wanted.size() && same; ++j) same = EqualsNoCase(items[i + j], wanted[j]);
    if (!same) continue;
    items.erase(items.begin() + static_cast<std::ptrdiff_t>(i),
                items.begin() + static_cast<std::ptrdiff_t>(i + wanted.size()));
    std::wstring out;
    for (size_t k = 0; k < items.size(); ++k) {
      if (k) out += L';';
      out += items[k];
    }
    return out;
  }
  return std::nullopt;
}

std::wstring FormatMessageText(std::wstring_view text, std::wstring_view name) {
  return ReplaceAll(ReplaceAllNoCase(text, L"%s", name), L"%n", L"\r\n");
}

std::vector<std::wstring> ListValues(const IniDocument& doc, std::wstring_view section) {
  std::map<uint64_t, std::wstring> byNumber;
  if (const IniDocument::Section* s = doc.GetSection(section))
    for (const auto& e : s->entries)
      if (auto n = ParseUnsignedDecimal(e.key)) byNumber.emplace(*n, e.value);
  std::vector<std::wstring> out;
  out.reserve(byNumber.size());
  for (auto& [n, v] : byNumber) out.push_back(std::move(v));
  return out;
}

}  // namespace ek::uninstall
