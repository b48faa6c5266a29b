#include "app/pre_install.h"

#include <optional>
#include "core/failure_report.h"
#include "core/hand_off.h"

#include "actions/command_list.h"
#include "actions/process_launch.h"
#include "actions/system_checks.h"
#include "actions/variables_section.h"
#include "core/command_line.h"
#include "app/install_button.h"
#include "app/main_form.h"
#include "core/setup_log.h"
#include "core/host.h"
#include "core/setup_state.h"
#include "config/language.h"
#include "base/record_list.h"
#include "base/text.h"
#include "base/uninstall_entries.h"
#include "config/utilities.h"
#include "config/variables.h"
#include "base/version.h"
#include "install/install_driver.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "ui/main_window.h"
#include "ui/options_dialog.h"
#include "platform/common_dialogs.h"

namespace ek {
namespace {

constexpr const wchar_t* kUninstallRoot = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

VersionRules Rules() { return VersionRulesOf(Config()); }

platform::MsgResult Ask(const std::wstring& text, platform::MsgButtons buttons, platform::MsgIcon icon,
                        int defaultButton = 1) {
  return MessageOnMain(text, icon, buttons, defaultButton);
}

bool SearchRoot(platform::RegRoot root, const std::wstring& guid) {
  auto& s = State();
  auto tryKey = [&](const std::wstring& name) {
    platform::RegKey k;
    if (!k.Open(root, kUninstallRoot + name, platform::RegView::View64, false)) return false;
    if (auto v = k.ReadString(L"UninstallString")) s.InstalledUninstaller = *v;
    if (auto v = k.ReadString(L"DisplayVersion")) s.InstalledVersion = *v;
    if (!s.InstalledUninstaller.empty() && platform::FileExists(ExtendedPath(s.InstalledUninstaller))) {
      s.InstalledKeyName = name;
      return true;
    }
    s.InstalledUninstaller.clear();
    return false;
  };
  if (guid.empty()) return false;
  if (!Switch(L"-nocheckregek")) {
    for (int n = 9; n >= 1; --n)
      if (tryKey(guid + L"_ek" + ToText(n))) return true;
  }
  return tryKey(guid);
}

std::wstring InstalledInfoFile() { return ChangeExtension(State().InstalledUninstaller, L".ini"); }

void WaitWhileRunning(const std::wstring& exe, bool sleepFirst) {
  while (IsProcessRunning(exe)) {
    AnimateWaitLabel(sleepFirst);
    if (!platform::PumpMessages()) break;
  }
}

// What [Setup] IfInstalled asks for when the product is already installed.
enum class IfInstalled { UninstallFirst = 0, UninstallSilently = 1, Update = 2, InstallBeside = 3, Ask = 4, Done = -1 };

bool InstalledUninstallerExists() {
  const auto& s = State();
  return !s.InstalledUninstaller.empty() && platform::FileExists(ExtendedPath(s.InstalledUninstaller));
}

// An update package needs an installed version, within the configured range.
void RequireUpdatableVersion() {
  auto& s = State();
  const std::wstring appName = GetConstant(1);
  s.UpdateMode = true;
  if (!InstalledUninstallerExists()) {
    if (!s.Silent)
      Ask(FormatAndExpand(LangText(L"Messages", 25), appName) + L"\r\n\r\n" + ExpandVariables(GetConstant(23)),
          platform::MsgButtons::Ok, platform::MsgIcon::Warning);
    ExitSetup(12);
  }
  if (!SetupBool(L"CheckVersions")) return;
  const std::wstring minV = Trim(SetupString(L"CheckMinVer")), maxV = Trim(SetupString(L"CheckMaxVer"));
  const bool out = (!minV.empty() && CompareVersions(minV, s.InstalledVersion, false, Rules())) ||
                   (!maxV.empty() && CompareVersions(s.InstalledVersion, maxV, false, Rules()));
  if (!out) return;
  if (!s.Silent) {
    std::wstring arg = appName + L" v." + minV;
    if (minV != maxV) arg += L" - " + maxV;
    Ask(FormatAndExpand(LangText(L"Messages", 25), arg), platform::MsgButtons::Ok, platform::MsgIcon::Warning);
  }
  ExitSetup(12);
}

// IfInstalled=4: the user chooses (Yes uninstalls first, already confirmed;
// No updates; Cancel installs beside); a silent run takes its default.
IfInstalled AskWhatToDo(bool& confirmed) {
  auto& s = State();
  if (s.Silent) return Switch(L"-silentaskun") ? IfInstalled::Update : IfInstalled::UninstallSilently;
  std::wstring text = LangText(
      L"Messages", 35,
      L"Currently, you have \"<AppName> v%s\" installed on your computer.<#><#>Click \"YES\" to uninstall this "
      L"version before installing v<AppVersion>.<#><#>Click \"NO\" to overwrite v%s with v<AppVersion>.<#><#>"
      L"Click \"CANCEL\" to keep v%s and install v<AppVersion> in other location.");
  text = ExpandVariables(ReplaceAllNoCase(text, L"%s", s.InstalledVersion));
  IfInstalled mode;
  switch (Ask(text, platform::MsgButtons::YesNoCancel, platform::MsgIcon::Warning)) {
    case platform::MsgResult::Yes: mode = IfInstalled::UninstallFirst; confirmed = true; break;
    case platform::MsgResult::No: mode = IfInstalled::Update; break;
    default: mode = IfInstalled::InstallBeside; break;
  }
  MutableConfig().WriteInteger(L"Setup", L"IfInstalled", static_cast<int>(mode));
  return mode;
}

// A newer version than this package is installed: go on only when the user agrees.
void ConfirmOverNewerVersion() {
  const auto& s = State();
  if (Switch(L"-nocheckifold") || s.Silent || s.InstalledVersion.empty()) return;
  const std::wstring product = GetConstant(2);
  if (product == s.InstalledVersion || !CompareVersions(s.InstalledVersion, product, false, Rules())) return;
  std::wstring text = LangText(L"Messages", 10);
  // Two arguments: the installed product and this version.
  text = ReplaceFirstNoCase(text, L"%s", GetConstant(1) + L" " + s.InstalledVersion);
  text = ReplaceFirstNoCase(text, L"%s", product);
  if (Ask(ExpandVariables(text), platform::MsgButtons::YesNo, platform::MsgIcon::Warning, 2) == platform::MsgResult::No)
    ExitSetup(11);
}

// Before a silent uninstallation: the installed program must not be running.
void WaitForInstalledProgramToClose() {
  const auto& s = State();
  if (s.Silent || Switch(L"-nocheckmainexe")) return;
  IniDocument info;
  bool ok = false;
  DecodedText t = platform::ReadTextFile(InstalledInfoFile(), TextEncoding::Utf8, &ok);
  if (ok) info.Parse(t.text);
  std::wstring program = uninstall::InstalledMainExe(info);
  if (program.empty()) program = s.MainExe;
  while (!program.empty() && IsProcessRunning(program)) {
    if (Ask(FormatAndExpand(LangText(L"Messages", 6), GetConstant(1)), platform::MsgButtons::RetryCancel,
            platform::MsgIcon::Warning) != platform::MsgResult::Retry)
      break;
  }
}

struct InstalledUninstaller {
  std::wstring path;
  std::wstring fileName;
  std::wstring reinstallParam;  // " /R" unless the installation is removed for good
  bool alreadyRunning = false;
};

InstalledUninstaller FindInstalledUninstaller() {
  InstalledUninstaller u;
  u.path = State().InstalledUninstaller;
  u.fileName = FileNamePart(u.path);
  u.reinstallParam = Switch(L"-noreinstallmode") || Switch(L"-fulluninstall") || Switch(L"-compluninst")
                         ? std::wstring()
                         : std::wstring(L" /R");
  u.alreadyRunning = IsProcessRunning(u.fileName);
  return u;
}

// Runs the uninstaller unattended. Returns the mode that remains: the
// interactive uninstallation when the old version is still there, Done when
// an uninstall-first went through, otherwise the mode unchanged.
IfInstalled UninstallUnattended(IfInstalled mode, const InstalledUninstaller& u) {
  const auto& s = State();
  RunProcess(host().Owner(), u.path, L"/S" + u.reinstallParam, platform::kSwShowNormal, true, false, true);
  platform::SleepMs(2000);
  if (!u.alreadyRunning) WaitWhileRunning(u.fileName, true);
  if (platform::FileExists(ExtendedPath(u.path))) platform::SleepMs(2000);
  platform::SleepMs(1000);
  if (platform::FileExists(ExtendedPath(u.path)) && !s.Silent) return IfInstalled::UninstallFirst;
  if (mode == IfInstalled::UninstallFirst) return IfInstalled::Done;
  return mode;
}

// Runs the uninstaller with its own window, after the question unless the
// user already said yes. True when the old version is still there (the
// decision starts again).
bool UninstallInteractively(const InstalledUninstaller& u, bool confirmed) {
  const auto& s = State();
  std::wstring raw = LangText(L"Messages", 11);
  std::wstring text = ReplaceFirstNoCase(raw, L"%s", s.AppNameVersion);
  text = ExpandVariables(ReplaceFirstNoCase(text, L"%s", s.InstalledVersion));
  if (!confirmed && Ask(text, platform::MsgButtons::YesNo, platform::MsgIcon::Warning) == platform::MsgResult::No)
    ExitSetup(11);
  RunProcess(host().Owner(), u.path, Trim(u.reinstallParam), platform::kSwShowNormal, true, false, true);
  MainForm().ShowWaitLabel(true);
  if (!u.alreadyRunning) WaitWhileRunning(u.fileName, true);
  for (int i = 0; i < 5 && platform::FileExists(ExtendedPath(u.path)); ++i) {
    AnimateWaitLabel(true);
    platform::PumpMessages();
  }
  return platform::FileExists(ExtendedPath(u.path));
}

// Side by side: the folder and the program group take the version.
void PrepareSideBySide() {
  auto& s = State();
  const std::wstring version = GetConstant(2);
  if (platform::DirectoryExists(ExtendedPath(s.InstallDir)) && !Contains(s.InstallDir, version))
    MutableConfig().WriteString(L"Setup", L"InstallDir", SetupString(L"InstallDir") + L" <AppVersion>");
  if (!ContainsNoCase(SetupString(L"ProgramGroup"), L"<APPVERSION>"))
    MutableConfig().WriteString(L"Setup", L"ProgramGroup", SetupString(L"ProgramGroup") + L" <AppVersion>");
  ResolveInstallPaths();
}

// The decision: uninstall first, update, install beside, or refuse. An
// uninstallation that leaves the old version behind asks again (after three
// attempts the old version no longer counts).
void ExistingInstallationLoop() {
  auto& s = State();
  int attempts = 0;
  while (true) {
    MainForm().ShowWaitLabel(!s.Silent);
    bool confirmed = false;
    DetectInstalledVersion();
    if (attempts > 2) s.InstalledUninstaller.clear();
    if (SetupBool(L"UpgradeMode")) {
      RequireUpdatableVersion();
      return;
    }
    if (!InstalledUninstallerExists()) return;

    IfInstalled mode = static_cast<IfInstalled>(SetupInt(L"IfInstalled", 0));
    if (mode == IfInstalled::Ask) mode = AskWhatToDo(confirmed);
    ConfirmOverNewerVersion();
    if (mode == IfInstalled::UninstallSilently) WaitForInstalledProgramToClose();

    const InstalledUninstaller u = FindInstalledUninstaller();
    if (mode == IfInstalled::UninstallSilently || (mode == IfInstalled::UninstallFirst && s.Silent))
      mode = UninstallUnattended(mode, u);
    if (mode == IfInstalled::UninstallFirst && !s.Silent) {
      ++attempts;
      if (UninstallInteractively(u, confirmed)) continue;
    }
    if (mode == IfInstalled::Update) s.UpdateMode = true;
    if (mode == IfInstalled::InstallBeside) PrepareSideBySide();
    return;
  }
}

void AdoptInstalledProduct() {
  auto& s = State();
  WriteLog(L"Mode=Update");
  s.InstallDir = FolderPart(s.InstalledUninstaller);
  s.Options.EInstallDirEnabled = false;
  s.Options.RadioGroup1.enabled = false;
  s.AllUsers = s.InstalledAllUsers;
  MutableConfig().WriteString(L"Setup", L"GUID", s.InstalledKeyName);
  if (SetupInt(L"InstallLevel", 1) > 1) MutableConfig().WriteInteger(L"Setup", L"InstallLevel", s.AllUsers ? 2 : 3);
  s.MainExe = ExpandVariables(PickLanguageText(SetupString(L"MainExe")));
  s.UninstallFile = FileNamePart(s.InstalledUninstaller);
  const std::wstring infoPath = InstalledInfoFile();
  if (platform::FileExists(ExtendedPath(infoPath))) {
    IniDocument info;
    bool ok = false;
    DecodedText t = platform::ReadTextFile(ExtendedPath(infoPath), TextEncoding::Utf8, &ok);
    if (ok) {
      info.Parse(t.text);
      if (s.MainExe.empty())
        s.MainExe = uninstall::InstalledMainExe(info);
      const std::wstring group = info.ReadString(uninstall::kGeneral, uninstall::key::kProgramGroupDir);
      if (!group.empty() && platform::DirectoryExists(ExtendedPath(group)) && !Switch(L"-noprevpg"))
        s.ProgramGroup = group;
    }
  }
  IniDocument& c = MutableConfig();
  c.WriteString(L"Setup", L"InstallDir", s.InstallDir);
  c.WriteString(L"Setup", L"MainExe", s.MainExe);
  c.WriteString(L"Setup", L"ProgramGroup", s.ProgramGroup);
  c.WriteString(L"Setup", L"UninstallFile", s.UninstallFile);
}

void ExternalDataFile() {
  auto& s = State();
  if (SetupInt(L"PackageType", 0) != 1) return;
  s.DataFile = ExpandVariables(L"<CurrentDir>\\" + PickLanguageText(SetupString(L"DataFileName")));
  if (platform::FileExists(ExtendedPath(s.DataFile))) return;
  if (s.Silent) ExitSetup(11);
  Ask(FormatAndExpand(LangText(L"Messages", 26), s.DataFile), platform::MsgButtons::Ok, platform::MsgIcon::Warning);
  platform::OpenFileRequest r;
  r.owner = MainForm().handle();
  r.filterName = L"Archive Files (*.zip;*.7z)";
  r.patterns = L"*.zip;*.7z";
  const auto chosen = platform::ChooseFile(r);
  if (!chosen || !platform::FileExists(ExtendedPath(*chosen))) ExitSetup(11);
  s.DataFile = *chosen;
}

// A configuration variable that drives a clickable state: defined when it
// expands to something other than its own name.
std::optional<std::wstring> VariableSwitch(const std::wstring& name) {
  const std::wstring token = L"<" + name + L">";
  std::wstring value = ExpandVariables(token);
  if (EqualsNoCase(value, token)) return std::nullopt;
  return value;
}

// The clickable state of a user-information field under its variable.
bool FieldClickable(bool clickable, const std::wstring& variable) {
  if (auto v = VariableSwitch(variable)) {
    clickable = Switch(L"-enabledifvar0") ? *v == L"0" : (*v == L"1" || EqualsNoCase(*v, L"true"));
    if (Switch(L"-disablediffalse")) clickable = ToLowerAscii(*v) != L"false";
  }
  return clickable;
}

}  // namespace

void DetectInstalledVersion() {
  auto& s = State();
  s.InstalledVersion.clear();
  s.InstalledUninstaller.clear();
  const std::wstring guid = ExpandVariables(PickLanguageText(SetupString(L"GUID")));
  s.InstalledKeyName = guid;
  s.InstalledAllUsers = s.AllUsers;
  if (Switch(L"-nofindcurver")) return;
  const auto own = s.AllUsers ? platform::RegRoot::LocalMachine : platform::RegRoot::CurrentUser;
  const auto other = s.AllUsers ? platform::RegRoot::CurrentUser : platform::RegRoot::LocalMachine;
  if (SearchRoot(own, guid)) return;
  if (Switch(L"-nocheckregrev")) return;
  if (SetupInt(L"InstallLevel", 1) <= 1 && !SetupBool(L"UpgradeMode") &&
      !platform::DirectoryExists(ExtendedPath(s.InstallDir)))
    return;
  if (SearchRoot(other, guid)) s.InstalledAllUsers = !s.AllUsers;
}

void ApplyOptionsDefaults() {
  auto& s = State();
  auto& o = s.Options;
  if (o.EInstallDirEnabled &&
      (SetupInt(L"SelectFolderMode", 0) == 3 || FindParam(L"/DFC") != 0 || Switch(L"-nofolderchange")))
    o.EInstallDirEnabled = false;
  const int level = SetupInt(L"InstallLevel", 1);
  if (level > 1) {
    o.RadioGroup1.visible = true;
    o.RadioGroup1.checked = level == 2;
  }
  if (FindParam(L"/ALL") != 0) {
    s.AllUsers = true;
    if (o.RadioGroup1.visible) {
      o.RadioGroup1.checked = true;
      o.RadioGroup1.enabled = false;
    }
  }
  if (FindParam(L"/CU") != 0) {
    s.AllUsers = false;
    if (o.RadioGroup1.visible) {
      o.RadioGroup1.checked = false;
      o.RadioGroup1.enabled = false;
    }
  }
  if (s.AllUsers && !s.IsAdmin) {
    s.NeedsElevation = true;
    if (platform::GetOsVersion().major > 5) MainForm().SetInstallShield(true);
  }
  const size_t shortcuts = RecordCount(Config(), L"Shortcuts");
  for (size_t i = 0; i < shortcuts; ++i) {
    const std::wstring r = FoldCase(ReadRecord(Config(), L"Shortcuts", i));
    if (!o.CheckDesktop.visible && Contains(r, L"DESKTOP>")) o.CheckDesktop = {true, true, true};
    if (!o.CheckPrograms.visible &&
        (Contains(r, L"PROGRAMGROUP>") || Contains(r, L"PROGRAMSMENU>") || Contains(r, L"STARTMENU>")))
      o.CheckPrograms = {true, true, true};
  }
  if (Config().SectionExists(L"Extensions")) o.CheckAssociate = {true, true, true};
  if (SetupBool(L"LaunchOnStatup")) o.CheckStartup = {true, true, true};
  if (SetupBool(L"InfoCustomBox")) {
    o.CheckAddTask.visible = true;
    o.CheckAddTask.checked = SetupBool(L"InfoCustomBoxReq");
    o.CheckAddTask.enabled = SetupBool(L"InfoCustomBoxEnabled", true);
    if (s.CheckBoxPreset != -1) {
      o.CheckAddTask.checked = s.CheckBoxPreset == 0;
      if (Switch(L"-inversecheckbox")) o.CheckAddTask.checked = !o.CheckAddTask.checked;
      if (Switch(L"-altcheckbox")) o.CheckAddTask.checked = s.CheckBoxPreset == 1;
    }
    if (auto v = VariableSwitch(L"ENABLECHECKBOX")) {
      o.CheckAddTask.enabled = *v == L"1";
      if (Switch(L"-discheckkbox0")) o.CheckAddTask.enabled = *v != L"0";
    }
    if (Switch(L"-disablecheckbox")) o.CheckAddTask.enabled = false;
    if (Switch(L"-discheckboxifchecked")) o.CheckAddTask.enabled = !o.CheckAddTask.checked;
    s.CheckBoxValue = o.CheckAddTask.checked;
  }
  if (SetupBool(L"CustomComboBox")) {
    o.GroupBox3.visible = true;
    if (s.ComboBoxIndex == -1)
      s.ComboBoxIndex = ParseInt32Or(ExpandVariables(PickLanguageText(SetupString(L"CustomComboDefItem", L"-1"))), -1);
    if (auto v = VariableSwitch(L"ENABLECOMBOBOX")) {
      o.ComboBox1.enabled = v->empty();
      if (Switch(L"-discombobox0")) o.ComboBox1.enabled = *v != L"0";
    }
    if (Switch(L"-enablecombobox")) o.ComboBox1.enabled = s.ComboBoxIndex == -1;
    if (Switch(L"-disablecombobox") || (s.UpdateMode && SetupBool(L"ComboBoxDisableOnUpgrade")))
      o.ComboBox1.enabled = false;
  }
  if (SetupBool(L"CustomComponents")) {
    o.GroupBox4.visible = true;
    o.CheckListBox1.clear();
    const size_t n = RecordCount(Config(), L"Components");
    for (size_t i = 0; i < n; ++i) {
      const std::wstring record = ReadRecord(Config(), L"Components", i);
      if (record.empty()) continue;
      auto fields = SplitRecord(record);
      ComponentItem item;
      item.text = ExpandVariables(fields[0]);
      if (!s.Relaunched) {
        item.enabled = fields.size() > 4 && EqualsNoCase(ExpandVariables(fields[4]), L"YES");
        // Field 5 is everything after the fifth separator.
        size_t pos = 0;
        for (int k = 0; k < 5 && pos != std::wstring::npos; ++k) {
          pos = record.find(L"*?", pos);
          if (pos != std::wstring::npos) pos += 2;
        }
        item.checked = pos != std::wstring::npos && EqualsNoCase(ExpandVariables(record.substr(pos)), L"YES");
      }
      o.CheckListBox1.push_back(std::move(item));
    }
  }
  if (SetupBool(L"DialogUserInfo")) {
    o.GroupBox5.visible = true;
    s.UserInfoHidden = false;
    const bool name = SetupBool(L"QueryText") && !(s.UpdateMode && SetupBool(L"QueryTextHide"));
    const bool custom = SetupBool(L"QueryCustom") && !(s.UpdateMode && SetupBool(L"QueryCustomHide"));
    o.Label1Visible = !ExpandVariables(LangText(L"UserInformation", 2)).empty();
    o.EUser = {name, FieldClickable(!SetupBool(L"QueryTextDis"), L"QueryTextEnabled"), false};
    o.ECustomInfo = {custom, FieldClickable(!SetupBool(L"QueryCustomDis"), L"QueryCustomEnabled"), false};
    if (!name && !custom) {
      s.UserInfoHidden = true;
      o.GroupBox5.visible = false;
      MutableConfig().WriteBool(L"Setup", L"DialogUserInfo", false);
    }
  }
  OptionsForm().LoadOptionsTexts();
}

void PreInstallFlow() {
  auto& s = State();
  if (!s.Silent) {
    MainForm().ShowWaitLabel(true);
    if (!Switch(L"-nocursorchange")) MainForm().SetWaitCursor(true);
    MainForm().PlaceWaitLabel(Switch(L"-notextwait"));
    platform::PumpMessages();
  }
  if (!s.Silent && SetupBool(L"Updater") && SetupBool(L"CheckUpdateBefore") &&
      platform::FileExists(s.SetupTempDir + L"\\Updater.exe") && platform::FileExists(s.SetupTempDir + L"\\Updater.ini")) {
    const bool wait = !Switch(L"-nowaitforupdate");
    RunProcess(MainForm().handle(), s.SetupTempDir + L"\\Updater.exe", L"/S", platform::kSwShowNormal, wait, false, true);
    if (wait && Switch(L"-haltonnewversion") && s.LastExitCode == L"5") ExitSetup(5);
  }
  EvaluateDeferredVariables();
  ExistingInstallationLoop();
  if (s.UpdateMode) AdoptInstalledProduct();
  const bool checks = FindParam(L"/N") == 0;
  if (checks && !Switch(L"-checkreqaftercmd")) RunSystemChecks();
  s.DataFile.clear();
  RunCommandStage(1);
  ExternalDataFile();
  if (checks && Switch(L"-checkreqaftercmd")) RunSystemChecks();
  ApplyOptionsDefaults();
  MainForm().SetWaitCursor(false);
  MainForm().ShowWaitLabel(false);
  MainForm().ShowOptionsLink(true);
  MainForm().EnableInstall(true);
  const std::wstring font = Config().ReadString(L"GUI", L"FontName", L"Verdana");
  if (!s.Silent && !font.empty() && !EqualsNoCase(font, L"VERDANA") && !Switch(L"-nosamefont"))
    OptionsForm().SetFont(MainForm().FontName(), MainForm().BottomFontSize());
}

void FormActivate() {
  auto& s = State();
  if (!s.FirstActivation) return;
  s.FirstActivation = false;
  if (s.Silent) MainForm().Show(false);
  if (s.Relaunched) {
    const HandOff h = LoadHandOff(Config(), WindowPosition{});
    auto& o = s.Options;
    o.CheckDesktop.checked = h.checkDesktop;
    o.CheckPrograms.checked = h.checkPrograms;
    o.CheckAssociate.checked = h.checkAssociate;
    o.CheckStartup.checked = h.checkStartup;
    o.CheckAddTask.checked = h.checkAddTask;
    s.CheckBoxValue = o.CheckAddTask.checked;
    if (SetupBool(L"CustomComponents")) {
      o.GroupBox4.visible = true;
      o.CheckListBox1.clear();
      for (size_t i = 0; i < h.components.size(); ++i)
        o.CheckListBox1.push_back(ComponentItem{ToText(static_cast<int64_t>(i)), h.components[i], true});
    }
    RunInstallation();
    WindowPosition position;
    if (MainForm().Exists()) MainForm().form().GetPosition(position.left, position.top);
    IniDocument& mc = MutableConfig();
    SaveWindowPosition(mc, position);
    const std::wstring handOffFile = s.SetupTempDir + L"\\eksetup.ini";
    if (!platform::WriteTextFile(handOffFile, mc.Serialize(), TextEncoding::Utf8Bom))
      LogFailure(L"Unable to write file: " + handOffFile, FailureCause());
    // The first instance takes the log back and saves it at its end.
    SaveLogFile(LogFilePath(), s.SetupLog);
    platform::ExitNow(s.HadErrors ? 10 : 0);
  }
  PreInstallFlow();
  if (!s.Silent && !Switch(L"-noflashwnd") && MainForm().Exists() && !MainForm().form().IsForeground()) {
    MainForm().form().Flash();
    MainForm().form().BringToFront();
  }
  if (s.Silent) {
    if (SetupBool(L"DialogUserInfo") && FindParam(L"/SUI") == 0 && !Switch(L"-silentinstalluserinfo")) ExitSetup(5);
    BInstallClick();
    FinishClick();
  }
}

}  // namespace ek
