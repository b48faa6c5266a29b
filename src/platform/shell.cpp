#include "platform/shell.h"

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "platform/handles.h"
#include "platform/system_library.h"

namespace ek::platform {

std::wstring ShellFolder(int csidl) {
  static const auto getFolderPath = SystemFunction<decltype(&::SHGetFolderPathW)>(L"shell32.dll", "SHGetFolderPathW");
  wchar_t buf[MAX_PATH];
  if (!getFolderPath || FAILED(getFolderPath(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buf))) return std::wstring();
  return buf;
}

bool CreateShellLink(const std::wstring& linkPath, const ShellLinkData& d) {
  ComPtr<IShellLinkW> link;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())))
    return false;
  link->SetArguments(d.arguments.c_str());
  link->SetDescription(d.description.c_str());
  link->SetPath(d.target.c_str());
  if (!d.workingDirectory.empty()) link->SetWorkingDirectory(d.workingDirectory.c_str());
  if (!d.iconPath.empty()) link->SetIconLocation(d.iconPath.c_str(), d.iconIndex);
  link->SetShowCmd(d.showCommand);
  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void()))) return false;
  return SUCCEEDED(file->Save(linkPath.c_str(), FALSE));
}

std::optional<ShellLinkData> ReadShellLink(const std::wstring& linkPath) {
  ComPtr<IShellLinkW> link;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())))
    return std::nullopt;
  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void()))) return std::nullopt;
  if (FAILED(file->Load(linkPath.c_str(), STGM_READ))) return std::nullopt;
  ShellLinkData d;
  wchar_t buf[4096];
  if (SUCCEEDED(link->GetPath(buf, 4096, nullptr, SLGP_RAWPATH))) d.target = buf;
  if (SUCCEEDED(link->GetArguments(buf, 4096))) d.arguments = buf;
  if (SUCCEEDED(link->GetDescription(buf, 4096))) d.description = buf;
  if (SUCCEEDED(link->GetWorkingDirectory(buf, 4096))) d.workingDirectory = buf;
  int icon = 0;
  if (SUCCEEDED(link->GetIconLocation(buf, 4096, &icon))) {
    d.iconPath = buf;
    d.iconIndex = icon;
  }
  int show = 0;
  if (SUCCEEDED(link->GetShowCmd(&show))) d.showCommand = show;
  return d;
}

void NotifyAssociationsChanged(bool idList) {
  static const auto changeNotify = SystemFunction<decltype(&::SHChangeNotify)>(L"shell32.dll", "SHChangeNotify");
  if (changeNotify) changeNotify(SHCNE_ASSOCCHANGED, idList ? SHCNF_IDLIST : 0, nullptr, nullptr);
}

void BroadcastEnvironmentChange() {
  DWORD_PTR result = 0;
  ::SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Environment"),
                        SMTO_ABORTIFHUNG, 5000, &result);
}

void BroadcastFontChange() { ::PostMessageW(HWND_BROADCAST, WM_FONTCHANGE, 0, 0); }
int AddFont(const std::wstring& path) { return ::AddFontResourceW(path.c_str()); }
bool RemoveFont(const std::wstring& path) { return ::RemoveFontResourceW(path.c_str()) != 0; }
void RefreshWallpaper() { ::SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, nullptr, SPIF_SENDWININICHANGE); }

namespace {

// The automation library is loaded for the type library records only.
ITypeLib* LoadTypeLibrary(const std::wstring& path) {
  static const auto load = SystemFunction<decltype(&::LoadTypeLib)>(L"oleaut32.dll", "LoadTypeLib");
  ITypeLib* lib = nullptr;
  if (!load || FAILED(load(path.c_str(), &lib))) return nullptr;
  return lib;
}

}  // namespace

bool RegisterTypeLibrary(const std::wstring& path, const std::wstring& helpDir, bool* loaded) {
  if (loaded) *loaded = false;
  ITypeLib* lib = LoadTypeLibrary(path);
  if (!lib) return false;
  if (loaded) *loaded = true;
  static const auto registerLib = SystemFunction<decltype(&::RegisterTypeLib)>(L"oleaut32.dll", "RegisterTypeLib");
  std::wstring p = path, h = helpDir;
  HRESULT hr = registerLib ? registerLib(lib, p.data(), h.empty() ? nullptr : h.data()) : E_FAIL;
  lib->Release();
  return SUCCEEDED(hr);
}

bool UnregisterTypeLibrary(const std::wstring& path) {
  ITypeLib* lib = LoadTypeLibrary(path);
  if (!lib) return false;
  static const auto unregister = SystemFunction<decltype(&::UnRegisterTypeLib)>(L"oleaut32.dll", "UnRegisterTypeLib");
  TLIBATTR* attr = nullptr;
  bool ok = false;
  if (unregister && SUCCEEDED(lib->GetLibAttr(&attr)) && attr) {
    ok = SUCCEEDED(unregister(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid, attr->syskind));
    lib->ReleaseTLibAttr(attr);
  }
  lib->Release();
  return ok;
}

bool CallDllExport(const std::wstring& path, const char* exportName) {
  // The library's own folder serves its dependencies, and the system folder;
  // never the setup file's folder or the current one.
  UniqueModule mod(
      ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32));
  if (!mod) return false;
  using Fn = HRESULT(STDAPICALLTYPE*)();
  auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(mod.get(), exportName)));
  if (!fn) return false;
  fn();
  return true;
}

void BeepOk() { ::MessageBeep(MB_OK); }

}  // namespace ek::platform
