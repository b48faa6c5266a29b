// What the uninstaller may take away, whatever the information file says:
// keys of Windows stay, shared keys go only when empty, and a part added to a
// list variable is taken out again exactly. Pure: no Win32 calls.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/uninstall_entries.h"

namespace ek::uninstall {

// What a list may do to a key of Windows, whatever it says: the first level
// below a root and keys such as Software\Classes or the environment are
// never deleted; shared keys that programs write into (...\CurrentVersion\Run,
// App Paths, the Fonts key) go only when an installation made them and they
// are empty again; every other key goes with its subkeys.
enum class KeyGuard { None, UnlessEmpty, Never };
KeyGuard GuardOf(Root root, std::wstring_view key);
// Keys below Software\Classes that Windows keeps apart for 32-bit programs;
// every other key there is one key for both views.
bool IsSharedClassesKey(Root root, std::wstring_view key);
// A program identifier: a key right below Software\Classes, not an extension.
bool IsProgIdKey(Root root, std::wstring_view key);
// Below ...\CurrentVersion\Uninstall\: the product's registration.
bool IsRegistrationKey(std::wstring_view key);

// Removes the first run of ";"-separated items equal to `part` (letters
// ignoring case) together with one separator, so that an append or prepend
// is undone and every other character of the list stays; nothing when the
// part is not in the list.
std::optional<std::wstring> RemoveListPart(std::wstring_view list, std::wstring_view part);

}  // namespace ek::uninstall
