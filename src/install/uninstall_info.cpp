#include "install/uninstall_info.h"

#include "core/setup_state.h"
#include "config/language.h"
#include "base/record_list.h"
#include "base/text.h"
#include "base/uninstall_entries.h"
#include "config/variables.h"
#include "platform/file_system.h"

namespace ek {

namespace {

namespace key = uninstall::key;

bool IsSystemFolder(const std::wstring& dir) {
  const wchar_t* const kFixed[] = {L"C:", L"C:\\Windows", L"C:\\Windows\\System32", L"C:\\Program Files",
                                   L"C:\\Program Files (x86)"};
  for (const wchar_t* f : kFixed)
    if (EqualsNoCase(dir, f)) return true;
  return EqualsNoCase(dir, GetConstant(21)) || EqualsNoCase(dir, GetConstant(22));
}

}  // namespace

bool WriteInformationFile(const std::wstring& path, const IniDocument& info, std::wstring_view header) {
  platform::Utf8FileWriter out;
  if (!out.Create(path, true)) return false;
  out.Write(header);
  info.SerializeTo([&](std::wstring_view piece) { out.Write(piece); });
  return out.Close();
}

std::wstring InformationFileGuid() { return ExpandVariables(PickLanguageText(SetupString(L"GUID"))); }

void WriteUninstallGeneralKeys() {
  auto& s = State();
  if (!s.UninstallIni) return;
  IniDocument& u = *s.UninstallIni;
  const std::wstring_view G = uninstall::kGeneral;
  const bool keepProduct = SetupBool(L"UpgradeMode") && SetupBool(L"CheckNoUpdate");
  if (!keepProduct) {
    u.WriteString(G, key::kAppName, GetConstant(1));
    if (!Switch(L"-noappedition")) u.WriteString(G, L"AppEdition", ExpandVariables(PickLanguageText(SetupString(L"AppEdition"))));
    u.WriteString(G, key::kAppVersion, GetConstant(2));
    // Texts keep their line breaks as "%n" (the uninstaller resolves it).
    for (int i = 0; i <= 10; ++i)
      u.WriteString(uninstall::kMessages, ToText(i), uninstall::MessageLine(ExpandVariables(LangText(L"Uninstall", i))));
    if (SetupBool(L"Updater"))
      for (int i = 0; i <= 33; ++i)
        u.WriteString(uninstall::kUpdater, ToText(i), uninstall::MessageLine(ExpandVariables(LangText(L"Updater", i))));
  }
  u.WriteString(G, key::kGuid, InformationFileGuid());
  u.WriteBool(G, L"AllUsers", s.AllUsers);
  u.WriteBool(G, L"Admin", s.IsAdmin);
  u.WriteBool(G, key::kX64, s.Is64BitEngine);
  u.WriteString(G, key::kInstallDir, s.InstallDir);
  if (s.UpdateMode) u.DeleteKey(G, key::kMainExecutable);
  if (!s.MainExe.empty()) u.WriteString(G, key::kMainExe, s.MainExe);
  bool programGroup = false;
  const size_t shortcuts = RecordCount(Config(), L"Shortcuts");
  for (size_t i = 0; i < shortcuts && !programGroup; ++i)
    programGroup = ContainsNoCase(ReadRecord(Config(), L"Shortcuts", i), L"PROGRAMGROUP>");
  if (programGroup) u.WriteString(G, key::kProgramGroupDir, s.ProgramGroup);

  if (s.CreateUninstaller) {
    u.WriteString(G, key::kSilentMode,
                  (s.Silent && Switch(L"-silentuninst")) ? L"1" : BoolText(SetupBool(L"SilentUninstall")));
    u.WriteBool(G, key::kUninstallFull, IsSystemFolder(s.InstallDir) ? false : SetupBool(L"UninstallFull"));
    u.WriteBool(G, L"UninstallRestart", SetupBool(L"UninstallRestart"));
    u.WriteString(G, key::kUninstallSettingsCommand,
                  SetupBool(L"UninstallSettings") ? ExpandVariables(SetupString(L"UninstallSettingsCommand")) : L"");
    u.WriteString(G, key::kUninstallUrl,
                  SetupBool(L"VisitUninstallPage") ? ExpandVariables(PickLanguageText(SetupString(L"UninstallURL"))) : L"");
    u.WriteBool(G, key::kCloseMainExe, SetupBool(L"CloseMainExe"));
    if (SetupBool(L"UninstallCloseApp")) {
      u.WriteString(G, key::kCloseApp, ExpandVariables(SetupString(L"UninstallCloseAppFile")));
      u.WriteString(G, key::kCloseAppName, ExpandVariables(SetupString(L"UninstallCloseAppText")));
      u.WriteBool(G, key::kForceCloseApp, SetupBool(L"UninstallForceCloseApp"));
    } else {
      u.DeleteKey(G, key::kCloseApp);
    }
    u.WriteBool(G, key::kNoCmdIfSilent, Switch(L"-nocmdifsilent"));
    u.WriteBool(G, key::kNoCmdIfReinstall, Switch(L"-nocmdifreinstall"));
    u.WriteBool(G, key::kCmdNoHideIfSilent, Switch(L"-cmdnohideifsilent"));
    const struct {
      std::wstring_view key;
      const wchar_t* sw;
    } kFlags[] = {{key::kDontAskUninstall, L"-dontaskuninstall"},
                  {key::kDontAskOnReinstall, L"-dontaskonreinstall"},
                  {key::kDontInformOnReinstall, L"-dontinformonreinstall"}};
    for (const auto& f : kFlags) {
      if (Switch(f.sw)) u.WriteString(G, f.key, L"1");
      else u.DeleteKey(G, f.key);
    }
    if (Switch(L"-unaltmethod")) u.WriteString(G, L"AltMethod", L"1");
  }

  if (SetupBool(L"Updater")) {
    u.WriteString(G, L"UpdateURL", ExpandVariables(SetupString(L"UpdateURL")));
    u.WriteInteger(G, L"GetVerFrom", SetupInt(L"GetVerFrom", 0));
    if (SetupBool(L"TreviskUpdater")) {
      u.WriteString(G, L"TreviskUpdater", L"1");
      u.WriteBool(G, L"CheckUpdaterTitle", SetupBool(L"CheckUpdaterTitle"));
      u.WriteBool(G, L"AllowChangeUpdate", SetupBool(L"AllowChangeUpdate"));
      u.WriteInteger(G, L"UpdateMethod", SetupInt(L"UpdateMethod", 0));
      u.WriteBool(G, L"CheckUseDownloader", SetupBool(L"CheckUseDownloader"));
      const bool autoCheck = SetupBool(L"AutoCheckUpdate");
      u.WriteBool(G, L"AutoCheckUpdate", autoCheck);
      u.WriteInteger(G, L"UpdateFrequency", autoCheck ? SetupInt(L"UpdateFrequency", -1) : 0);
      if (autoCheck && SetupBool(L"AutoSilentUpdate")) u.WriteString(G, L"AutoSilentUpdate", L"1");
      if (SetupBool(L"CheckUpdateOnLaunch")) u.WriteString(G, L"CheckUpdateOnLaunch", L"1");
      const bool smart = SetupBool(L"CheckSmartNotification");
      u.WriteBool(G, L"CheckSmartNotification", smart);
      if (smart) u.WriteInteger(G, L"UpdateSmartMethod", SetupInt(L"UpdateSmartMethod", 0));
      u.WriteString(G, L"CheckUpdaterParam", ExpandVariables(SetupString(L"CheckUpdaterParam")));
      const std::wstring params = SetupString(L"UpdaterParameters");
      if (!params.empty()) u.WriteString(G, L"UpdaterParameters", ExpandVariables(params));
    }
  }
}

}  // namespace ek
