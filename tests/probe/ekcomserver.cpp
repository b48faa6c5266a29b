// ekcomserver: a stand-in COM server for the registration tests. regsvr32
// calls DllRegisterServer, which writes the value named by the DLL's own
// path under HKCU\Software\EkComServerTest; DllUnregisterServer removes it.
#include <windows.h>

namespace {

HMODULE g_self = nullptr;
constexpr wchar_t kKey[] = L"Software\\EkComServerTest";

bool OwnPath(wchar_t* path, DWORD size) { return ::GetModuleFileNameW(g_self, path, size) > 0; }

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_self = instance;
  return TRUE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllRegisterServer() {
  wchar_t path[MAX_PATH];
  if (!OwnPath(path, MAX_PATH)) return E_FAIL;
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return E_FAIL;
  const wchar_t data[] = L"registered";
  const LSTATUS rc = ::RegSetValueExW(key, path, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), sizeof data);
  ::RegCloseKey(key);
  return rc == ERROR_SUCCESS ? S_OK : E_FAIL;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllUnregisterServer() {
  wchar_t path[MAX_PATH];
  if (!OwnPath(path, MAX_PATH)) return E_FAIL;
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return S_OK;
  ::RegDeleteValueW(key, path);
  ::RegCloseKey(key);
  return S_OK;
}
