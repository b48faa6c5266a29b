// The pseudo-commands that only tell Windows something or register a font:
// the setup's command lists and the uninstaller's recorded commands run them
// from this one table. A verb is the whole command field, letters ignoring
// case; what is not a verb is a URL to open or a program to start.
#pragma once

#include <string>
#include <string_view>

namespace ek {

struct VerbCall {
  std::wstring parameters;
  bool noLongPathPrefix = false;  // the caller's "-noprefix" rule for file paths
};

struct CommandVerb {
  std::wstring_view name;
  void (*run)(const VerbCall& call);
};

// REGFONT, UNREGFONT, WM_FONTCHANGE, WM_SETTINGCHANGE, SHCNE_ASSOCCHANGED,
// SPI_SETDESKWALLPAPER; nothing for any other command.
[[nodiscard]] const CommandVerb* FindSystemVerb(std::wstring_view command);

// A command that names a URL ("://"): opened, its parameters unused.
[[nodiscard]] bool IsUrlCommand(std::wstring_view command);
// The program of a command: a command wholly in double quotes without them.
[[nodiscard]] std::wstring ProgramOfCommand(std::wstring_view command);

}  // namespace ek
