// ekprobe: reads back, through the real Win32 APIs inside Wine, what an
// installation did, and answers message boxes for unattended test runs.
// Output is UTF-8 on stdout, one "key=value" line per fact.
//
//   ekprobe reg <HKLM|HKCU|HKCR|HKU> <key> [value|*] [32|64]   value type and data
//   ekprobe regkey <root> <key> [32|64]                        exists=0/1
//   ekprobe link <file.lnk>                                    target, arguments, ...
//   ekprobe assoc <.ext>                                       open command of the shell
//   ekprobe env <name>                                         value in a new process
//   ekprobe folder <csidl>                                     shell folder path
//   ekprobe dialogs <seconds> <logfile> [answer]               answers message boxes
//     answer: one button for every box (ok, cancel, yes, no, retry, ...), or a
//     comma list taken in turn ("retry,retry,cancel"), after which boxes get
//     their default button
//   ekprobe linkflags <file.lnk>                               LinkFlags of the header
//   ekprobe attrs <path>                                       file attributes
//   ekprobe typelib <file.tlb> <{guid}>                        writes an empty type library
//   ekprobe font <face name>                                   found=1 when a new process sees the face
//   ekprobe loadlib <name.dll>                                 path= of the DLL Windows loads for the name,
//                                                              the ordinary way (no restricted search)
//   ekprobe lock <path> <seconds> <readyfile>                  holds the file open, shared with no one;
//                                                              writes readyfile once it does
//   ekprobe startup <exe> [args...]                             ms from the start of the program to its
//                                                              visible setup window; the program is then ended
//   ekprobe responsive <seconds>                               how fast the setup window answers, once a 100 ms
#include <windows.h>
#include <shlwapi.h>
#include <oleauto.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "base/text.h"
#include "platform/file_system.h"
#include "platform/handles.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "window_probe.h"

using namespace ek;
using namespace ek::platform;

