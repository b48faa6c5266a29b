#include "config/archive_extract.h"
#include "base/result.h"

#include "base/text.h"
#include "config/utilities.h"
#include "platform/file_system.h"

namespace ek {

ExtractResult ExtractArchiveToFolder(const std::wstring& archivePath, const std::wstring& folder,
                                     uint64_t maxTotalBytes) {
  ExtractResult r;
  platform::File archive;
  if (!archive.OpenRead(ExtendedPath(archivePath))) {
    r.error = ZipError::ReadFailed;
    r.detail = archivePath;
    return r;
  }
  platform::FileByteSource source(archive);
  ZipReader zip;
  r.error = zip.Open(source);
  if (!r.ok()) return r;
  uint64_t total = 0;
  for (const auto& e : zip.Entries()) {
    if (!e.safeName) {
      r.error = ZipError::UnsafeName;
      r.detail = e.name;
      return r;
    }
    // Declared sizes may be anything up to 2^64 each: the sum must not wrap.
    total = e.uncompressedSize > UINT64_MAX - total ? UINT64_MAX : total + e.uncompressedSize;
  }
  if (maxTotalBytes && total > maxTotalBytes) {
    r.error = ZipError::Corrupt;
    r.detail = L"declared size too large";
    return r;
  }
  const std::wstring base = StripTrailingBackslash(folder);
  for (const auto& e : zip.Entries()) {
    const std::wstring target = base + L"\\" + StripTrailingBackslash(e.name);
    if (e.isDirectory) {
      if (!platform::CreateDirectoryTree(ExtendedPath(target))) {
        r.error = ZipError::WriteFailed;
        r.detail = target;
        return r;
      }
      continue;
    }
    const std::wstring parent = FolderPart(target);
    if (parent.size() > base.size() && !platform::CreateDirectoryTree(ExtendedPath(parent))) {
      r.error = ZipError::WriteFailed;
      r.detail = parent;
      return r;
    }
    platform::File out;
    if (!out.Create(ExtendedPath(target))) {
      r.error = ZipError::WriteFailed;
      r.detail = target;
      return r;
    }
    platform::FileByteSink sink(out);
    r.error = zip.Extract(e, sink);
    out.Close();
    if (!r.ok()) {
      Ignore(platform::DeleteFileAt(ExtendedPath(target)));  // no half-written file stays
      r.detail = e.name;
      return r;
    }
  }
  return r;
}

}  // namespace ek
