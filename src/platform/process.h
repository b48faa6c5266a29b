// Starting programs through the shell, and finding or ending processes.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace ek::platform {

using WindowHandle = void*;

constexpr int kSwHide = 0;
constexpr int kSwShowNormal = 1;
constexpr int kSwShowMinimized = 2;
constexpr int kSwShowMaximized = 3;
constexpr int kSwShow = 5;
constexpr int kSwShowMinNoActive = 7;
constexpr uint32_t kStillActive = 259;

struct ShellStartRequest {
  WindowHandle owner = nullptr;
  std::wstring file;
  std::wstring parameters;
  int show = kSwShowNormal;
  bool wait = false;
  bool elevate = false;  // verb "runas"
};

// ShellExecuteExW. When waiting, `poll` runs between reads of the exit code
// (it pumps messages and may sleep); returning false ends the wait early,
// which reports kStillActive. Returns whether the shell accepted the start.
[[nodiscard]] bool ShellStart(const ShellStartRequest& request, const std::function<bool()>& poll, uint32_t* exitCode);

// ShellExecuteW with the default verb (or the one given); result not examined.
void ShellOpen(WindowHandle owner, const std::wstring& verb, const std::wstring& file, const std::wstring& parameters,
               int show);

// First process whose executable name equals the file-name part (upper-cased).
[[nodiscard]] std::optional<uint32_t> FindProcessByExeName(const std::wstring& fileName);
[[nodiscard]] bool TerminateProcessById(uint32_t pid);

// CreateProcess of a full command line, waiting for its end; for companions
// that must not go through the shell. Returns the exit code.
[[nodiscard]] std::optional<uint32_t> RunAndWait(const std::wstring& commandLine, bool hidden);

}  // namespace ek::platform
