#include "platform/file_system.h"

#include <windows.h>

#include <algorithm>

#include "platform/handles.h"
#include "platform/system_library.h"

namespace ek::platform {

bool FileExists(const std::wstring& path) {
  DWORD a = ::GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::wstring& path) {
  DWORD a = ::GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool CreateDirectoryOne(const std::wstring& path) { return ::CreateDirectoryW(path.c_str(), nullptr) != 0; }

bool CreateDirectoryTree(const std::wstring& path) {
  if (path.empty()) return false;
  if (DirectoryExists(path)) return true;
  std::wstring p = StripTrailingBackslash(path);
  size_t cut = p.find_last_of(L'\\');
  if (cut != std::wstring::npos && cut > 0) {
    std::wstring parent = p.substr(0, cut);
    if (!(parent.size() == 2 && parent[1] == L':') && !DirectoryExists(parent) && !CreateDirectoryTree(parent))
      return false;
  }
  return CreateDirectoryOne(p) || DirectoryExists(p);
}

bool DeleteFileAt(const std::wstring& path) { return ::DeleteFileW(path.c_str()) != 0; }
bool RemoveDirectoryAt(const std::wstring& path) { return ::RemoveDirectoryW(path.c_str()) != 0; }

bool CopyFileTo(const std::wstring& from, const std::wstring& to, bool replace) {
  return ::CopyFileW(from.c_str(), to.c_str(), replace ? FALSE : TRUE) != 0;
}

std::optional<uint32_t> GetAttributes(const std::wstring& path) {
  DWORD a = ::GetFileAttributesW(path.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  return a;
}

bool SetAttributes(const std::wstring& path, uint32_t attributes) {
  return ::SetFileAttributesW(path.c_str(), attributes) != 0;
}

bool IsReadOnly(const std::wstring& path) {
  auto a = GetAttributes(path);
  return a && (*a & FILE_ATTRIBUTE_READONLY);
}

std::optional<uint64_t> LastWriteTime(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA d;
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &d)) return std::nullopt;
  return (static_cast<uint64_t>(d.ftLastWriteTime.dwHighDateTime) << 32) | d.ftLastWriteTime.dwLowDateTime;
}

namespace {
FILETIME ToFileTime(uint64_t t) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(t);
  ft.dwHighDateTime = static_cast<DWORD>(t >> 32);
  return ft;
}
}  // namespace

bool SetLastWriteTime(const std::wstring& path, uint64_t fileTime) {
  UniqueFile h(::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!h) return false;
  FILETIME ft = ToFileTime(fileTime);
  return ::SetFileTime(h.get(), nullptr, nullptr, &ft) != 0;
}

bool SetCreationTimeNow(const std::wstring& path) {
  UniqueFile h(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!h) return false;
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  return ::SetFileTime(h.get(), &now, nullptr, nullptr) != 0;
}

std::optional<uint64_t> ChangeTime(const std::wstring& path) {
  UniqueFile h(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  FILE_BASIC_INFO info{};
  if (!h || !::GetFileInformationByHandleEx(h.get(), FileBasicInfo, &info, sizeof info)) return std::nullopt;
  return static_cast<uint64_t>(info.ChangeTime.QuadPart);
}

std::optional<uint64_t> DosTimeToFileTime(uint16_t dosDate, uint16_t dosTime) {
  FILETIME local, utc;
  if (!::DosDateTimeToFileTime(dosDate, dosTime, &local)) return std::nullopt;
  // DosDateTimeToFileTime accepts some impossible dates; check the parts.
  const unsigned month = (dosDate >> 5) & 0x0F, day = dosDate & 0x1F;
  const unsigned hour = dosTime >> 11, minute = (dosTime >> 5) & 0x3F, sec2 = dosTime & 0x1F;
  if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59 || sec2 > 29) return std::nullopt;
  if (!::LocalFileTimeToFileTime(&local, &utc)) return std::nullopt;
  return (static_cast<uint64_t>(utc.dwHighDateTime) << 32) | utc.dwLowDateTime;
}

