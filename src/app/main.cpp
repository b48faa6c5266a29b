// Program entry: the main window, its start-up, and the message loop.
#include <windows.h>

#include "app/main_form.h"
#include "platform/handles.h"
#include "platform/system.h"
#include "platform/ui.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  ek::platform::RestrictDllSearch();
  // Shell links and the shell's dialogs need COM on the GUI thread.
  ek::platform::ComScope com;
  ek::CreateMainForm();
  return ek::platform::RunMessageLoop();
}
