#include "platform/process.h"

#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include "base/text.h"
#include "platform/handles.h"
#include "platform/system_library.h"

namespace ek::platform {

bool ShellStart(const ShellStartRequest& r, const std::function<bool()>& poll, uint32_t* exitCode) {
  SHELLEXECUTEINFOW sei{};
  sei.cbSize = sizeof sei;
  sei.fMask = r.wait ? (SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_DDEWAIT | SEE_MASK_FLAG_NO_UI)
                     : (SEE_MASK_FLAG_DDEWAIT | SEE_MASK_FLAG_NO_UI);
  sei.hwnd = static_cast<HWND>(r.owner);
  sei.lpVerb = r.elevate ? L"runas" : nullptr;
  sei.lpFile = r.file.c_str();
  sei.lpParameters = r.parameters.empty() ? nullptr : r.parameters.c_str();
  sei.lpDirectory = nullptr;
  sei.nShow = r.show;
  static const auto shellExecuteEx = SystemFunction<decltype(&::ShellExecuteExW)>(L"shell32.dll", "ShellExecuteExW");
  if (!shellExecuteEx || !shellExecuteEx(&sei)) return false;
  if (!r.wait) return true;
  UniqueHandle process(sei.hProcess);
  DWORD code = 0;
  if (!process) {
    // The shell handed the target to a running program: nothing to wait for.
    if (exitCode) *exitCode = 0;
    return true;
  }
  while (true) {
    if (poll && !poll()) {
      code = kStillActive;
      break;
    }
    if (!::GetExitCodeProcess(process.get(), &code)) code = 0;
    if (code != STILL_ACTIVE) break;
    if (!poll) ::WaitForSingleObject(process.get(), 50);
  }
  if (exitCode) *exitCode = code;
  return true;
}

void ShellOpen(WindowHandle owner, const std::wstring& verb, const std::wstring& file, const std::wstring& parameters,
               int show) {
  static const auto shellExecute = SystemFunction<decltype(&::ShellExecuteW)>(L"shell32.dll", "ShellExecuteW");
  if (shellExecute)
    shellExecute(static_cast<HWND>(owner), verb.empty() ? nullptr : verb.c_str(), file.c_str(),
                 parameters.empty() ? nullptr : parameters.c_str(), nullptr, show);
}

std::optional<uint32_t> FindProcessByExeName(const std::wstring& fileName) {
  const std::wstring wanted = FoldCase(FileNamePart(fileName));
  if (wanted.empty()) return std::nullopt;
  UniqueFile snap(::CreateToolhelp32Snapshot(TH32CS_SNAPALL, 0));
  if (!snap) return std::nullopt;
  PROCESSENTRY32W pe{};
  pe.dwSize = sizeof pe;
  if (!::Process32FirstW(snap.get(), &pe)) return std::nullopt;
  do {
    if (FoldCase(FileNamePart(pe.szExeFile)) == wanted) return pe.th32ProcessID;
  } while (::Process32NextW(snap.get(), &pe));
  return std::nullopt;
}

bool TerminateProcessById(uint32_t pid) {
  UniqueHandle h(::OpenProcess(PROCESS_TERMINATE, FALSE, pid));
  if (!h) return false;
  return ::TerminateProcess(h.get(), 0) != 0;
}

std::optional<uint32_t> RunAndWait(const std::wstring& commandLine, bool hidden) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  if (hidden) {
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
  }
  PROCESS_INFORMATION pi{};
  std::wstring cmd = commandLine;
  if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, hidden ? CREATE_NO_WINDOW : 0, nullptr, nullptr,
                        &si, &pi))
    return std::nullopt;
  UniqueHandle process(pi.hProcess), thread(pi.hThread);
  ::WaitForSingleObject(process.get(), INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(process.get(), &code);
  return code;
}

}  // namespace ek::platform
