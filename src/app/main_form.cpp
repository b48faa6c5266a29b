#include "app/main_form.h"

#include "app/install_button.h"
#include "app/pre_install.h"
#include "core/setup_log.h"
#include "core/host.h"
#include "core/setup_state.h"
#include "app/startup.h"
#include "config/language.h"
#include "config/variables.h"
#include "platform/process.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "ui/main_window.h"

namespace ek {
namespace {

// The main window as the subsystems' host.
class MainFormHost : public Host {
 public:
  platform::WindowHandle Owner() const override { return MainForm().handle(); }
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
};

// An exception that escaped an event handler: logged, the log saved with the
// clean-up, and the run ends with code 1.
void OnEscapedException(const std::wstring& what) {
  auto& s = State();
  WriteLog(L"Error=Unhandled exception: " + what);
  s.HadErrors = true;
  s.SaveLog = true;
  FinalCleanup();
  platform::ExitNow(1);
}

}  // namespace

void CreateMainForm() {
  static MainFormHost mainFormHost;
  SetHost(&mainFormHost);
  platform::SetFatalHandler(&OnEscapedException);
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

}  // namespace ek
