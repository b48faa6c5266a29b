// [Registry] records and the engine-made Run and App Paths entries.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/uninstall_entries.h"
#include "platform/registry.h"

namespace ek {

// The fields of a record with variables expanded; the flags and the type are
// upper-cased.
struct RegistryRecord {
  std::wstring root;  // upper-cased, as written ("HKLM", "HKEY_DEFAULT", ...)
  std::wstring key;
  std::wstring name;
  std::wstring type;
  std::wstring data;
  bool overwrite = false;
  bool record = false;
  std::wstring view;
};
// A [Registry] record of seven fields; nothing when it does not split into
// seven fields or its key has no "\" after the root.
std::optional<RegistryRecord> ParseRegistryRecord(std::wstring_view record);
// A value the setup writes itself (the Run and App Paths entries, the
// compatibility entry of a shortcut): REG_SZ, overwritten, recorded for the
// uninstaller, in the default view; the key path, name and data are expanded
// like those of a configured record.
std::optional<RegistryRecord> SetupRegistryValue(std::wstring_view keyPath, std::wstring_view name,
                                                 std::wstring_view data);

// Writes one registry value; false only when the user, asked after a
// failure, chose not to go on.
bool ApplyRegistryRecord(const RegistryRecord& record);
// The same for a configured record; a record that cannot be read is skipped.
bool ApplyRegistryRecord(std::wstring_view record);

// Where a record writes: the root after the short names, HKEY_DEFAULT and
// the redirection of machine-wide keys for a user who installs for himself
// without rights. Nothing for a root the engine does not know.
struct RegistryTarget {
  uninstall::Root root = uninstall::Root::CurrentUser;
  std::wstring key;
};
std::optional<RegistryTarget> MapRegistryRoot(std::wstring_view root, std::wstring_view key, bool allUsers,
                                              bool isAdmin);
// The view field: "32-BIT" and "64-BIT" name a view, anything else is the
// default view. The uninstall entries carry the same view as their mark.
uninstall::ViewMark ViewMarkOf(std::wstring_view view);
platform::RegView RegistryViewOf(std::wstring_view view, bool is64BitEngine);

// REG_DWORD data: a decimal or "$"/"0x" hexadecimal 64-bit number whose low
// 32 bits are stored.
std::optional<uint32_t> ParseDwordData(std::wstring_view data);
// REG_BINARY data: hexadecimal pairs, each followed by one separator of any
// kind ("0A,1B,FF"); a single character left at the end is ignored.
std::optional<std::vector<unsigned char>> ParseBinaryData(std::wstring_view data);

}  // namespace ek
