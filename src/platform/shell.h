// Shell folders, shell links, notifications, fonts, type libraries.
#pragma once

#include <optional>
#include <string>

namespace ek::platform {

// SHGetFolderPathW for a CSIDL, no token, current path; empty on failure.
[[nodiscard]] std::wstring ShellFolder(int csidl);

constexpr int kCsidlProfile = 40;

struct ShellLinkData {
  std::wstring target;
  std::wstring arguments;
  std::wstring description;
  std::wstring workingDirectory;  // empty: none set
  std::wstring iconPath;          // empty: none set
  int iconIndex = 0;
  int showCommand = 1;
};
// IShellLinkW + IPersistFile::Save(path, FALSE). Needs COM on this thread.
[[nodiscard]] bool CreateShellLink(const std::wstring& linkPath, const ShellLinkData& data);
[[nodiscard]] std::optional<ShellLinkData> ReadShellLink(const std::wstring& linkPath);

void NotifyAssociationsChanged(bool idList);  // SHChangeNotify(SHCNE_ASSOCCHANGED)
void BroadcastEnvironmentChange();             // WM_SETTINGCHANGE "Environment", 5 s timeout
void BroadcastFontChange();                    // PostMessage WM_FONTCHANGE
[[nodiscard]] int AddFont(const std::wstring& path);          // AddFontResourceW: fonts added
[[nodiscard]] bool RemoveFont(const std::wstring& path);
void RefreshWallpaper();                       // SPI_SETDESKWALLPAPER with no string

// LoadTypeLib then RegisterTypeLib; false when loading fails (*loaded false)
// or registration fails.
[[nodiscard]] bool RegisterTypeLibrary(const std::wstring& path, const std::wstring& helpDir, bool* loaded);
[[nodiscard]] bool UnregisterTypeLibrary(const std::wstring& path);
// Loads the library and calls an exported function without arguments
// (DllRegisterServer / DllUnregisterServer); false when it is missing.
[[nodiscard]] bool CallDllExport(const std::wstring& path, const char* exportName);

void BeepOk();

}  // namespace ek::platform
