// Registry keys with an explicit view. Keys close themselves.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/uninstall_entries.h"

namespace ek::platform {

enum class RegRoot { CurrentUser, LocalMachine, ClassesRoot, Users };
enum class RegView { View32, View64 };

// The roots and views of the uninstall information as registry keys.
[[nodiscard]] RegRoot RegRootOf(uninstall::Root root);
// The default view is the 64-bit one for a 64-bit engine.
[[nodiscard]] RegView RegViewOf(uninstall::ViewMark mark, bool is64BitEngine);

struct RegValue {
  uint32_t type = 0;  // REG_SZ 1, REG_EXPAND_SZ 2, REG_BINARY 3, REG_DWORD 4, REG_MULTI_SZ 7, REG_QWORD 11
  std::vector<unsigned char> data;
};

constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegMultiSz = 7;
constexpr uint32_t kRegQword = 11;

// A value's data as text, whatever its type: strings as stored (not
// expanded), REG_DWORD and REG_QWORD in unsigned decimal, the strings of a
// REG_MULTI_SZ one a line (CR LF), anything else as hexadecimal bytes.
[[nodiscard]] std::wstring RegValueText(const RegValue& value);

class RegKey {
 public:
  RegKey();
  ~RegKey();
  RegKey(RegKey&&) noexcept;
  RegKey& operator=(RegKey&&) noexcept;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  // Opens an existing key (read-only, or with full access).
  [[nodiscard]] bool Open(RegRoot root, const std::wstring& path, RegView view, bool fullAccess);
  // Opens or creates the key and its missing parents with full access.
  [[nodiscard]] bool Create(RegRoot root, const std::wstring& path, RegView view, bool* created = nullptr);
  [[nodiscard]] bool IsOpen() const;
  void Close();

  [[nodiscard]] bool ValueExists(const std::wstring& name) const;
  [[nodiscard]] std::optional<RegValue> ReadValue(const std::wstring& name) const;
  // REG_SZ and REG_EXPAND_SZ (not expanded).
  [[nodiscard]] std::optional<std::wstring> ReadString(const std::wstring& name) const;
  [[nodiscard]] std::optional<uint32_t> ReadDword(const std::wstring& name) const;
  // Any type as text (RegValueText).
  [[nodiscard]] std::optional<std::wstring> ReadAsText(const std::wstring& name) const;

  [[nodiscard]] bool WriteString(const std::wstring& name, const std::wstring& value, bool expandable = false);
  [[nodiscard]] bool WriteDword(const std::wstring& name, uint32_t value);
  [[nodiscard]] bool WriteBinary(const std::wstring& name, const std::vector<unsigned char>& data);
  [[nodiscard]] bool WriteValue(const std::wstring& name, const RegValue& value);
  [[nodiscard]] bool DeleteValue(const std::wstring& name);

  [[nodiscard]] std::vector<std::wstring> SubKeyNames() const;
  [[nodiscard]] std::vector<std::wstring> ValueNames() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

[[nodiscard]] bool RegKeyExists(RegRoot root, const std::wstring& path, RegView view);
// Deletes the key with all its subkeys; true when it is gone afterwards. (Not
// named RegDeleteTree / RegCopyTree: windows.h turns those into macros.)
[[nodiscard]] bool DeleteKeyTree(RegRoot root, const std::wstring& path, RegView view);
// Copies a key with its values and subkeys to a new path.
[[nodiscard]] bool CopyKeyTree(RegRoot root, const std::wstring& from, const std::wstring& to, RegView view);
// Deletes the key only when it has neither values nor subkeys.
[[nodiscard]] bool RegDeleteKeyIfEmpty(RegRoot root, const std::wstring& path, RegView view);

}  // namespace ek::platform
