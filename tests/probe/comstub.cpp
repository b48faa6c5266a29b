// comstub.dll: a stand-in for a COM server. Registering it writes the key
// HKCU\Software\EkTest\ComStub\<its file name>; unregistering removes it, so
// the tests can see what regsvr32 did.
#include <windows.h>

#include <string>

namespace {

HMODULE g_module = nullptr;

std::wstring KeyPath() {
  wchar_t path[MAX_PATH];
  DWORD n = ::GetModuleFileNameW(g_module, path, MAX_PATH);
  std::wstring file(path, n);
  return L"Software\\EkTest\\ComStub\\" + file.substr(file.find_last_of(L'\\') + 1);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllRegisterServer() {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, KeyPath().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return E_FAIL;
  ::RegCloseKey(key);
  return S_OK;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllUnregisterServer() {
  const LSTATUS rc = ::RegDeleteKeyW(HKEY_CURRENT_USER, KeyPath().c_str());
  return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? S_OK : E_FAIL;
}
