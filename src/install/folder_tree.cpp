#include "install/folder_tree.h"

#include "config/utilities.h"
#include "install/install_journal.h"
#include "platform/file_system.h"

namespace ek {

size_t FolderScanStart(const std::wstring& path) {
  if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') {
    const size_t p = path.find(L'\\', 2);
    return p == std::wstring::npos ? path.size() : p + 1;
  }
  return 3;
}

std::optional<std::wstring> CreateMissingFolders(const std::wstring& path, size_t start,
                                                 const std::function<void(const std::wstring&)>& created) {
  for (size_t p = start; p < path.size(); ++p) {
    if (path[p] != L'\\') continue;
    const std::wstring folder = path.substr(0, p);
    if (folder.empty() || platform::DirectoryExists(ExtendedPath(folder))) continue;
    // Named before it exists: a setup killed right after leaves no folder
    // that nobody knows about.
    JournalFolderAhead(folder);
    if (!platform::CreateDirectoryOne(ExtendedPath(folder))) return folder;
    if (created) created(folder);
  }
  return std::nullopt;
}

}  // namespace ek
