// The network operations of the setup: a URL saved into a file, a URL read as
// text, and whether the Internet can be reached. Each waits on the window's
// thread with the window working: its messages keep flowing while the
// transfer runs on a thread of its own.
#pragma once

#include <string>

namespace ek {

// A transfer that hears nothing from the server for this long (no answer, no
// byte of the body) has failed.
inline constexpr unsigned kNetworkSilenceSeconds = 30;

// Saves the body of the URL into targetFile. True only when the server
// answered with a success status and the whole body (all the bytes it
// declared) was written. With showProgress the window shows the download
// (not in a silent run, not with -noshowdownload). An error status leaves an
// existing file untouched; a failure after the file was created leaves what
// was written.
[[nodiscard]] bool DownloadFile(const std::wstring& url, const std::wstring& targetFile, bool showProgress);

// The body of the URL as text: the system's ANSI code page unless it starts
// with a byte-order mark. Empty on any failure.
[[nodiscard]] std::wstring FetchUrlText(const std::wstring& url);

// Whether a probe address answers (one address when the language is Chinese).
[[nodiscard]] bool InternetAvailable();

}  // namespace ek
