// The entries of the uninstall information file, read and checked before the
// uninstaller acts on them. The file may be damaged or written by someone
// else, so every entry is validated: a path must be absolute and plain, a
// registry entry must name one of the four roots and a clean key path.
// Pure: no Win32 calls.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ini_document.h"
#include "platform/registry.h"

namespace ek::uninstall {

// An absolute file-system path: "X:\..." or "\\server\share\...", without
// "." or ".." components, wildcards, stream names, device prefixes, empty
// components or components that Windows would silently shorten (trailing
// dots and blanks).
bool IsSafePath(std::wstring_view path);
// The same, and not a drive root or the root of a share.
bool IsSafeFolder(std::wstring_view path);
// Whether `inner` lies below `outer` (both backslash paths, letters ignoring case).
bool IsBelow(std::wstring_view inner, std::wstring_view outer);
// Number of path components after the drive or share ("C:\a\b" has 2).
size_t PathDepth(std::wstring_view path);

// The first character of a registry entry: the view the record asked for.
enum class ViewMark { View32, View64, Default };

struct RegistryEntry {
  ViewMark mark = ViewMark::Default;
  platform::RegRoot root = platform::RegRoot::CurrentUser;
  std::wstring key;        // below the root, without leading or trailing "\"
  std::wstring valueName;  // [RegistryValues] only; empty: the default value
};
// "DHKEY_CURRENT_USER\Software\Vendor"; nothing when damaged.
std::optional<RegistryEntry> ParseRegistryKeyEntry(std::wstring_view text);
// "DHKEY_CURRENT_USER\Software\Vendor*?Name"; nothing when damaged.
std::optional<RegistryEntry> ParseRegistryValueEntry(std::wstring_view text);
// What a list may do to a key of Windows, whatever it says: the first level
// below a root and keys such as Software\Classes or the environment are
// never deleted; shared keys that programs write into (...\CurrentVersion\Run,
// App Paths, the Fonts key) go only when an installation made them and they
// are empty again; every other key goes with its subkeys.
enum class KeyGuard { None, UnlessEmpty, Never };
KeyGuard GuardOf(platform::RegRoot root, std::wstring_view key);
// Keys below Software\Classes that Windows keeps apart for 32-bit programs;
// every other key there is one key for both views.
bool IsSharedClassesKey(platform::RegRoot root, std::wstring_view key);
// A program identifier: a key right below Software\Classes, not an extension.
bool IsProgIdKey(platform::RegRoot root, std::wstring_view key);
// Below ...\CurrentVersion\Uninstall\: the product's registration.
bool IsRegistrationKey(std::wstring_view key);

struct IniValueEntry {
  std::wstring file, section, key;
};
std::optional<IniValueEntry> ParseIniValueEntry(std::wstring_view text);

struct EnvironmentEntry {
  wchar_t kind = L'D';  // "W" overwritten or removed, "U" part added, "D" created
  bool system = false;  // scope letter "S"; "U" is the user's environment
  std::wstring name;
  std::wstring text;  // the old value ("W") or the added part ("U")
};
std::optional<EnvironmentEntry> ParseEnvironmentEntry(std::wstring_view text);

struct ExecEntry {
  std::wstring command, parameters;
  int show = 1;  // SW_SHOWNORMAL, SW_SHOWMAXIMIZED, SW_SHOWMINIMIZED or SW_HIDE
  bool wait = false;
  bool elevate = false;
};
std::optional<ExecEntry> ParseExecEntry(std::wstring_view text);

// Removes the first run of ";"-separated items equal to `part` (letters
// ignoring case) together with one separator, so that an append or prepend
// is undone and every other character of the list stays; nothing when the
// part is not in the list.
std::optional<std::wstring> RemoveListPart(std::wstring_view list, std::wstring_view part);

// A [Messages] text: "%s" becomes the product name, "%n" a line break.
std::wstring FormatMessageText(std::wstring_view text, std::wstring_view name);

// The values of a list section in the order of their numbers; keys that are
// not numbers are ignored, an emptied value is kept as an empty text.
std::vector<std::wstring> ListValues(const IniDocument& doc, std::wstring_view section);

}  // namespace ek::uninstall
