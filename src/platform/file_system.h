// Files and folders. Paths are passed as the caller gives them; callers apply
// ExtendedPath where a path may be long.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"
#include "base/byte_stream.h"

namespace ek::platform {

[[nodiscard]] bool FileExists(const std::wstring& path);       // a file, not a folder
[[nodiscard]] bool DirectoryExists(const std::wstring& path);
[[nodiscard]] bool PathExists(const std::wstring& path);       // file or folder
[[nodiscard]] bool CreateDirectoryOne(const std::wstring& path);  // one level
[[nodiscard]] bool CreateDirectoryTree(const std::wstring& path);  // all missing parents
[[nodiscard]] bool DeleteFileAt(const std::wstring& path);
[[nodiscard]] bool RemoveDirectoryAt(const std::wstring& path);
[[nodiscard]] bool CopyFileTo(const std::wstring& from, const std::wstring& to, bool replace);
[[nodiscard]] std::optional<uint32_t> GetAttributes(const std::wstring& path);
[[nodiscard]] bool SetAttributes(const std::wstring& path, uint32_t attributes);
[[nodiscard]] bool IsReadOnly(const std::wstring& path);

constexpr uint32_t kAttrReadOnly = 0x01;
constexpr uint32_t kAttrNormal = 0x80;

// Times as FILETIME ticks (100 ns since 1601, UTC).
[[nodiscard]] std::optional<uint64_t> LastWriteTime(const std::wstring& path);
[[nodiscard]] bool SetLastWriteTime(const std::wstring& path, uint64_t fileTime);
[[nodiscard]] bool SetCreationTimeNow(const std::wstring& path);
// The last change of the file's data or attributes (also of its times): a
// moment that setting the last-write time cannot move back.
[[nodiscard]] std::optional<uint64_t> ChangeTime(const std::wstring& path);
// An MS-DOS date and time taken as local time, as a UTC FILETIME; nothing
// when the stored value is not a valid date.
[[nodiscard]] std::optional<uint64_t> DosTimeToFileTime(uint16_t dosDate, uint16_t dosTime);

struct DirEntry {
  std::wstring name;
  bool isDirectory = false;
  uint32_t attributes = 0;
};
// Entries of a folder matching a pattern (all attributes), without "." and "..".
[[nodiscard]] std::vector<DirEntry> ListDirectory(const std::wstring& folder, const std::wstring& pattern = L"*");

[[nodiscard]] std::optional<std::string> ReadWholeFile(const std::wstring& path);
[[nodiscard]] bool WriteWholeFile(const std::wstring& path, std::string_view bytes);

// A file opened for reading or writing; closes itself.
class File {
 public:
  File();
  ~File();
  File(File&&) noexcept;
  File& operator=(File&&) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Readers may share; writers are denied while it is open.
  [[nodiscard]] bool OpenRead(const std::wstring& path);
  // Creates or replaces the file.
  [[nodiscard]] bool Create(const std::wstring& path);
  // Opens an existing file for reading and writing in place.
  [[nodiscard]] bool OpenReadWrite(const std::wstring& path);
  [[nodiscard]] bool IsOpen() const;
  void Close();

  [[nodiscard]] uint64_t Size() const;
  [[nodiscard]] bool Seek(uint64_t offset);
  // Reads up to len bytes at the current position; the count read.
  [[nodiscard]] std::optional<size_t> Read(void* buffer, size_t len);
  [[nodiscard]] bool ReadAt(uint64_t offset, void* buffer, size_t len);
  [[nodiscard]] bool Write(const void* data, size_t len);
  // The last-write time and the attributes through the open handle, in one
  // call (nothing given: left as it is); cheaper than two calls by path.
  [[nodiscard]] bool SetTimeAndAttributes(std::optional<uint64_t> lastWrite, std::optional<uint32_t> attributes);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// A text file written in UTF-8 piece by piece through a buffer of bounded
// size: a large text is never held whole a second time.
class Utf8FileWriter {
 public:
  // Creates or replaces the file; with the byte-order mark when asked.
  [[nodiscard]] bool Create(const std::wstring& path, bool byteOrderMark);
  void Write(std::wstring_view text);
  // Writes what is left; false when the file could not be created or any
  // write failed.
  [[nodiscard]] bool Close();

 private:
  [[nodiscard]] bool Flush();
  File file_;
  std::string buffer_;
  bool ok_ = false;
};

// A file as a ZIP byte source.
class FileByteSource : public ByteSource {
 public:
  explicit FileByteSource(File& file) : file_(file) {}
  [[nodiscard]] uint64_t Size() const override { return file_.Size(); }
  [[nodiscard]] bool ReadAt(uint64_t offset, void* buffer, size_t len) override { return file_.ReadAt(offset, buffer, len); }

 private:
  File& file_;
};

// Writes into a file.
class FileByteSink : public ByteSink {
 public:
  explicit FileByteSink(File& file) : file_(file) {}
  [[nodiscard]] bool Write(const void* data, size_t len) override { return file_.Write(data, len); }

 private:
  File& file_;
};

// The four-part file version of a version resource ("1.2.3.4"); empty when
// the file has none.
[[nodiscard]] std::wstring FileVersionText(const std::wstring& path);

// The running executable's full path.
[[nodiscard]] std::wstring ModulePath();
[[nodiscard]] std::wstring CurrentDirectory();
[[nodiscard]] bool SetCurrentDir(const std::wstring& path);
// GetTempPathW without the trailing backslash; empty on failure.
[[nodiscard]] std::wstring TempFolder();
// Long form of a path; empty when it cannot be converted.
[[nodiscard]] std::wstring LongPathName(const std::wstring& path, bool* failed = nullptr);
// Bytes free to the caller on the drive of "X:\"; nothing on failure.
[[nodiscard]] std::optional<uint64_t> FreeBytesForCaller(const std::wstring& root);

// Text files: the ANSI code page for files without a byte-order mark.
[[nodiscard]] std::wstring AnsiToWide(std::string_view bytes);
[[nodiscard]] std::string WideToAnsi(std::wstring_view text);
[[nodiscard]] DecodedText ReadTextFile(const std::wstring& path, TextEncoding fallback, bool* ok = nullptr);
[[nodiscard]] bool WriteTextFile(const std::wstring& path, std::wstring_view text, TextEncoding encoding);

}  // namespace ek::platform
