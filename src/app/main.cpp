// Program entry: the main window, its start-up, and the message loop.
#include <windows.h>

#include "app/main_form.h"
#include "platform/ui.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  ek::CreateMainForm();
  return ek::platform::RunMessageLoop();
}
