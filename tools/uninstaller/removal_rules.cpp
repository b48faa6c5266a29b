#include "removal_rules.h"

#include <vector>

#include "base/text.h"

namespace ek::uninstall {

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
std::optional<std::wstring> ClassesPart(Root root, std::wstring_view key) {
  if (root == Root::ClassesRoot) return std::wstring(key);
  if (root == Root::Users) {
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

KeyGuard GuardOf(Root root, std::wstring_view key) {
  std::wstring k = std::wstring(key);
  if (k.find(L'\\') == std::wstring::npos && root != Root::ClassesRoot) return KeyGuard::Never;
  if (auto part = ClassesPart(root, k)) {
    if (InList(*part, kWindowsClasses)) return KeyGuard::Never;
    if (InList(*part, kSharedClasses)) return KeyGuard::UnlessEmpty;
    if (root == Root::ClassesRoot) return KeyGuard::None;
  }
  if (root == Root::Users) {
    k = k.substr(k.find(L'\\') + 1);  // below the user's own root
    if (k.find(L'\\') == std::wstring::npos) return KeyGuard::Never;
  }
  k = WithoutWow(k);
  if (InList(k, kWindowsKeys)) return KeyGuard::Never;
  if (InList(k, kSharedKeys)) return KeyGuard::UnlessEmpty;
  return KeyGuard::None;
}

bool IsSharedClassesKey(Root root, std::wstring_view key) {
  auto part = ClassesPart(root, key);
  if (!part || part->empty()) return false;
  const std::wstring first = part->substr(0, part->find(L'\\'));
  const wchar_t* const kApart[] = {L"CLSID", L"DirectShow", L"Interface", L"Media Type", L"MediaFoundation",
                                   L"Wow6432Node"};
  for (const wchar_t* a : kApart)
    if (EqualsNoCaseAscii(first, a)) return false;
  return true;
}

bool IsProgIdKey(Root root, std::wstring_view key) {
  auto part = ClassesPart(root, key);
  return part && !part->empty() && part->find(L'\\') == std::wstring::npos && (*part)[0] != L'.' &&
         IsSharedClassesKey(root, key);
}

bool IsRegistrationKey(std::wstring_view key) {
  return StartsWithNoCase(WithoutWow(key), L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\");
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

}  // namespace ek::uninstall
