#include "core/setup_log.h"
#include "base/result.h"

#include "core/command_line.h"
#include "core/setup_state.h"
#include "base/text.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/shell.h"
#include "platform/system.h"

namespace ek {

void WriteLog(std::wstring_view line) { State().SetupLog.emplace_back(line); }

std::wstring LogFilePath() { return GetTempFolder() + L"\\" + std::wstring(kLogFileName); }

bool SaveLogFile(const std::wstring& path, const std::vector<std::wstring>& lines) {
  std::wstring text;
  for (const auto& l : lines) {
    text += l;
    text += L"\r\n";
  }
  return platform::WriteTextFile(path, text, TextEncoding::Utf8Bom);
}

std::vector<std::wstring> LoadLogFile(const std::wstring& path, bool* ok) {
  std::vector<std::wstring> lines;
  bool read = false;
  DecodedText d = platform::ReadTextFile(path, TextEncoding::Utf8, &read);
  if (ok) *ok = read;
  if (!read) return lines;
  size_t pos = 0;
  const std::wstring& t = d.text;
  while (pos < t.size()) {
    size_t end = t.find_first_of(L"\r\n", pos);
    if (end == std::wstring::npos) end = t.size();
    lines.push_back(t.substr(pos, end - pos));
    if (end < t.size() && t[end] == L'\r' && end + 1 < t.size() && t[end + 1] == L'\n') ++end;
    pos = end + 1;
  }
  return lines;
}

void DeleteFolderTree(const std::wstring& folder) {
  auto& s = State();
  for (const auto& e : platform::ListDirectory(folder)) {
    const std::wstring path = folder + L"\\" + e.name;
    if (e.isDirectory) {
      DeleteFolderTree(path);
      continue;
    }
    if (platform::DeleteFileAt(path)) continue;
    if (EqualsNoCase(e.name, L"Updater.exe")) {
      platform::ShellOpen(nullptr, L"", L"cmd.exe", L"/C taskkill /F /IM Updater.exe /T", platform::kSwHide);
    } else if (platform::IsReadOnly(path)) {
      Ignore(platform::SetAttributes(path, platform::kAttrNormal));
    }
    platform::SleepMs(1000);
    if (platform::DeleteFileAt(path)) continue;
    // A font registered for the window keeps its file locked until removed.
    for (int i = 0; i < 4 && !s.UiFontFile.empty() && platform::FileExists(s.UiFontFile); ++i) {
      platform::SleepMs(1000);
      Ignore(platform::DeleteFileAt(s.UiFontFile));
    }
  }
  // What could not go stays; the folder then stays too.
  Ignore(platform::RemoveDirectoryAt(folder));
}

void FinalCleanup() {
  auto& s = State();
  const std::wstring logPath = LogFilePath();
  // Only our own folder is ever deleted.
  if (s.SetupTempDir.find(L"EKTMP") != std::wstring::npos && platform::DirectoryExists(s.SetupTempDir)) {
    if (!s.UiFontFile.empty() && platform::FileExists(s.UiFontFile)) {
      if (platform::RemoveFont(s.UiFontFile)) platform::BroadcastFontChange();
    }
    DeleteFolderTree(s.SetupTempDir);
    if (platform::DirectoryExists(s.SetupTempDir)) Ignore(platform::RemoveDirectoryAt(s.SetupTempDir));
    if (platform::FileExists(logPath)) Ignore(platform::DeleteFileAt(logPath));
  }
  // The log is saved even when start-up stopped before its folder existed:
  // it is the only account of a failed silent run.
  if (FindParam(L"/L") != 0 || (s.HadErrors && s.SaveLog)) {
    WriteLog(std::wstring(L"InstallationCompleted=") + BoolText(s.InstallationCompleted));
    WriteLog(std::wstring(L"CompletedWithError=") + BoolText(s.HadErrors));
    SaveLogFile(logPath, s.SetupLog);
  }
}

void ExitSetup(int code) {
  ReleaseDocuments();
  WriteLog(L"ExitCode=" + ToText(code));
  FinalCleanup();
  platform::ExitNow(static_cast<uint32_t>(code));
}

}  // namespace ek
