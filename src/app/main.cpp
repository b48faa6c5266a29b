// Program entry: the main window, its start-up, and the message loop.
#include <exception>
#include <new>

#include "app/main_form.h"
#include "core/memory_trace.h"
#include "platform/handles.h"
#include "platform/system.h"
#include "platform/ui.h"

// The C runtime's entry of a -municode GUI program (the types of windows.h
// spelt out, so that only platform/ includes it).
extern "C" int __stdcall wWinMain(struct HINSTANCE__*, struct HINSTANCE__*, wchar_t*, int) {
  // Before anything can load a DLL by name.
  ek::platform::RestrictDllSearch();
  try {
    ek::TraceMemory(L"Entry");
    // Shell links and the shell's dialogs need COM on the GUI thread.
    ek::platform::ComScope com;
    ek::CreateMainForm();
    return ek::platform::RunMessageLoop();
  } catch (const std::exception& e) {
    ek::EndOnUnexpectedError(e.what());
  } catch (...) {
    ek::EndOnUnexpectedError("unknown exception");
  }
}
