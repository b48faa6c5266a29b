// What a name may look like before it is joined to a folder on Windows. The
// names come from archives and information files that may have been made by
// anybody, so a name that Windows would read differently from how it is
// written is refused rather than repaired. Pure.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace ek {

// A name that Windows opens as a device in every folder: CON, PRN, AUX, NUL,
// COM0 to COM9, LPT0 to LPT9 (also with the superscript digits), CONIN$,
// CONOUT$ and CLOCK$, in any case, also followed by an extension or blanks
// ("aux.txt", "NUL .log").
[[nodiscard]] bool IsDeviceName(std::wstring_view component);

// One component of a path that means exactly what it says: not empty, no
// separator, drive or stream colon, wildcard or control code, no trailing
// dot or blank (Windows drops them, so "a." and "a" would be one file and
// "... " would climb), and not a device name.
[[nodiscard]] bool IsPlainPathComponent(std::wstring_view component);

// Where the components of an absolute path start: after "X:\" or after
// "\\server\share\" ("/" counts as "\" too), the server and share being plain
// names; npos for anything else: relative paths, "X:" without a separator,
// and the device namespaces "\\?\" and "\\.\".
[[nodiscard]] size_t AbsolutePathRoot(std::wstring_view path);
// The components after that root (none for a root); one trailing separator
// ends the path without an empty component.
[[nodiscard]] std::vector<std::wstring_view> PathComponents(std::wstring_view path);
// An absolute path whose components are all plain. "." and ".." are allowed
// only with `dots` (Windows folds them away before the path is used).
[[nodiscard]] bool IsPlainAbsolutePath(std::wstring_view path, bool dots = false);

}  // namespace ek
