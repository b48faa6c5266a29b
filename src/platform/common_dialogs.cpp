#include "platform/common_dialogs.h"

#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <vector>

#include "platform/handles.h"
#include "platform/system_library.h"

namespace ek::platform {

std::optional<std::wstring> ChooseFile(const OpenFileRequest& r) {
  // "name\0patterns\0\0"
  std::wstring filter = r.filterName;
  filter.push_back(L'\0');
  filter += r.patterns;
  filter.push_back(L'\0');
  filter.push_back(L'\0');
  std::vector<wchar_t> file(32768, L'\0');
  if (!r.initialPath.empty() && r.initialPath.size() < file.size()) r.initialPath.copy(file.data(), r.initialPath.size());
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = static_cast<HWND>(r.owner);
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrTitle = r.title.empty() ? nullptr : r.title.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  // The dialog's library, loaded from the system folder only when it is
  // needed: imported, it would add several megabytes to every run's working
  // set, for a dialog that few runs show, and bind its own dependencies
  // before the program's first instruction, some of them looked for beside
  // the setup file.
  UniqueModule comdlg(::LoadLibraryExW(L"comdlg32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  using OpenFn = BOOL(WINAPI*)(OPENFILENAMEW*);
  const auto open = comdlg ? reinterpret_cast<OpenFn>(reinterpret_cast<void*>(::GetProcAddress(comdlg.get(), "GetOpenFileNameW"))) : nullptr;
  if (!open || !open(&ofn)) return std::nullopt;
  return std::wstring(file.data());
}

namespace {

std::optional<std::wstring> PickWithShellBrowser(WindowHandle owner, const std::wstring& title) {
  BROWSEINFOW bi{};
  bi.hwndOwner = static_cast<HWND>(owner);
  bi.lpszTitle = title.c_str();
  bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  static const auto browse = SystemFunction<decltype(&::SHBrowseForFolderW)>(L"shell32.dll", "SHBrowseForFolderW");
  static const auto pathOf = SystemFunction<decltype(&::SHGetPathFromIDListW)>(L"shell32.dll", "SHGetPathFromIDListW");
  if (!browse || !pathOf) return std::nullopt;
  PIDLIST_ABSOLUTE pidl = browse(&bi);
  if (!pidl) return std::nullopt;
  wchar_t path[MAX_PATH] = {};
  const bool ok = pathOf(pidl, path) != FALSE;
  ::CoTaskMemFree(pidl);
  if (!ok) return std::nullopt;
  return std::wstring(path);
}

}  // namespace

std::optional<std::wstring> PickFolder(WindowHandle owner, const std::wstring& title, const std::wstring& initial,
                                       bool legacyBrowser) {
  if (legacyBrowser) return PickWithShellBrowser(owner, title);
  ComPtr<IFileOpenDialog> dialog;
  if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                dialog.put_void())))
    return PickWithShellBrowser(owner, title);
  FILEOPENDIALOGOPTIONS options = 0;
  dialog->GetOptions(&options);
  dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
  dialog->SetTitle(title.c_str());
  static const auto itemFromName =
      SystemFunction<decltype(&::SHCreateItemFromParsingName)>(L"shell32.dll", "SHCreateItemFromParsingName");
  if (!initial.empty() && itemFromName) {
    ComPtr<IShellItem> folder;
    if (SUCCEEDED(itemFromName(initial.c_str(), nullptr, IID_IShellItem, folder.put_void())))
      dialog->SetFolder(folder.get());
  }
  if (FAILED(dialog->Show(static_cast<HWND>(owner)))) return std::nullopt;
  ComPtr<IShellItem> result;
  if (FAILED(dialog->GetResult(result.put()))) return std::nullopt;
  PWSTR path = nullptr;
  if (FAILED(result->GetDisplayName(SIGDN_FILESYSPATH, &path)) || !path) return std::nullopt;
  std::wstring out(path);
  ::CoTaskMemFree(path);
  return out;
}

}  // namespace ek::platform
