#include "platform/registry.h"
#include "base/result.h"

#include <windows.h>

#include <cstring>

#include "platform/handles.h"

namespace ek::platform {
namespace {

HKEY RootHandle(RegRoot root) {
  switch (root) {
    case RegRoot::CurrentUser: return HKEY_CURRENT_USER;
    case RegRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
    case RegRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
    case RegRoot::Users: return HKEY_USERS;
  }
  return HKEY_CURRENT_USER;
}

REGSAM ViewFlag(RegView view) { return view == RegView::View32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY; }

// The registry functions return their error instead of setting the thread's
// last error; setting it lets the caller's failure report name the cause.
bool Succeeded(LSTATUS rc) {
  if (rc != ERROR_SUCCESS) ::SetLastError(static_cast<DWORD>(rc));
  return rc == ERROR_SUCCESS;
}

}  // namespace

RegRoot RegRootOf(uninstall::Root root) {
  switch (root) {
    case uninstall::Root::CurrentUser: return RegRoot::CurrentUser;
    case uninstall::Root::LocalMachine: return RegRoot::LocalMachine;
    case uninstall::Root::ClassesRoot: return RegRoot::ClassesRoot;
    case uninstall::Root::Users: return RegRoot::Users;
  }
  return RegRoot::CurrentUser;
}

RegView RegViewOf(uninstall::ViewMark mark, bool is64BitEngine) {
  switch (mark) {
    case uninstall::ViewMark::View32: return RegView::View32;
    case uninstall::ViewMark::View64: return RegView::View64;
    case uninstall::ViewMark::Default: break;
  }
  return is64BitEngine ? RegView::View64 : RegView::View32;
}

std::wstring RegValueText(const RegValue& v) {
  const auto& d = v.data;
  if (v.type == REG_SZ || v.type == REG_EXPAND_SZ || v.type == REG_MULTI_SZ) {
    std::wstring s(d.size() / sizeof(wchar_t), L'\0');
    if (!s.empty()) std::memcpy(s.data(), d.data(), s.size() * sizeof(wchar_t));
    while (!s.empty() && s.back() == L'\0') s.pop_back();
    if (v.type != REG_MULTI_SZ) return s;
    std::wstring lines;
    for (wchar_t c : s) lines += c == L'\0' ? std::wstring(L"\r\n") : std::wstring(1, c);
    return lines;
  }
  if (v.type == REG_DWORD && d.size() >= 4) {
    uint32_t n;
    std::memcpy(&n, d.data(), 4);
    return std::to_wstring(n);
  }
  if (v.type == REG_QWORD && d.size() >= 8) {
    uint64_t n;
    std::memcpy(&n, d.data(), 8);
    return std::to_wstring(n);
  }
  static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
  std::wstring hex;
  for (unsigned char c : d) {
    hex += kHex[c >> 4];
    hex += kHex[c & 15];
  }
  return hex;
}

struct RegKey::Impl {
  UniqueHkey key;
  REGSAM view = KEY_WOW64_64KEY;
};

RegKey::RegKey() : impl_(std::make_unique<Impl>()) {}
RegKey::~RegKey() = default;
RegKey::RegKey(RegKey&&) noexcept = default;
RegKey& RegKey::operator=(RegKey&&) noexcept = default;

bool RegKey::Open(RegRoot root, const std::wstring& path, RegView view, bool fullAccess) {
  impl_->view = ViewFlag(view);
  HKEY h = nullptr;
  REGSAM access = (fullAccess ? KEY_ALL_ACCESS : KEY_READ) | impl_->view;
  LSTATUS rc = ::RegOpenKeyExW(RootHandle(root), path.c_str(), 0, access, &h);
  impl_->key.reset(rc == ERROR_SUCCESS ? h : nullptr);
  return Succeeded(rc);
}

bool RegKey::Create(RegRoot root, const std::wstring& path, RegView view, bool* created) {
  impl_->view = ViewFlag(view);
  HKEY h = nullptr;
  DWORD disposition = 0;
  LSTATUS rc = ::RegCreateKeyExW(RootHandle(root), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 KEY_ALL_ACCESS | impl_->view, nullptr, &h, &disposition);
  impl_->key.reset(rc == ERROR_SUCCESS ? h : nullptr);
  if (created) *created = rc == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY;
  return Succeeded(rc);
}

bool RegKey::IsOpen() const { return static_cast<bool>(impl_->key); }
void RegKey::Close() { impl_->key.reset(); }

bool RegKey::ValueExists(const std::wstring& name) const {
  if (!IsOpen()) return false;
  return ::RegQueryValueExW(impl_->key.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::optional<RegValue> RegKey::ReadValue(const std::wstring& name) const {
  if (!IsOpen()) return std::nullopt;
  DWORD type = 0, size = 0;
  LSTATUS rc = ::RegQueryValueExW(impl_->key.get(), name.c_str(), nullptr, &type, nullptr, &size);
  if (rc != ERROR_SUCCESS) return std::nullopt;
  RegValue v;
  v.type = type;
  for (int attempt = 0; attempt < 4; ++attempt) {
    v.data.resize(size);
    DWORD got = size;
    rc = ::RegQueryValueExW(impl_->key.get(), name.c_str(), nullptr, &type, v.data.empty() ? nullptr : v.data.data(), &got);
    if (rc == ERROR_SUCCESS) {
      v.data.resize(got);
      v.type = type;
      return v;
    }
    if (rc != ERROR_MORE_DATA) return std::nullopt;
    size = got;
  }
  return std::nullopt;
}

std::optional<std::wstring> RegKey::ReadString(const std::wstring& name) const {
  auto v = ReadValue(name);
  if (!v || (v->type != REG_SZ && v->type != REG_EXPAND_SZ)) return std::nullopt;
  std::wstring s(reinterpret_cast<const wchar_t*>(v->data.data()), v->data.size() / sizeof(wchar_t));
  while (!s.empty() && s.back() == L'\0') s.pop_back();
  return s;
}

std::optional<uint32_t> RegKey::ReadDword(const std::wstring& name) const {
  auto v = ReadValue(name);
  if (!v || v->type != REG_DWORD || v->data.size() < 4) return std::nullopt;
  uint32_t out;
  std::memcpy(&out, v->data.data(), 4);
  return out;
}

std::optional<std::wstring> RegKey::ReadAsText(const std::wstring& name) const {
  auto v = ReadValue(name);
  if (!v) return std::nullopt;
  return RegValueText(*v);
}

bool RegKey::WriteString(const std::wstring& name, const std::wstring& value, bool expandable) {
  if (!IsOpen()) return false;
  return Succeeded(::RegSetValueExW(impl_->key.get(), name.c_str(), 0, expandable ? REG_EXPAND_SZ : REG_SZ,
                                    reinterpret_cast<const BYTE*>(value.c_str()),
                                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))));
}

bool RegKey::WriteDword(const std::wstring& name, uint32_t value) {
  if (!IsOpen()) return false;
  return Succeeded(::RegSetValueExW(impl_->key.get(), name.c_str(), 0, REG_DWORD,
                                    reinterpret_cast<const BYTE*>(&value), sizeof value));
}

bool RegKey::WriteBinary(const std::wstring& name, const std::vector<unsigned char>& data) {
  if (!IsOpen()) return false;
  return Succeeded(::RegSetValueExW(impl_->key.get(), name.c_str(), 0, REG_BINARY,
                                    data.empty() ? nullptr : data.data(), static_cast<DWORD>(data.size())));
}

bool RegKey::WriteValue(const std::wstring& name, const RegValue& value) {
  if (!IsOpen()) return false;
  return Succeeded(::RegSetValueExW(impl_->key.get(), name.c_str(), 0, value.type,
                                    value.data.empty() ? nullptr : value.data.data(),
                                    static_cast<DWORD>(value.data.size())));
}

bool RegKey::DeleteValue(const std::wstring& name) {
  if (!IsOpen()) return false;
  return Succeeded(::RegDeleteValueW(impl_->key.get(), name.c_str()));
}

std::vector<std::wstring> RegKey::SubKeyNames() const {
  std::vector<std::wstring> out;
  if (!IsOpen()) return out;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD len = 256;
    if (::RegEnumKeyExW(impl_->key.get(), i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    out.emplace_back(name, len);
  }
  return out;
}

std::vector<std::wstring> RegKey::ValueNames() const {
  std::vector<std::wstring> out;
  if (!IsOpen()) return out;
  std::vector<wchar_t> name(16384);
  for (DWORD i = 0;; ++i) {
    DWORD len = static_cast<DWORD>(name.size());
    if (::RegEnumValueW(impl_->key.get(), i, name.data(), &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    out.emplace_back(name.data(), len);
  }
  return out;
}

bool RegKeyExists(RegRoot root, const std::wstring& path, RegView view) {
  RegKey k;
  return k.Open(root, path, view, false);
}

bool DeleteKeyTree(RegRoot root, const std::wstring& path, RegView view) {
  if (path.empty()) return false;  // never the root itself
  {
    RegKey k;
    if (!k.Open(root, path, view, true)) return !RegKeyExists(root, path, view);
    // A subkey that stays makes the final delete fail, which the result reports.
    for (const auto& sub : k.SubKeyNames()) Ignore(DeleteKeyTree(root, path + L"\\" + sub, view));
  }
  const LSTATUS rc = ::RegDeleteKeyExW(RootHandle(root), path.c_str(), ViewFlag(view), 0);
  if (!RegKeyExists(root, path, view)) return true;
  if (rc != ERROR_SUCCESS) ::SetLastError(static_cast<DWORD>(rc));  // the cause of the key that stays
  return false;
}

bool CopyKeyTree(RegRoot root, const std::wstring& from, const std::wstring& to, RegView view) {
  RegKey src;
  if (!src.Open(root, from, view, false)) return false;
  RegKey dst;
  if (!dst.Create(root, to, view)) return false;
  bool ok = true;
  for (const auto& name : src.ValueNames()) {
    auto v = src.ReadValue(name);
    if (!v || !dst.WriteValue(name, *v)) ok = false;
  }
  for (const auto& sub : src.SubKeyNames())
    if (!CopyKeyTree(root, from + L"\\" + sub, to + L"\\" + sub, view)) ok = false;
  return ok;
}

bool RegDeleteKeyIfEmpty(RegRoot root, const std::wstring& path, RegView view) {
  {
    RegKey k;
    if (!k.Open(root, path, view, false)) return false;
    if (!k.SubKeyNames().empty() || !k.ValueNames().empty()) return false;
  }
  return ::RegDeleteKeyExW(RootHandle(root), path.c_str(), ViewFlag(view), 0) == ERROR_SUCCESS;
}

}  // namespace ek::platform