std::vector<DirEntry> ListDirectory(const std::wstring& folder, const std::wstring& pattern) {
  std::vector<DirEntry> out;
  WIN32_FIND_DATAW fd;
  std::wstring search = folder + L"\\" + pattern;
  UniqueFind h(::FindFirstFileW(search.c_str(), &fd));
  if (!h) return out;
  do {
    std::wstring name = fd.cFileName;
    if (name == L"." || name == L"..") continue;
    out.push_back(DirEntry{name, (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0, fd.dwFileAttributes});
  } while (::FindNextFileW(h.get(), &fd));
  return out;
}

std::optional<std::string> ReadWholeFile(const std::wstring& path) {
  File f;
  if (!f.OpenRead(path)) return std::nullopt;
  uint64_t size = f.Size();
  if (size > (1ull << 31)) return std::nullopt;
  std::string data(static_cast<size_t>(size), '\0');
  if (size && !f.ReadAt(0, data.data(), data.size())) return std::nullopt;
  return data;
}

bool WriteWholeFile(const std::wstring& path, std::string_view bytes) {
  File f;
  if (!f.Create(path)) return false;
  return f.Write(bytes.data(), bytes.size());
}

struct File::Impl {
  UniqueFile handle;
};

File::File() : impl_(std::make_unique<Impl>()) {}
File::~File() = default;
File::File(File&&) noexcept = default;
File& File::operator=(File&&) noexcept = default;

bool File::OpenRead(const std::wstring& path) {
  impl_->handle.reset(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  return IsOpen();
}

bool File::Create(const std::wstring& path) {
  impl_->handle.reset(::CreateFileW(path.c_str(), GENERIC_WRITE | GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  return IsOpen();
}

bool File::OpenReadWrite(const std::wstring& path) {
  impl_->handle.reset(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return IsOpen();
}

bool File::IsOpen() const { return static_cast<bool>(impl_->handle); }
void File::Close() { impl_->handle.reset(); }

uint64_t File::Size() const {
  LARGE_INTEGER li;
  if (!IsOpen() || !::GetFileSizeEx(impl_->handle.get(), &li)) return 0;
  return static_cast<uint64_t>(li.QuadPart);
}

bool File::Seek(uint64_t offset) {
  LARGE_INTEGER li;
  li.QuadPart = static_cast<LONGLONG>(offset);
  return IsOpen() && ::SetFilePointerEx(impl_->handle.get(), li, nullptr, FILE_BEGIN);
}

std::optional<size_t> File::Read(void* buffer, size_t len) {
  if (!IsOpen()) return std::nullopt;
  size_t total = 0;
  auto* p = static_cast<unsigned char*>(buffer);
  while (total < len) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(len - total, 1u << 30));
    DWORD got = 0;
    if (!::ReadFile(impl_->handle.get(), p + total, chunk, &got, nullptr)) return std::nullopt;
    if (got == 0) break;
    total += got;
  }
  return total;
}

bool File::ReadAt(uint64_t offset, void* buffer, size_t len) {
  if (!Seek(offset)) return false;
  auto got = Read(buffer, len);
  return got && *got == len;
}

bool File::Write(const void* data, size_t len) {
  if (!IsOpen()) return false;
  const auto* p = static_cast<const unsigned char*>(data);
  while (len > 0) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(len, 1u << 30));
    DWORD put = 0;
    if (!::WriteFile(impl_->handle.get(), p, chunk, &put, nullptr) || put == 0) return false;
    p += put;
    len -= put;
  }
  return true;
}

bool Utf8FileWriter::Create(const std::wstring& path, bool byteOrderMark) {
  ok_ = file_.Create(path);
  buffer_.clear();
  if (byteOrderMark) buffer_ = "\xEF\xBB\xBF";
  return ok_;
}

void Utf8FileWriter::Write(std::wstring_view text) {
  if (!ok_) return;
  buffer_ += WideToUtf8(text);
  if (buffer_.size() >= 64 * 1024) ok_ = Flush();
}

bool Utf8FileWriter::Flush() {
  const bool written = buffer_.empty() || file_.Write(buffer_.data(), buffer_.size());
  buffer_.clear();
  return written;
}

bool Utf8FileWriter::Close() {
  if (ok_) ok_ = Flush();
  file_.Close();
  buffer_ = std::string();
  return ok_;
}

bool File::SetTimeAndAttributes(std::optional<uint64_t> lastWrite, std::optional<uint32_t> attributes) {
  if (!IsOpen()) return false;
  if (!lastWrite && !attributes) return true;
  FILE_BASIC_INFO info{};  // zero: the time or the attributes stay as they are
  if (lastWrite) info.LastWriteTime.QuadPart = static_cast<LONGLONG>(*lastWrite);
  if (attributes) info.FileAttributes = *attributes ? *attributes : FILE_ATTRIBUTE_NORMAL;
  return ::SetFileInformationByHandle(impl_->handle.get(), FileBasicInfo, &info, sizeof info) != 0;
}

std::wstring FileVersionText(const std::wstring& path) {
  // version.dll is not a known DLL: imported, it would be looked for beside
  // the setup file first.
  static const auto infoSize =
      SystemFunction<decltype(&::GetFileVersionInfoSizeW)>(L"version.dll", "GetFileVersionInfoSizeW");
  static const auto info = SystemFunction<decltype(&::GetFileVersionInfoW)>(L"version.dll", "GetFileVersionInfoW");
  static const auto query = SystemFunction<decltype(&::VerQueryValueW)>(L"version.dll", "VerQueryValueW");
  if (!infoSize || !info || !query) return std::wstring();
  DWORD handle = 0;
  DWORD size = infoSize(path.c_str(), &handle);
  if (size == 0) return std::wstring();
  std::vector<unsigned char> data(size);
  if (!info(path.c_str(), 0, size, data.data())) return std::wstring();
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT len = 0;
  if (!query(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &len) || !fixed || len < sizeof *fixed)
    return std::wstring();
  return std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(fixed->dwFileVersionMS)) +
         L"." + std::to_wstring(HIWORD(fixed->dwFileVersionLS)) + L"." + std::to_wstring(LOWORD(fixed->dwFileVersionLS));
}

