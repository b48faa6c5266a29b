#include "app/main_form.h"

#include "app/install_button.h"
#include "app/pre_install.h"
#include "app/setup_log.h"
#include "app/setup_state.h"
#include "app/startup.h"
#include "config/language.h"
#include "config/variables.h"
#include "platform/process.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "ui/main_window.h"

namespace ek {

void CreateMainForm() {
  MainWindow::Events ev;
  ev.installClick = [] { BInstallClick(); };
  ev.closeQuery = [] { return FormCloseQuery(); };
  ev.closed = [] { FormClose(); };
  ev.activated = [] { FormActivate(); };
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
