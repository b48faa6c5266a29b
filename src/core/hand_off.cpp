#include "core/hand_off.h"

#include "base/text.h"

namespace ek {
namespace {

constexpr std::wstring_view kInstall = L"Install";
constexpr std::wstring_view kComponents = L"SetupComponents";

}  // namespace

void SaveWindowPosition(IniDocument& c, WindowPosition p) {
  c.WriteInteger(kInstall, L"Left", p.left);
  c.WriteInteger(kInstall, L"Top", p.top);
}

WindowPosition LoadWindowPosition(const IniDocument& c, WindowPosition fallback) {
  return {c.ReadInteger(kInstall, L"Left", fallback.left), c.ReadInteger(kInstall, L"Top", fallback.top)};
}

void SaveHandOff(IniDocument& c, const HandOff& h) {
  c.WriteBool(L"Setup", L"SilentInstall", h.silent);
  c.WriteString(kInstall, L"Language", h.language);
  SaveWindowPosition(c, h.position);
  c.WriteString(kInstall, L"User", h.user);
  c.WriteString(kInstall, L"InstallDir", h.installDir);
  c.WriteString(kInstall, L"MainExe", h.mainExe);
  c.WriteString(kInstall, L"ProgramGroup", h.programGroup);
  c.WriteBool(kInstall, L"AllUsers", h.allUsers);
  c.WriteBool(kInstall, L"Update", h.update);
  c.WriteString(kInstall, L"DataFile", h.dataFile);
  c.WriteString(kInstall, L"ExtraVar", h.extraVar);
  c.WriteBool(kInstall, L"CheckDesktop", h.checkDesktop);
  c.WriteBool(kInstall, L"CheckPrograms", h.checkPrograms);
  c.WriteBool(kInstall, L"CheckStartup", h.checkStartup);
  c.WriteBool(kInstall, L"CheckAssociate", h.checkAssociate);
  c.WriteBool(kInstall, L"CheckAddTask", h.checkAddTask);
  c.WriteInteger(kInstall, L"ComboBoxIndex", h.comboBoxIndex);
  c.WriteString(kInstall, L"ComboBox", h.comboBox);
  c.WriteString(kInstall, L"QueryText", h.queryText);
  c.WriteString(kInstall, L"QueryCustom", h.queryCustom);
  if (h.componentsShown) {
    for (size_t i = 0; i < h.components.size(); ++i)
      c.WriteBool(kComponents, ToText(static_cast<int64_t>(i)), h.components[i]);
  }
}

HandOff LoadHandOff(const IniDocument& c, WindowPosition fallbackPosition) {
  HandOff h;
  h.silent = c.ReadBool(L"Setup", L"SilentInstall", h.silent);
  h.language = c.ReadString(kInstall, L"Language", h.language);
  h.position = LoadWindowPosition(c, fallbackPosition);
  h.user = c.ReadString(kInstall, L"User");
  h.installDir = c.ReadString(kInstall, L"InstallDir");
  h.mainExe = c.ReadString(kInstall, L"MainExe");
  h.programGroup = c.ReadString(kInstall, L"ProgramGroup");
  h.allUsers = c.ReadBool(kInstall, L"AllUsers", h.allUsers);
  h.update = c.ReadBool(kInstall, L"Update", h.update);
  h.dataFile = c.ReadString(kInstall, L"DataFile");
  h.extraVar = c.ReadString(kInstall, L"ExtraVar");
  h.checkDesktop = c.ReadBool(kInstall, L"CheckDesktop", false);
  h.checkPrograms = c.ReadBool(kInstall, L"CheckPrograms", false);
  h.checkStartup = c.ReadBool(kInstall, L"CheckStartup", false);
  h.checkAssociate = c.ReadBool(kInstall, L"CheckAssociate", false);
  h.checkAddTask = c.ReadBool(kInstall, L"CheckAddTask", false);
  h.comboBoxIndex = c.ReadInteger(kInstall, L"ComboBoxIndex", h.comboBoxIndex);
  h.comboBox = c.ReadString(kInstall, L"ComboBox");
  h.queryText = c.ReadString(kInstall, L"QueryText");
  h.queryCustom = c.ReadString(kInstall, L"QueryCustom");
  const size_t n = c.KeyCount(kComponents);
  h.componentsShown = n > 0;
  for (size_t i = 0; i < n; ++i) h.components.push_back(c.ReadBool(kComponents, ToText(static_cast<int64_t>(i)), false));
  return h;
}

}  // namespace ek
