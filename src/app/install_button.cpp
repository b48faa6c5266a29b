#include "app/install_button.h"
#include "core/failure_report.h"
#include "base/result.h"

#include "actions/command_list.h"
#include "actions/completion.h"
#include "actions/process_launch.h"
#include "core/command_line.h"
#include "app/main_form.h"
#include "core/setup_log.h"
#include "core/hand_off.h"
#include "core/host.h"
#include "core/setup_state.h"
#include "app/startup.h"
#include "config/language.h"
#include "base/record_list.h"
#include "base/text.h"
#include "config/utilities.h"
#include "config/variables.h"
#include "install/install_driver.h"
#include "platform/file_system.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "ui/main_window.h"
#include "ui/options_dialog.h"

namespace ek {
namespace {

void Warn(const std::wstring& text) { MessageOnMain(text, platform::MsgIcon::Warning); }

void OpenOptions() { OpenOptionsDialog(); }

bool ReloadDocuments() {
  auto& s = State();
  bool ok = false;
  DecodedText t = platform::ReadTextFile(s.SetupTempDir + L"\\eksetup.ini", TextEncoding::Utf8, &ok);
  if (!ok) return false;
  auto doc = std::make_unique<IniDocument>();
  doc->Parse(t.text);
  s.SetupConfig = std::move(doc);
  const std::wstring lng = s.SetupTempDir + L"\\" + s.LanguageName + L"ek.lng";
  DecodedText l = platform::ReadTextFile(lng, TextEncoding::Ansi, &ok);
  if (!ok) return false;
  auto lang = std::make_unique<IniDocument>();
  lang->Parse(l.text);
  s.LanguageTexts = std::move(lang);
  return true;
}

HandOff CaptureHandOff() {
  const auto& s = State();
  const auto& o = s.Options;
  HandOff h;
  h.silent = s.Silent;
  h.language = s.LanguageName;
  if (MainForm().Exists()) MainForm().form().GetPosition(h.position.left, h.position.top);
  h.user = CurrentProfileName();
  h.installDir = s.InstallDir;
  h.mainExe = s.MainExe;
  h.programGroup = s.ProgramGroup;
  h.allUsers = s.AllUsers;
  h.update = s.UpdateMode;
  h.dataFile = s.DataFile;
  h.extraVar = s.ExtraVar;
  h.checkDesktop = o.CheckDesktop.checked;
  h.checkPrograms = o.CheckPrograms.checked;
  h.checkStartup = o.CheckStartup.checked;
  h.checkAssociate = o.CheckAssociate.checked;
  h.checkAddTask = o.CheckAddTask.checked;
  h.comboBoxIndex = s.ComboBoxIndex;
  h.comboBox = s.ComboBox;
  h.queryText = s.QueryText;
  h.queryCustom = s.QueryCustom;
  h.componentsShown = o.GroupBox4.visible;
  for (const auto& item : o.CheckListBox1) h.components.push_back(item.checked);
  return h;
}

// Returns after the completion screen, or stays on the welcome screen when the
// elevated start failed in an interactive run.
void StartElevatedCopy() {
  auto& s = State();
  SaveHandOff(MutableConfig(), CaptureHandOff());
  const std::wstring noRights = LangText(L"Messages", 27, L"Log in as administrator.");
  const std::wstring own = platform::ModulePath();
  std::wstring file = own;
  std::wstring params = L"/RAD \"" + s.SetupTempDir + L"\"";
  int show = platform::kSwShowNormal;
  if (Switch(L"-runvialauncher") && platform::FileExists(s.SetupTempDir + L"\\Launcher.exe")) {
    file = s.SetupTempDir + L"\\Launcher.exe";
    params = L"\"\"" + own + L"\" /RAD \"" + s.SetupTempDir + L"\"\"";
  } else if (Switch(L"-runselfcmd")) {
    file = ExpandVariables(L"<SystemDir>\\cmd.exe");
    params = L"/C \"\"" + own + L"\" /RAD \"" + s.SetupTempDir + L"\"\"";
    show = platform::kSwHide;
  }
  const std::wstring handOffFile = s.SetupTempDir + L"\\eksetup.ini";
  if (!platform::WriteTextFile(handOffFile, MutableConfig().Serialize(), TextEncoding::Utf8Bom))
    LogFailure(L"Unable to write file: " + handOffFile, FailureCause());
  s.SetupConfig.reset();
  s.LanguageTexts.reset();
  // The log travels through the temporary folder: the elevated copy takes it
  // over and leaves it there with its own lines, so one log tells the story.
  const std::wstring logPath = LogFilePath();
  SaveLogFile(logPath, s.SetupLog);
  MainForm().Show(false);
  const bool started = RunProcess(MainForm().handle(), file, params, show, true, true, true);
  if (!s.Silent) MainForm().Show(true);
  bool logRead = false;
  std::vector<std::wstring> merged = LoadLogFile(logPath, &logRead);
  if (logRead && !merged.empty()) s.SetupLog = std::move(merged);
  Ignore(platform::DeleteFileAt(logPath));  // taken back; a leftover is removed at the next start
  if (started) {
    s.InstallationCompleted = true;
    if (s.LastExitCode == L"0") {
      s.HadErrors = false;
    } else if (s.LastExitCode == L"10") {
      s.HadErrors = true;
    } else {
      s.ScratchKeyList.clear();
      FinalCleanup();
      platform::ExitNow(static_cast<uint32_t>(ParseInt32Or(s.LastExitCode, 1)));
    }
    if (!ReloadDocuments()) {
      s.ScratchKeyList.clear();
      FinalCleanup();
      platform::ExitNow(1);
    }
    if (MainForm().Exists()) {
      WindowPosition current;
      MainForm().form().GetPosition(current.left, current.top);
      const WindowPosition back = LoadWindowPosition(Config(), current);
      MainForm().form().SetPosition(back.left, back.top);
    }
    ShowCompletionScreen();
    return;
  }
  if (s.Silent) {
    s.ScratchKeyList.clear();
    FinalCleanup();
    platform::ExitNow(11);
  }
  MessageOnMain(ReplaceAll(noRights, L"<#>", L"\r\n"), platform::MsgIcon::Error, platform::MsgButtons::Ok, 1,
                s.AppNameVersion);
  ReloadDocuments();
}

}  // namespace

void ShowCompletionScreen() {
  auto& s = State();
  std::wstring title = ExpandVariables(LangText(L"SetupComplete", 0));
  std::wstring desc = ExpandVariables(LangText(L"SetupComplete", 1));
  if (s.HadErrors) desc = ExpandVariables(LangText(L"SetupComplete", 1) + L"<#>" + LangText(L"SetupComplete", 2));
  std::wstring button = SetupBool(L"LaunchFile") ? ExpandVariables(LangText(L"SetupComplete", 4, L"Launch App"))
                                                 : LangText(L"Buttons", 8, L"Finish");
  MainForm().ShowCompletion(title, desc, button, s.HadErrors, SetupBool(L"LaunchFile"));
  if (s.NeedsElevation) MainForm().SetInstallShield(false);
}

void FinishClick() {
  MainForm().EnableInstall(false);
  RunCompletionActions();
  if (MainForm().Exists()) MainForm().Close();
  else FormClose();
}

void BInstallClick() {
  auto& s = State();
  if (s.InstallationCompleted) {
    FinishClick();
    return;
  }
  s.InstallDir = Trim(s.InstallDir);
  if (s.InstallDir.size() < 2) {
    if (s.Silent) ExitSetup(5);
    Warn(ExpandVariables(LangText(L"DestinationFolder", 1)));
    OpenOptions();
    return;
  }
  const wchar_t d0 = s.InstallDir[0];
  if (!Switch(L"-nochecksize") && FindParam(L"/NCS") == 0 && s.InstallDir[1] == L':' &&
      ((d0 >= L'A' && d0 <= L'Z') || (d0 >= L'a' && d0 <= L'z'))) {
    if (static_cast<int64_t>(DriveFreeSpace(s.InstallDir)) < s.TotalSize) {
      if (s.Silent) ExitSetup(5);
      const std::wstring raw = LangText(L"DestinationFolder", 7);
      const std::wstring text = FormatAndExpand(raw, s.InstallDir.substr(0, 2));
      if (raw.find(L'?') == std::wstring::npos) {
        Warn(text);
        return;
      }
      if (MessageOnMain(text, platform::MsgIcon::Warning, platform::MsgButtons::YesNo, 2) != platform::MsgResult::Yes)
        return;
    }
  }
  const auto& o = s.Options;
  // A drop-down list that must be answered (a silent run takes what was prepared).
  if (!s.Silent && o.GroupBox3.visible && o.ComboBox1.enabled && OptionsForm().ComboSelection() == -1 &&
      !Switch(L"-allowemptycombobox")) {
    OpenOptions();
    return;
  }
  if (o.GroupBox4.visible && !ComponentsSelected()) {
    OpenOptions();
    return;
  }
  if (o.GroupBox5.visible && !s.UserInfoHidden && !s.Silent) {
    OpenOptions();
    return;
  }
  if (Config().SectionExists(L"Commands")) {
    MainForm().ShowOptionsLink(false);
    BeginCommandStage();
    const size_t n = RecordCount(Config(), L"Commands");
    for (size_t i = 0; i < n; ++i) {
      RunCommandRecord(4, ReadRecord(Config(), L"Commands", i));
      if (s.HaltRequested) ExitSetup(5);
      if (s.StopRequested) {
        MainForm().ShowOptionsLink(true);
        return;
      }
    }
    MainForm().ShowOptionsLink(true);
  }
  if (!s.NeedsElevation) {
    RunInstallation();
    ShowCompletionScreen();
    return;
  }
  StartElevatedCopy();
}

}  // namespace ek