std::wstring ModulePath() {
  std::wstring buf(MAX_PATH, L'\0');
  while (true) {
    DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return std::wstring();
    if (n < buf.size()) {
      buf.resize(n);
      return buf;
    }
    buf.resize(buf.size() * 2);
  }
}

std::wstring CurrentDirectory() {
  DWORD n = ::GetCurrentDirectoryW(0, nullptr);
  if (n == 0) return std::wstring();
  std::wstring buf(n, L'\0');
  n = ::GetCurrentDirectoryW(n, buf.data());
  buf.resize(n);
  return buf;
}

bool SetCurrentDir(const std::wstring& path) { return ::SetCurrentDirectoryW(path.c_str()) != 0; }

std::wstring TempFolder() {
  wchar_t buf[MAX_PATH + 1];
  DWORD n = ::GetTempPathW(MAX_PATH, buf);
  if (n == 0 || n > MAX_PATH) return std::wstring();
  std::wstring out(buf, n);
  return StripTrailingBackslash(out);
}

std::wstring LongPathName(const std::wstring& path, bool* failed) {
  if (failed) *failed = false;
  DWORD need = ::GetLongPathNameW(path.c_str(), nullptr, 0);
  if (need == 0) return std::wstring();
  std::wstring buf(need, L'\0');
  DWORD n = ::GetLongPathNameW(path.c_str(), buf.data(), need);
  if (n == 0 || n >= need) {
    if (failed) *failed = true;
    return path;
  }
  buf.resize(n);
  return buf;
}

std::optional<uint64_t> FreeBytesForCaller(const std::wstring& root) {
  ULARGE_INTEGER avail, total, freeAll;
  if (!::GetDiskFreeSpaceExW(root.c_str(), &avail, &total, &freeAll)) return std::nullopt;
  return avail.QuadPart;
}

std::wstring AnsiToWide(std::string_view bytes) {
  if (bytes.empty()) return std::wstring();
  int n = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
  return out;
}

std::string WideToAnsi(std::wstring_view text) {
  if (text.empty()) return std::string();
  int n = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

DecodedText ReadTextFile(const std::wstring& path, TextEncoding fallback, bool* ok) {
  auto bytes = ReadWholeFile(path);
  if (ok) *ok = bytes.has_value();
  if (!bytes) return DecodedText{std::wstring(), fallback};
  return DecodeText(*bytes, fallback, &AnsiToWide);
}

bool WriteTextFile(const std::wstring& path, std::wstring_view text, TextEncoding encoding) {
  return WriteWholeFile(path, EncodeText(text, encoding, &WideToAnsi));
}

}  // namespace ek::platform
