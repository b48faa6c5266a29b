// Missing folders of a path, made one level at a time so that each one the
// installation creates can be recorded for the uninstaller.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace ek {

// Index where the scan for folder levels starts: after "X:\", or after the
// server name of "\\server\".
size_t FolderScanStart(const std::wstring& path);
// Creates every missing folder before a "\" of the path from `start` on and
// calls `created` for each right after it exists. Returns the folder that
// could not be created, or nothing when all exist now.
std::optional<std::wstring> CreateMissingFolders(const std::wstring& path, size_t start,
                                                 const std::function<void(const std::wstring&)>& created);

}  // namespace ek
