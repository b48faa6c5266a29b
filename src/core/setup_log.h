// The setup log, the ways of ending the process, and the clean-up.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ek {

inline constexpr std::wstring_view kLogFileName = L"EKSETUPLOG.TXT";

void WriteLog(std::wstring_view line);
// EKSETUPLOG.TXT in the user's temporary folder.
std::wstring LogFilePath();
// The log file is UTF-8 with a byte-order mark, one line per entry; the same
// pair of routines writes it and reads it back.
bool SaveLogFile(const std::wstring& path, const std::vector<std::wstring>& lines);
std::vector<std::wstring> LoadLogFile(const std::wstring& path, bool* ok = nullptr);

// Frees the documents, logs "ExitCode=", cleans up and exits.
[[noreturn]] void ExitSetup(int code);
// Removes SetupTempDir (only a path containing "EKTMP") and saves the log when
// asked to or when the run had errors.
void FinalCleanup();
void DeleteFolderTree(const std::wstring& folder);

}  // namespace ek