namespace {

// One line per fact: line breaks inside a value are written as \r and \n.
void Out(const std::wstring& key, const std::wstring& value) {
  std::string line = WideToUtf8(key) + "=" + WideToUtf8(ReplaceAll(ReplaceAll(value, L"\r", L"\\r"), L"\n", L"\\n")) + "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

bool Root(const std::wstring& name, RegRoot& root) {
  const std::wstring u = ToUpperAscii(name);
  if (u == L"HKLM" || u == L"HKEY_LOCAL_MACHINE") root = RegRoot::LocalMachine;
  else if (u == L"HKCU" || u == L"HKEY_CURRENT_USER") root = RegRoot::CurrentUser;
  else if (u == L"HKCR" || u == L"HKEY_CLASSES_ROOT") root = RegRoot::ClassesRoot;
  else if (u == L"HKU" || u == L"HKEY_USERS") root = RegRoot::Users;
  else return false;
  return true;
}

std::wstring Hex(const std::vector<unsigned char>& d) {
  std::wstring out;
  wchar_t b[4];
  for (unsigned char c : d) {
    std::swprintf(b, 4, L"%02X", c);
    out += b;
  }
  return out;
}

void PrintValue(const RegKey& k, const std::wstring& name) {
  auto v = k.ReadValue(name);
  if (!v) {
    Out(L"value[" + name + L"]", L"<missing>");
    return;
  }
  std::wstring data;
  if (v->type == kRegSz || v->type == kRegExpandSz) data = k.ReadString(name).value_or(L"");
  else if (v->type == kRegDword) data = std::to_wstring(k.ReadDword(name).value_or(0));
  else data = Hex(v->data);
  Out(L"type[" + name + L"]", std::to_wstring(v->type));
  Out(L"value[" + name + L"]", data);
}

int Reg(int argc, wchar_t** argv) {
  if (argc < 4) return 2;
  RegRoot root;
  if (!Root(argv[2], root)) return 2;
  RegView view = RegView::View64;
  std::wstring value = argc > 4 ? argv[4] : L"*";
  if (argc > 5 && std::wstring(argv[5]) == L"32") view = RegView::View32;
  RegKey k;
  if (!k.Open(root, argv[3], view, false)) {
    Out(L"exists", L"0");
    return 0;
  }
  Out(L"exists", L"1");
  if (value == L"*") {
    for (const auto& n : k.ValueNames()) PrintValue(k, n);
    for (const auto& s : k.SubKeyNames()) Out(L"subkey", s);
  } else {
    PrintValue(k, value == L"@" ? L"" : value);
  }
  return 0;
}

int RegKeyCmd(int argc, wchar_t** argv) {
  if (argc < 4) return 2;
  RegRoot root;
  if (!Root(argv[2], root)) return 2;
  RegView view = (argc > 4 && std::wstring(argv[4]) == L"32") ? RegView::View32 : RegView::View64;
  Out(L"exists", RegKeyExists(root, argv[3], view) ? L"1" : L"0");
  return 0;
}

int Link(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  ComScope com;
  auto d = ReadShellLink(argv[2]);
  if (!d) {
    Out(L"ok", L"0");
    return 0;
  }
  Out(L"ok", L"1");
  Out(L"target", d->target);
  Out(L"arguments", d->arguments);
  Out(L"description", d->description);
  Out(L"workdir", d->workingDirectory);
  Out(L"icon", d->iconPath);
  Out(L"iconindex", std::to_wstring(d->iconIndex));
  Out(L"show", std::to_wstring(d->showCommand));
  return 0;
}

int LinkFlags(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  auto bytes = ReadWholeFile(argv[2]);
  if (!bytes || bytes->size() < 24) return 1;
  uint32_t flags = 0;
  std::memcpy(&flags, bytes->data() + 20, 4);
  Out(L"linkflags", std::to_wstring(flags));
  return 0;
}

int Attrs(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  DWORD a = ::GetFileAttributesW(argv[2]);
  Out(L"attributes", a == INVALID_FILE_ATTRIBUTES ? L"<missing>" : std::to_wstring(a));
  return 0;
}

int Assoc(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  wchar_t buf[2048];
  DWORD len = 2048;
  HRESULT hr = ::AssocQueryStringW(ASSOCF_NONE, ASSOCSTR_COMMAND, argv[2], L"open", buf, &len);
  Out(L"command", SUCCEEDED(hr) ? std::wstring(buf) : L"<none>");
  len = 2048;
  hr = ::AssocQueryStringW(ASSOCF_NONE, ASSOCSTR_FRIENDLYDOCNAME, argv[2], nullptr, buf, &len);
  Out(L"description", SUCCEEDED(hr) ? std::wstring(buf) : L"<none>");
  return 0;
}

int Env(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  wchar_t buf[32768];
  DWORD n = ::GetEnvironmentVariableW(argv[2], buf, 32768);
  Out(L"value", n ? std::wstring(buf, n) : L"<unset>");
  return 0;
}

int CALLBACK FoundFont(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM lp) {
  *reinterpret_cast<bool*>(lp) = true;
  return 0;
}

int Font(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  LOGFONTW lf{};
  lf.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(lf.lfFaceName, argv[2], LF_FACESIZE);
  HDC dc = ::GetDC(nullptr);
  bool found = false;
  ::EnumFontFamiliesExW(dc, &lf, FoundFont, reinterpret_cast<LPARAM>(&found), 0);
  ::ReleaseDC(nullptr, dc);
  Out(L"found", found ? L"1" : L"0");
  return 0;
}

int Folder(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  Out(L"path", ShellFolder(_wtoi(argv[2])));
  return 0;
}

int TypeLib(int argc, wchar_t** argv) {
  if (argc < 4) return 2;
  GUID guid;
  if (FAILED(::CLSIDFromString(argv[3], &guid))) return 2;
  ComPtr<ICreateTypeLib2> lib;
  if (FAILED(::CreateTypeLib2(SYS_WIN64, argv[2], lib.put()))) return 1;
  wchar_t name[] = L"EkTestLibrary";
  lib->SetGuid(guid);
  lib->SetName(name);
  lib->SetVersion(1, 0);
  lib->SetLcid(0);
  const bool ok = SUCCEEDED(lib->SaveAllChanges());
  Out(L"ok", ok ? L"1" : L"0");
  return ok ? 0 : 1;
}

struct DialogLog {
  FILE* file = nullptr;
  int answer = 0;  // 0: the default button
  std::vector<int> sequence;  // when given: one answer per box, in turn
  size_t next = 0;
  bool press = false;  // also press the installer window's big button
  std::set<HWND> answered;
};

int AnswerId(const std::wstring& a) {
  if (a == L"ok") return IDOK;
  if (a == L"cancel") return IDCANCEL;
  if (a == L"abort") return IDABORT;
  if (a == L"retry") return IDRETRY;
  if (a == L"ignore") return IDIGNORE;
  if (a == L"yes") return IDYES;
  if (a == L"no") return IDNO;
  if (a == L"yestoall") return 1001;
  if (a == L"notoall") return 1002;
  return 0;
}

BOOL CALLBACK ChildText(HWND child, LPARAM lp) {
  wchar_t cls[64];
  ::GetClassNameW(child, cls, 64);
  if (std::wstring(cls) == L"Static") {
    wchar_t text[4096];
    int n = ::GetWindowTextW(child, text, 4096);
    if (n > 0) reinterpret_cast<std::wstring*>(lp)->append(text, static_cast<size_t>(n));
  }
  return TRUE;
}

// Only the big button: the links of the window are buttons too.
BOOL CALLBACK PressButton(HWND child, LPARAM) {
  if (probe::ControlName(child) == L"BInstall" && ::IsWindowVisible(child) && ::IsWindowEnabled(child))
    ::PostMessageW(child, BM_CLICK, 0, 0);
  return TRUE;
}

BOOL CALLBACK AnswerDialog(HWND hwnd, LPARAM lp) {
  auto* log = reinterpret_cast<DialogLog*>(lp);
  wchar_t cls[64];
  ::GetClassNameW(hwnd, cls, 64);
  if (log->press && std::wstring(cls) == L"EkSetupForm" && ::IsWindowVisible(hwnd) && ::IsWindowEnabled(hwnd)) {
    ::EnumChildWindows(hwnd, PressButton, 0);
    return TRUE;
  }
  if (std::wstring(cls) != L"#32770" || !::IsWindowVisible(hwnd)) return TRUE;
  if (!log->answered.insert(hwnd).second) return TRUE;
  wchar_t caption[512];
  ::GetWindowTextW(hwnd, caption, 512);
  std::wstring text;
  ::EnumChildWindows(hwnd, ChildText, reinterpret_cast<LPARAM>(&text));
  text = ReplaceAll(ReplaceAll(text, L"\r", L""), L"\n", L"|");
  if (log->file) {
    std::string line = WideToUtf8(std::wstring(caption) + L"\t" + text) + "\n";
    std::fwrite(line.data(), 1, line.size(), log->file);
    std::fflush(log->file);
  }
  // The default button, as a user pressing Enter would.
  WORD id = static_cast<WORD>(log->answer);
  if (!log->sequence.empty()) id = static_cast<WORD>(log->next < log->sequence.size() ? log->sequence[log->next++] : 0);
  if (id == 0) {
    LRESULT def = ::SendMessageW(hwnd, DM_GETDEFID, 0, 0);
    id = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
  }
  ::PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
  return TRUE;
}

int Dialogs(int argc, wchar_t** argv) {
  if (argc < 4) return 2;
  const DWORD seconds = static_cast<DWORD>(_wtoi(argv[2]));
  DialogLog log;
  log.file = _wfopen(argv[3], L"ab");
  if (argc > 4) {
    std::wstring a = argv[4];
    const size_t plus = a.find(L"+press");
    log.press = plus != std::wstring::npos;
    if (log.press) a.erase(plus);
    if (a.find(L',') != std::wstring::npos) {
      for (const auto& one : Split(a, L",")) log.sequence.push_back(AnswerId(one));
    } else {
      log.answer = AnswerId(a);
    }
  }
  const DWORD end = ::GetTickCount() + seconds * 1000;
  while (::GetTickCount() < end) {
    ::EnumWindows(AnswerDialog, reinterpret_cast<LPARAM>(&log));
    ::Sleep(150);
  }
  if (log.file) std::fclose(log.file);
  return 0;
}

// The ordinary LoadLibrary by name, as any program that does not restrict
// its DLL search does it: the control of the planting test.
int LoadLib(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  HMODULE module = ::LoadLibraryW(argv[2]);
  wchar_t path[MAX_PATH] = {};
  if (module) ::GetModuleFileNameW(module, path, MAX_PATH);
  Out(L"path", path);
  return module ? 0 : 1;
}

// A program that has the file open for itself, as an editor or a running
// service would.
int Lock(int argc, wchar_t** argv) {
  if (argc < 5) return 2;
  platform::UniqueFile h(::CreateFileW(argv[2], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  Out(L"locked", h ? L"1" : L"0");
  if (!h) return 1;
  FILE* ready = _wfopen(argv[4], L"wb");
  if (ready) std::fclose(ready);
  ::Sleep(static_cast<DWORD>(_wtoi(argv[3])) * 1000);
  return 0;
}

struct Search {
  DWORD pid;
  bool found = false;
};

BOOL CALLBACK FindSetupWindow(HWND hwnd, LPARAM lp) {
  auto* s = reinterpret_cast<Search*>(lp);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  wchar_t cls[64];
  ::GetClassNameW(hwnd, cls, 64);
  if (pid == s->pid && std::wstring(cls) == L"EkSetupForm" && ::IsWindowVisible(hwnd)) s->found = true;
  return !s->found;
}

// Starts the program and measures the time until its setup window is on the
// screen ("startup_ms=<ms>", or "startup_ms=none" within 120 s); then ends it.
int Startup(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  std::wstring command = L"\"" + std::wstring(argv[2]) + L"\"";
  for (int i = 3; i < argc; ++i) command += L" \"" + std::wstring(argv[i]) + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  LARGE_INTEGER freq, start, now;
  ::QueryPerformanceFrequency(&freq);
  ::QueryPerformanceCounter(&start);
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 1;
  platform::UniqueHandle process(pi.hProcess), thread(pi.hThread);
  Search search{pi.dwProcessId};
  double ms = -1;
  for (int i = 0; i < 120000 && ::WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT; ++i) {
    ::EnumWindows(FindSetupWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found) {
      ::QueryPerformanceCounter(&now);
      ms = static_cast<double>(now.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(freq.QuadPart);
      break;
    }
    ::Sleep(1);
  }
  Out(L"startup_ms", ms < 0 ? L"none" : std::to_wstring(static_cast<long long>(ms)));
  ::TerminateProcess(pi.hProcess, 0);
  ::WaitForSingleObject(pi.hProcess, 10000);
  return ms < 0 ? 1 : 0;
}

// Waits for the setup window, then asks it every 100 ms for an empty message
// and reports how long the answer took ("latency=<ms>" or "latency=none"
// when it did not answer within two seconds), until the window is gone.
int Responsive(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  const ULONGLONG end = ::GetTickCount64() + static_cast<ULONGLONG>(_wtoi(argv[2])) * 1000;
  HWND window = nullptr;
  while (!window && ::GetTickCount64() < end) {
    window = ::FindWindowW(L"EkSetupForm", nullptr);
    if (!window) ::Sleep(20);
  }
  while (window && ::IsWindow(window) && ::GetTickCount64() < end) {
    const ULONGLONG start = ::GetTickCount64();
    DWORD_PTR result = 0;
    const bool answered = ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &result) != 0;
    if (!::IsWindow(window)) break;
    Out(L"latency", answered ? std::to_wstring(::GetTickCount64() - start) : L"none");
    ::Sleep(100);
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const std::wstring cmd = argv[1];
  if (cmd == L"reg") return Reg(argc, argv);
  if (cmd == L"regkey") return RegKeyCmd(argc, argv);
  if (cmd == L"link") return Link(argc, argv);
  if (cmd == L"linkflags") return LinkFlags(argc, argv);
  if (cmd == L"assoc") return Assoc(argc, argv);
  if (cmd == L"attrs") return Attrs(argc, argv);
  if (cmd == L"typelib") return TypeLib(argc, argv);
  if (cmd == L"env") return Env(argc, argv);
  if (cmd == L"folder") return Folder(argc, argv);
  if (cmd == L"font") return Font(argc, argv);
  if (cmd == L"dialogs") return Dialogs(argc, argv);
  if (cmd == L"loadlib") return LoadLib(argc, argv);
  if (cmd == L"lock") return Lock(argc, argv);
  if (cmd == L"responsive") return Responsive(argc, argv);
  if (cmd == L"startup") return Startup(argc, argv);
  return 2;
}
