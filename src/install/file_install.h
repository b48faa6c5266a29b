// The file stage: every [Files] record copied out of the data archive, with
// overwrite modes, component exclusions, in-use handling and error dialogs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ek {

void InstallFiles();
// Whether newFile is to replace installedFile: by version resources when both
// have one, otherwise by the archive entry's time against the file's.
bool IsNewerFile(const std::wstring& newFile, const std::wstring& installedFile, std::optional<uint64_t> entryTime);
// Empties the [Others] records that name the path (in memory).
void DropOthersEntries(const std::wstring& path);
// Unpacks the uninstaller entry for a roll-back, when the package has one,
// and releases the data archive.
void UnpackUninstallerForRollback();
// Closes the copy of the data archive if the file stage holds it open: the
// ways out of an installation end the process without unwinding, and an
// open copy could not be deleted with the temporary folder.
void ReleaseDataArchive();
// Unpacks the entry of a record number from a data archive to a file.
[[nodiscard]] bool UnpackArchiveEntry(const std::wstring& archivePath, size_t index, const std::wstring& dest);

}  // namespace ek
