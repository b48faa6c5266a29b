// Functions of system DLLs that the programs do not import. The import
// table holds only DLLs whose loading brings nothing in from beside the
// program and that nearly every run needs: kernel32, user32, gdi32, advapi32,
// msvcrt, ole32 and the common controls (through the manifest); oleaut32,
// which only screen readers and type libraries need, is left out to spare
// every other run its memory. Everything else is loaded here, at
// run time, after RestrictDllSearch, from the system folder. shell32 is the
// example that matters: imported, it is bound before the program's first
// instruction, and its own dependencies (shcore.dll under Wine) are then
// looked for beside the setup file.
#pragma once

#include "platform/system.h"

namespace ek::platform {

// The function, typed as `Fn` (for example decltype(&::ShellExecuteW)); null
// when the DLL or the function is missing. Callers keep it in a static.
template <typename Fn>
[[nodiscard]] Fn SystemFunction(const wchar_t* dll, const char* name) {
  return reinterpret_cast<Fn>(SystemProcedure(dll, name));
}

}  // namespace ek::platform
