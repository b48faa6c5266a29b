#include "platform/self_removal.h"
#include "base/result.h"

#include <windows.h>

#include "base/text.h"
#include "platform/file_system.h"
#include "platform/handles.h"

namespace ek::platform {

bool StartTransientCopy(const std::wstring& copyPath, const std::wstring& arguments) {
  if (!::CopyFileW(ModulePath().c_str(), copyPath.c_str(), TRUE)) return false;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  // Opened before the start, so that the copy's file goes with the copy.
  UniqueFile self(::CreateFileW(copyPath.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, &inherit, OPEN_EXISTING,
                                FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!self) {
    ::DeleteFileW(copyPath.c_str());
    return false;
  }
  HANDLE parent = nullptr;
  if (!::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentProcess(), ::GetCurrentProcess(), &parent, SYNCHRONIZE,
                         TRUE, 0))
    return false;
  UniqueHandle parentHandle(parent);
  std::wstring commandLine = L"\"" + copyPath + L"\" " + arguments + L" " +
                             ToTextUnsigned(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(parent)));
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(copyPath.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
    return false;
  UniqueHandle process(pi.hProcess), thread(pi.hThread);
  return true;
}

bool WaitForParentEnd(uint64_t handleValue, uint32_t timeoutMs) {
  UniqueHandle parent(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(handleValue)));
  // Only a process handle is waited for; any other number is not ours to use.
  if (!parent || ::GetProcessId(parent.get()) == 0) {
    Ignore(parent.release());  // not a handle of ours: never closed
    return false;
  }
  return ::WaitForSingleObject(parent.get(), timeoutMs) == WAIT_OBJECT_0;
}

}  // namespace ek::platform
