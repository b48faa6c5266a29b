#include "base/uninstall_entries.h"

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <map>

#include "base/path_rules.h"
#include "base/record_list.h"
#include "base/text.h"

namespace ek::uninstall {

std::wstring InstalledMainExe(const IniDocument& info) {
  return info.ReadString(kGeneral, key::kMainExe, info.ReadString(kGeneral, key::kMainExecutable));
}

// ---- texts ---------------------------------------------------------------

std::wstring MessageLine(std::wstring_view text) {
  std::wstring t = ReplaceAll(text, L"\r\n", L"%n");
  t = ReplaceAll(t, L"\n", L"%n");
  return ReplaceAll(t, L"\r", L"%n");
}

std::wstring FormatMessageText(std::wstring_view text, std::wstring_view name) {
  return ReplaceAll(ReplaceAllNoCase(text, L"%s", name), L"%n", L"\r\n");
}

// ---- paths ---------------------------------------------------------------

bool IsSafePath(std::wstring_view p) {
  // Devices, streams, wildcards, "." and "..", and names that Windows would
  // shorten are all refused by the component rule.
  return !p.empty() && p.size() <= 32000 && IsPlainAbsolutePath(p);
}

bool IsSafeFolder(std::wstring_view p) { return IsSafePath(p) && !PathComponents(p).empty(); }

size_t PathDepth(std::wstring_view p) { return PathComponents(p).size(); }

bool IsBelow(std::wstring_view inner, std::wstring_view outer) {
  const std::wstring o = StripTrailingBackslash(outer);
  if (o.empty() || inner.size() <= o.size() + 1) return false;
  return EqualsNoCase(inner.substr(0, o.size()), o) && inner[o.size()] == L'\\';
}

// ---- registry roots and views --------------------------------------------

namespace {

struct RootNames {
  Root root;
  std::wstring_view full;
  std::wstring_view shortName;
};
constexpr RootNames kRoots[] = {{Root::CurrentUser, L"HKEY_CURRENT_USER", L"HKCU"},
                                {Root::LocalMachine, L"HKEY_LOCAL_MACHINE", L"HKLM"},
                                {Root::ClassesRoot, L"HKEY_CLASSES_ROOT", L"HKCR"},
                                {Root::Users, L"HKEY_USERS", L"HKU"}};

struct MarkLetter {
  ViewMark mark;
  wchar_t letter;
};
constexpr MarkLetter kMarks[] = {{ViewMark::View32, L'3'}, {ViewMark::View64, L'6'}, {ViewMark::Default, L'D'}};

wchar_t LetterOf(ViewMark mark) {
  const MarkLetter* found = &kMarks[std::size(kMarks) - 1];  // the default view
  for (const auto& m : kMarks)
    if (m.mark == mark) found = &m;
  return found->letter;
}

// Any other letter or digit stands for the default view.
ViewMark MarkOf(wchar_t letter) {
  for (const auto& m : kMarks)
    if (m.letter == letter) return m.mark;
  return ViewMark::Default;
}

bool IsLetterOrDigit(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
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

std::wstring_view RootName(Root root) {
  for (const auto& r : kRoots)
    if (r.root == root) return r.full;
  return {};
}

std::optional<Root> ParseRoot(std::wstring_view name) {
  for (const auto& r : kRoots)
    if (EqualsNoCaseAscii(name, r.full) || EqualsNoCaseAscii(name, r.shortName)) return r.root;
  return std::nullopt;
}

// ---- list entries --------------------------------------------------------

std::wstring PathEntry::Format() const { return path; }

std::optional<PathEntry> PathEntry::Parse(std::wstring_view text) {
  if (!IsSafePath(text)) return std::nullopt;
  return PathEntry{std::wstring(text)};
}

std::wstring FolderEntry::Format() const { return path; }

std::optional<FolderEntry> FolderEntry::Parse(std::wstring_view text) {
  // One trailing separator goes; a second one would be an empty name.
  if (!text.empty() && (text.back() == L'\\' || text.back() == L'/')) text.remove_suffix(1);
  if (!text.empty() && (text.back() == L'\\' || text.back() == L'/')) return std::nullopt;
  if (!IsSafeFolder(text)) return std::nullopt;
  return FolderEntry{std::wstring(text)};
}

std::wstring RegistryKeyEntry::Format() const {
  std::wstring out(1, LetterOf(mark));
  out += RootName(root);
  out += L'\\';
  out += key;
  return out;
}

std::optional<RegistryKeyEntry> RegistryKeyEntry::Parse(std::wstring_view text) {
  RegistryKeyEntry e;
  std::wstring_view t = text;
  auto rootOf = [&](std::wstring_view s, size_t& slash) {
    slash = s.find(L'\\');
    if (slash == std::wstring_view::npos) return false;
    const auto root = ParseRoot(s.substr(0, slash));
    if (root) e.root = *root;
    return root.has_value();
  };
  size_t slash = 0;
  if (!rootOf(t, slash)) {
    if (t.empty() || !IsLetterOrDigit(t[0])) return std::nullopt;
    e.mark = MarkOf(t[0]);
    t.remove_prefix(1);
    if (!rootOf(t, slash)) return std::nullopt;
  }
  e.key = std::wstring(t.substr(slash + 1));
  if (!CleanKeyPath(e.key)) return std::nullopt;
  return e;
}

std::wstring RegistryValueEntry::Format() const {
  return RegistryKeyEntry::Format() + std::wstring(kFieldSeparator) + valueName;
}

std::optional<RegistryValueEntry> RegistryValueEntry::Parse(std::wstring_view text) {
  const size_t sep = text.find(kFieldSeparator);
  if (sep == std::wstring_view::npos) return std::nullopt;
  auto key = RegistryKeyEntry::Parse(text.substr(0, sep));
  if (!key) return std::nullopt;
  RegistryValueEntry e;
  static_cast<RegistryKeyEntry&>(e) = std::move(*key);
  e.valueName = std::wstring(text.substr(sep + kFieldSeparator.size()));
  return e;
}

namespace {

std::wstring JoinFields(std::initializer_list<std::wstring_view> fields) {
  std::wstring out;
  bool first = true;
  for (auto f : fields) {
    if (!first) out += kFieldSeparator;
    first = false;
    out += f;
  }
  return out;
}

}  // namespace

std::wstring IniValueEntry::Format() const { return JoinFields({file, section, key}); }

std::optional<IniValueEntry> IniValueEntry::Parse(std::wstring_view text) {
  auto f = SplitRecord(text);
  if (f.size() != 3 || !IsSafePath(f[0]) || Trim(f[1]).empty() || Trim(f[2]).empty()) return std::nullopt;
  return IniValueEntry{f[0], Trim(f[1]), Trim(f[2])};
}

namespace {

struct KindLetter {
  EnvironmentEntry::Kind kind;
  wchar_t letter;
};
constexpr KindLetter kKinds[] = {{EnvironmentEntry::Kind::Overwritten, L'W'},
                                 {EnvironmentEntry::Kind::Added, L'U'},
                                 {EnvironmentEntry::Kind::Created, L'D'}};
constexpr wchar_t kSystemScope = L'S', kUserScope = L'U';

}  // namespace

std::wstring EnvironmentEntry::Format() const {
  std::wstring out;
  for (const auto& k : kKinds)
    if (k.kind == kind) out += k.letter;
  out += system ? kSystemScope : kUserScope;
  out += name;
  if (kind != Kind::Created) out += std::wstring(kFieldSeparator) + text;
  return out;
}

std::optional<EnvironmentEntry> EnvironmentEntry::Parse(std::wstring_view text) {
  if (text.size() < 3) return std::nullopt;
  EnvironmentEntry e;
  const wchar_t letter = ToUpperAscii(text.substr(0, 1))[0];
  const wchar_t scope = ToUpperAscii(text.substr(1, 1))[0];
  const KindLetter* kind = nullptr;
  for (const auto& k : kKinds)
    if (k.letter == letter) kind = &k;
  if (!kind || (scope != kSystemScope && scope != kUserScope)) return std::nullopt;
  e.kind = kind->kind;
  e.system = scope == kSystemScope;
  std::wstring_view rest = text.substr(2);
  const size_t sep = rest.find(kFieldSeparator);
  if (e.kind == Kind::Created) {
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

std::wstring ExecEntry::Format() const { return JoinFields({command, parameters, window, wait, elevate}); }

std::optional<ExecEntry> ExecEntry::Parse(std::wstring_view text) {
  auto f = SplitRecord(text);
  if (f.empty() || Trim(f[0]).empty()) return std::nullopt;
  f.resize(std::max<size_t>(f.size(), 5));
  return ExecEntry{f[0], f[1], f[2], f[3], f[4]};
}

int ExecEntry::Show() const {
  const std::wstring w = ToUpperAscii(Trim(window));
  return w == L"MAXIMIZED" ? 3 : w == L"MINIMIZED" ? 2 : w == L"HIDE" ? 0 : 1;
}

namespace {

bool IsYes(std::wstring_view flag) {
  const std::wstring f = ToUpperAscii(Trim(flag));
  return f == L"YES" || f == L"+";
}

}  // namespace

bool ExecEntry::Waits() const { return IsYes(wait); }
bool ExecEntry::Elevates() const { return IsYes(elevate); }

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
