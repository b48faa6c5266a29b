// A running program cannot delete its own file. The uninstaller hands that
// last step to a copy of itself that removes the original once the original
// has ended, and that disappears by itself when it ends: the copy is opened
// for deletion on close, and the copy inherits that handle, so the file goes
// when the last process holding it, the copy, is gone.
#pragma once

#include <cstdint>
#include <string>

namespace ek::platform {

// Copies the running executable to copyPath (which must not exist yet) and
// starts the copy with `arguments` followed by a blank and the number of an
// inherited handle of this process, for WaitForParentEnd. False when the
// copy cannot be made or started; the copy is then gone again.
[[nodiscard]] bool StartTransientCopy(const std::wstring& copyPath, const std::wstring& arguments);

// In the copy: waits for the process whose inherited handle StartTransientCopy
// passed; true when it has ended within the time.
[[nodiscard]] bool WaitForParentEnd(uint64_t handleValue, uint32_t timeoutMs);

}  // namespace ek::platform
