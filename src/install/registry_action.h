// [Registry] records and the engine-made Run and App Paths entries.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace ek {

// Writes one registry value of a seven-field record; false only when the user,
// asked after a failure, chose not to go on.
bool ApplyRegistryRecord(std::wstring_view record);

// The fields of a record with variables expanded; the flags and the type are
// upper-cased. Nothing when the record does not split into seven fields or
// its key has no "\" after the root.
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
std::optional<RegistryRecord> ParseRegistryRecord(std::wstring_view record);

// Where a record writes: the root after the short names, HKEY_DEFAULT and
// the redirection of machine-wide keys for a user who installs for himself
// without rights. Nothing for a root the engine does not know.
struct RegistryTarget {
  platform::RegRoot root = platform::RegRoot::CurrentUser;
  std::wstring rootName;  // full name, as the uninstall lists write it
  std::wstring key;
};
std::optional<RegistryTarget> MapRegistryRoot(std::wstring_view root, std::wstring_view key, bool allUsers,
                                              bool isAdmin);
platform::RegView RegistryViewOf(std::wstring_view view, bool is64BitEngine);
// First letter of the view field: "3", "6" or "D"; records without a view
// are marked like the default view.
wchar_t ViewMarkOf(std::wstring_view view);

// REG_DWORD data: a decimal or "$"/"0x" hexadecimal 64-bit number whose low
// 32 bits are stored.
std::optional<uint32_t> ParseDwordData(std::wstring_view data);
// REG_BINARY data: hexadecimal pairs, each followed by one separator of any
// kind ("0A,1B,FF"); a single character left at the end is ignored.
std::optional<std::vector<unsigned char>> ParseBinaryData(std::wstring_view data);

}  // namespace ek
