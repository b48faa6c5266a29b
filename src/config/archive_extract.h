// Unpacking a whole ZIP archive into a folder, safely: every name is checked
// before anything is written, and nothing lands outside the folder.
#pragma once

#include <cstdint>
#include <string>

#include "base/zip_reader.h"

namespace ek {

struct ExtractResult {
  ZipError error = ZipError::None;
  std::wstring detail;  // the entry or path concerned
  bool ok() const { return error == ZipError::None; }
};

// maxTotalBytes bounds the declared size of all entries together (0: no bound).
ExtractResult ExtractArchiveToFolder(const std::wstring& archivePath, const std::wstring& folder,
                                     uint64_t maxTotalBytes = 0);

}  // namespace ek
