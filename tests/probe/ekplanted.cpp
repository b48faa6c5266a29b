// A DLL planted beside a program under the name of a DLL that Windows might
// load for it. Loading it leaves a marker beside it, "<its file name>.loaded",
// that names the program; the planting test looks for these markers.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t path[MAX_PATH + 16] = {};
  wchar_t program[MAX_PATH] = {};
  const DWORD n = ::GetModuleFileNameW(self, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return TRUE;
  ::lstrcatW(path, L".loaded");
  ::GetModuleFileNameW(nullptr, program, MAX_PATH);
  HANDLE f = ::CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    ::WriteFile(f, program, static_cast<DWORD>(::lstrlenW(program) * sizeof(wchar_t)), &written, nullptr);
    ::CloseHandle(f);
  }
  return TRUE;
}
