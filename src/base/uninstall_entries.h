// The uninstall information file: its sections, the [General] keys that are
// read back, and every kind of list entry with its written form (Format) and
// its reading (Parse) side by side. The setup writes through these types and
// the uninstaller reads through them. The file may be damaged or written by
// someone else, so every reading is checked: a path must be absolute and
// plain, a registry entry must name one of the four roots and a clean key
// path. Pure: the roots and views are this file's own values; the registry
// layer maps them to its keys.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ini_document.h"

namespace ek::uninstall {

// The file's name while the setup builds it in its temporary folder; beside
// the installed uninstaller it takes the uninstaller's name.
inline constexpr std::wstring_view kInfoFileName = L"Uninstall.ini";

// ---- sections that are not lists -----------------------------------------

inline constexpr std::wstring_view kGeneral = L"General";
// Keys "0" to "10": the uninstaller's texts, one line each (MessageLine).
inline constexpr std::wstring_view kMessages = L"Messages";
// Keys "0" to "33": the updater's texts.
inline constexpr std::wstring_view kUpdater = L"Updater";

// [General] keys that the uninstaller or a later setup reads back.
namespace key {
inline constexpr std::wstring_view kAppName = L"AppName";
inline constexpr std::wstring_view kAppVersion = L"AppVersion";
inline constexpr std::wstring_view kGuid = L"GUID";
inline constexpr std::wstring_view kX64 = L"x64";
inline constexpr std::wstring_view kInstallDir = L"InstallDir";
inline constexpr std::wstring_view kMainExe = L"MainExe";
inline constexpr std::wstring_view kMainExecutable = L"MainExecutable";  // older files; never written
inline constexpr std::wstring_view kProgramGroupDir = L"ProgramGroupDir";
inline constexpr std::wstring_view kSilentMode = L"SilentMode";
inline constexpr std::wstring_view kUninstallFull = L"UninstallFull";
inline constexpr std::wstring_view kUninstallSettingsCommand = L"UninstallSettingsCommand";
inline constexpr std::wstring_view kUninstallUrl = L"UninstallURL";
inline constexpr std::wstring_view kCloseMainExe = L"CloseMainExe";
inline constexpr std::wstring_view kCloseApp = L"CloseApp";
inline constexpr std::wstring_view kCloseAppName = L"CloseAppName";
inline constexpr std::wstring_view kForceCloseApp = L"ForceCloseApp";
inline constexpr std::wstring_view kNoCmdIfSilent = L"NoCmdIfSilent";
inline constexpr std::wstring_view kNoCmdIfReinstall = L"NoCmdIfReinstall";
inline constexpr std::wstring_view kCmdNoHideIfSilent = L"CmdNoHideIfSilent";
inline constexpr std::wstring_view kDontAskUninstall = L"DontAskUninstall";
inline constexpr std::wstring_view kDontAskOnReinstall = L"DontAskOnReinstall";
inline constexpr std::wstring_view kDontInformOnReinstall = L"DontInformOnReinstall";
inline constexpr std::wstring_view kRegAsmExe = L"RegAsmExe";
}  // namespace key

// The installed main program: MainExe, or MainExecutable of older files.
[[nodiscard]] std::wstring InstalledMainExe(const IniDocument& info);

// A [Messages] or [Updater] text on one line: its line breaks become "%n".
[[nodiscard]] std::wstring MessageLine(std::wstring_view text);
// A [Messages] text as shown: "%s" becomes the product name, "%n" a line break.
[[nodiscard]] std::wstring FormatMessageText(std::wstring_view text, std::wstring_view name);

// ---- paths ---------------------------------------------------------------

// An absolute file-system path: "X:\..." or "\\server\share\...", without
// "." or ".." components, wildcards, stream names, device prefixes or device
// names (CON, NUL, COM1, "aux.txt"), empty components or components that
// Windows would silently shorten (trailing dots and blanks).
[[nodiscard]] bool IsSafePath(std::wstring_view path);
// The same, and not a drive root or the root of a share.
[[nodiscard]] bool IsSafeFolder(std::wstring_view path);
// Whether `inner` lies below `outer` (both backslash paths, letters ignoring case).
[[nodiscard]] bool IsBelow(std::wstring_view inner, std::wstring_view outer);
// Number of path components after the drive or share ("C:\a\b" has 2).
[[nodiscard]] size_t PathDepth(std::wstring_view path);

// ---- registry roots and views --------------------------------------------

enum class Root { CurrentUser, LocalMachine, ClassesRoot, Users };
// Written in full: "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", ...
[[nodiscard]] std::wstring_view RootName(Root root);
// The full name or its short form ("HKCU", "HKLM", "HKCR", "HKU"), letters
// ignoring case; nothing for any other root.
[[nodiscard]] std::optional<Root> ParseRoot(std::wstring_view name);

// The first letter of a registry entry: the view the record wrote in ("3",
// "6"), or "D" for the record's default view.
enum class ViewMark { View32, View64, Default };

// ---- list entries --------------------------------------------------------

// [Files], [Fonts], [ActiveX], [.NET-Assembly], [TypeLibrary], [ScreenSaver]:
// the full path of a file.
struct PathEntry {
  std::wstring path;
  [[nodiscard]] std::wstring Format() const;
  [[nodiscard]] static std::optional<PathEntry> Parse(std::wstring_view text);
};

// [Folders]: the full path of a folder, without a trailing "\".
struct FolderEntry {
  std::wstring path;
  [[nodiscard]] std::wstring Format() const;
  // A trailing "\" is dropped; a drive or share root is refused.
  [[nodiscard]] static std::optional<FolderEntry> Parse(std::wstring_view text);
};

// [RegistryKeys]: mark, root name, "\", key path:
// "DHKEY_CURRENT_USER\Software\Vendor".
struct RegistryKeyEntry {
  ViewMark mark = ViewMark::Default;
  Root root = Root::CurrentUser;
  std::wstring key;  // below the root, without leading or trailing "\"
  [[nodiscard]] std::wstring Format() const;
  // An entry without the mark (a record without a view field) is read as
  // one in the default view.
  [[nodiscard]] static std::optional<RegistryKeyEntry> Parse(std::wstring_view text);
};

// [RegistryValues]: the key entry, "*?", the value name (empty: the key's
// default value): "DHKEY_CURRENT_USER\Software\Vendor*?Version".
struct RegistryValueEntry : RegistryKeyEntry {
  std::wstring valueName;
  [[nodiscard]] std::wstring Format() const;
  // Only the first "*?" separates: the value name may hold more.
  [[nodiscard]] static std::optional<RegistryValueEntry> Parse(std::wstring_view text);
};

// [INIValues]: file "*?" section "*?" key, for a key written into an INI file
// that existed before.
struct IniValueEntry {
  std::wstring file, section, key;
  [[nodiscard]] std::wstring Format() const;
  [[nodiscard]] static std::optional<IniValueEntry> Parse(std::wstring_view text);
};

// [Environment]: kind letter, scope letter ("S" system, "U" the user's),
// variable name, and for the kinds "W" and "U" "*?" and a text.
struct EnvironmentEntry {
  enum class Kind {
    Overwritten,  // "W": existed and was overwritten or removed; text: the old value
    Added,        // "U": a part was appended or prepended; text: that part
    Created,      // "D": did not exist; no text
  };
  Kind kind = Kind::Created;
  bool system = false;
  std::wstring name;
  std::wstring text;
  [[nodiscard]] std::wstring Format() const;
  [[nodiscard]] static std::optional<EnvironmentEntry> Parse(std::wstring_view text);
};

// [ExecAtUninstallStart], [ExecBeforeUninstall], [ExecAfterUninstall]:
// command "*?" parameters "*?" window "*?" wait "*?" elevate, the last three
// as the command record wrote them.
struct ExecEntry {
  std::wstring command, parameters;
  std::wstring window;   // "NORMAL", "MAXIMIZED", "MINIMIZED" or "HIDE"
  std::wstring wait;     // "YES" or "+": wait for the end
  std::wstring elevate;  // "YES" or "+": the verb "runas"
  [[nodiscard]] std::wstring Format() const;
  // Fields missing at the end are empty; a blank command is refused.
  [[nodiscard]] static std::optional<ExecEntry> Parse(std::wstring_view text);
  // The window as SW_SHOWNORMAL (1), SW_SHOWMAXIMIZED (3), SW_SHOWMINIMIZED
  // (2) or SW_HIDE (0), letters ignoring case.
  [[nodiscard]] int Show() const;
  [[nodiscard]] bool Waits() const;
  [[nodiscard]] bool Elevates() const;
};

// A list section and the kind of its entries.
template <typename Entry>
struct List {
  std::wstring_view section;
};

inline constexpr List<PathEntry> kFiles{L"Files"};
inline constexpr List<FolderEntry> kFolders{L"Folders"};
inline constexpr List<RegistryKeyEntry> kRegistryKeys{L"RegistryKeys"};
inline constexpr List<RegistryValueEntry> kRegistryValues{L"RegistryValues"};
inline constexpr List<IniValueEntry> kIniValues{L"INIValues"};
inline constexpr List<EnvironmentEntry> kEnvironment{L"Environment"};
inline constexpr List<PathEntry> kFonts{L"Fonts"};
inline constexpr List<PathEntry> kActiveX{L"ActiveX"};
inline constexpr List<PathEntry> kNetAssemblies{L".NET-Assembly"};
inline constexpr List<PathEntry> kTypeLibraries{L"TypeLibrary"};
inline constexpr List<PathEntry> kScreenSavers{L"ScreenSaver"};
inline constexpr List<ExecEntry> kExecAtUninstallStart{L"ExecAtUninstallStart"};
inline constexpr List<ExecEntry> kExecBeforeUninstall{L"ExecBeforeUninstall"};
inline constexpr List<ExecEntry> kExecAfterUninstall{L"ExecAfterUninstall"};

// The values of a list section in the order of their numbers; keys that are
// not numbers are ignored, an emptied value is kept as an empty text.
[[nodiscard]] std::vector<std::wstring> ListValues(const IniDocument& doc, std::wstring_view section);

}  // namespace ek::uninstall
