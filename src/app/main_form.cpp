#include "app/main_form.h"

#include "app/install_button.h"
#include "app/pre_install.h"
#include "core/setup_log.h"
#include "base/result.h"
#include "base/text.h"
#include "core/host.h"
#include "core/memory_trace.h"
#include "core/setup_state.h"
#include "app/startup.h"
#include "config/language.h"
#include "config/variables.h"
#include "platform/process.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "platform/common_dialogs.h"
#include "ui/input_box.h"
#include "ui/main_window.h"
#include "ui/options_dialog.h"

namespace ek {
namespace {

// The main window as the subsystems' host.
class MainFormHost : public Host {
 public:
  // Boxes and dialogs belong to the options dialog while it is open.
  platform::WindowHandle Owner() const override {
    return OptionsForm().IsOpen() ? OptionsForm().form().handle() : MainForm().handle();
  }
  std::wstring Caption() const override { return MainForm().Caption(); }
  void HideWelcomeElements() override { MainForm().HideWelcomeElements(); }
  void SetTitle(const std::wstring& text) override { MainForm().SetTitle(text); }
  void SetDescription(const std::wstring& text) override { MainForm().SetDescription(text); }
  void SetProgress(int percent) override { MainForm().SetProgress(percent); }
  void ShowProgress(bool visible) override { MainForm().ShowProgress(visible); }
  void ShowWaitLabel(bool visible) override { MainForm().ShowWaitLabel(visible); }
  bool WaitLabelVisible() const override { return MainForm().WaitLabelVisible(); }
  std::wstring WaitCaption() const override { return MainForm().WaitCaption(); }
  void SetWaitCaption(const std::wstring& text) override { MainForm().SetWaitCaption(text); }
  void CenterWaitLabel() override { MainForm().CenterWaitLabel(); }
  void SetWaitCursor(bool wait) override { MainForm().SetWaitCursor(wait); }
  void ApplyLanguageTexts() override { MainForm().LoadWindowTexts(); }
  void RefreshOptions() override { OptionsForm().LoadOptionsTexts(); }
  // An unattended run never waits for an answer: it takes the default, as
  // if the user had cancelled.
  std::optional<std::wstring> InputBox(const std::wstring& title, const std::wstring& prompt,
                                       const std::wstring& initial) override {
    if (State().Silent) return std::nullopt;
    return ShowInputBox(Owner(), title, prompt, initial);
  }
  std::optional<std::wstring> ChooseFile() override {
    if (State().Silent) return std::nullopt;
    platform::OpenFileRequest r;
    r.owner = Owner();
    r.filterName = L"All files (*.*)";
    r.patterns = L"*.*";
    return platform::ChooseFile(r);
  }
  std::optional<std::wstring> ChooseFolder(const FolderRequest& request) override {
    if (State().Silent) return std::nullopt;
    return platform::PickFolder(Owner(), request.title, request.initialFolder, request.legacyBrowser);
  }
};

}  // namespace

void CreateMainForm() {
  static MainFormHost mainFormHost;
  SetHost(&mainFormHost);
  // An exception that escapes an event handler ends the run as one that
  // reaches the program entry does.
  platform::SetFatalHandler(&EndOnUnexpectedError);
  MainWindow::Events ev;
  ev.installClick = [] { BInstallClick(); };
  ev.closeQuery = [] { return FormCloseQuery(); };
  ev.closed = [] { FormClose(); };
  ev.activated = [] { FormActivate(); };
  ev.languageFileMissing = [] {
    ReleaseDocuments();
    StopWithError(4);
  };
  MainForm().Create(ev);
  FormCreate();
  TraceMemory(L"WindowReady");
  if (State().Silent) {
    // The window is never shown in a silent run; activation happens anyway.
    FormActivate();
  } else {
    MainForm().Show(true);
  }
}

bool FormCloseQuery() {
  auto& s = State();
  if (!s.StartupDone) platform::ExitNow(0);
  if (!MainForm().InstallEnabled() && !s.InstallationCompleted && SetupBool(L"Updater") &&
      SetupBool(L"CheckUpdateBefore")) {
    if (IsProcessRunning(L"Updater.exe")) {
      TerminateFoundProcess(s.FoundProcessId);
      return false;
    }
  }
  if (s.Silent || !s.InstallRunning) return true;
  if (MessageOnMain(ExpandVariables(LangText(L"Messages", 1, L"Cancel the installation?")), platform::MsgIcon::Question,
                    platform::MsgButtons::YesNo, 2, ExpandVariables(LangText(L"Messages", 0, L"Exit Setup"))) !=
      platform::MsgResult::No) {
    s.CancelRequested = true;
    platform::PumpMessages();
  }
  return false;
}

void FormClose() {
  auto& s = State();
  ReleaseDocuments();
  if (!s.Relaunched) FinalCleanup();
  if (!s.InstallationCompleted) platform::ExitNow(11);
  MainForm().form().Destroy();
  platform::PostQuit(0);
}

void EndOnUnexpectedError(std::string_view what) noexcept {
  auto& s = State();
  try {
    WriteLog(L"Error=Unexpected error: " + Utf8ToWide(what));
    s.HadErrors = true;
    s.SaveLog = true;
    ReleaseDocuments();
    s.UninstallIni.reset();
    if (!s.Relaunched) FinalCleanup();
    else Ignore(SaveLogFile(LogFilePath(), s.SetupLog));
  } catch (...) {
    // Nothing more can be done for the log; the exit code still tells.
  }
  platform::ExitNow(1);
}

}  // namespace ek
