// argdump: a stand-in for the companion programs (updater, downloader,
// extractor, uninstaller, launcher). It appends its own file name and command
// line to argdump.log in the folder named by EK_ARGDUMP_DIR (or its own
// folder) and exits with the code in EK_ARGDUMP_EXIT (default 0), or with 2
// when it is named Downloader.exe. With EK_ARGDUMP_CWD=1 the line also holds
// its current directory ("\tcwd=<folder>"); with EK_ARGDUMP_SLEEP it stays
// that many milliseconds before it ends (a program that is running).
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/text.h"
#include "platform/file_system.h"
#include "platform/system.h"

int wmain() {
  using namespace ek;
  const std::wstring self = platform::ModulePath();
  std::wstring dir = platform::EnvironmentValue(L"EK_ARGDUMP_DIR");
  if (dir.empty()) dir = FolderPart(self);
  std::wstring line = FileNamePart(self) + L"\t" + platform::CommandLineFull();
  if (platform::EnvironmentValue(L"EK_ARGDUMP_CWD") == L"1") line += L"\tcwd=" + platform::CurrentDirectory();
  line += L"\r\n";
  FILE* f = _wfopen((dir + L"\\argdump.log").c_str(), L"ab");
  if (f) {
    std::string bytes = WideToUtf8(line);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  const std::wstring sleep = platform::EnvironmentValue(L"EK_ARGDUMP_SLEEP");
  if (!sleep.empty()) platform::SleepMs(static_cast<uint32_t>(ParseInt32Or(sleep, 0)));
  const std::wstring code = platform::EnvironmentValue(L"EK_ARGDUMP_EXIT");
  if (!code.empty()) return ParseInt32Or(code, 0);
  return EqualsNoCase(FileNamePart(self), L"Downloader.exe") ? 2 : 0;
}
