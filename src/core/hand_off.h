// The hand-off between the two copies of the engine: the first copy saves the
// user's choices into the [Install] and [SetupComponents] sections of
// eksetup.ini before it starts the elevated copy, which loads them; the
// elevated copy hands the window position back the same way. Saving and
// loading stand side by side here, so the two copies cannot disagree.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/ini_document.h"

namespace ek {

struct WindowPosition {
  int32_t left = 0;
  int32_t top = 0;
};

struct HandOff {
  bool silent = false;  // [Setup] SilentInstall: the elevated copy runs as silently as this one
  std::wstring language = L"English";
  WindowPosition position;
  std::wstring user;  // profile folder name of the user who started the setup
  std::wstring installDir;
  std::wstring mainExe;
  std::wstring programGroup;
  bool allUsers = true;
  bool update = false;
  std::wstring dataFile;
  std::wstring extraVar;
  bool checkDesktop = false;
  bool checkPrograms = false;
  bool checkStartup = false;
  bool checkAssociate = false;
  bool checkAddTask = false;
  int32_t comboBoxIndex = -1;
  std::wstring comboBox;
  std::wstring queryText;
  std::wstring queryCustom;
  // [SetupComponents]: the ticks of the component list, when it is shown.
  bool componentsShown = false;
  std::vector<bool> components;
};

void SaveHandOff(IniDocument& config, const HandOff& state);
// Values that are absent keep the defaults of HandOff; the position falls
// back to the one given.
[[nodiscard]] HandOff LoadHandOff(const IniDocument& config, WindowPosition fallbackPosition);

// The elevated copy's way back: where its window stood at the end.
void SaveWindowPosition(IniDocument& config, WindowPosition position);
[[nodiscard]] WindowPosition LoadWindowPosition(const IniDocument& config, WindowPosition fallback);

}  // namespace ek
