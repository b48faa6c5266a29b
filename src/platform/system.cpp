#include "platform/system.h"

#include <windows.h>
#include <objbase.h>
#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "platform/handles.h"
#include "platform/registry.h"
#include "platform/system_library.h"

namespace ek::platform {

OsVersion GetOsVersion() {
  OsVersion v;
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof info;
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
  // RtlGetVersion reports the real version whatever the manifest says.
  auto fn = reinterpret_cast<RtlGetVersionFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  if (fn && fn(&info) == 0) {
    v.major = info.dwMajorVersion;
    v.minor = info.dwMinorVersion;
    v.build = info.dwBuildNumber;
    v.servicePackMajor = info.wServicePackMajor;
    v.isServer = info.wProductType != VER_NT_WORKSTATION;
  }
  RegKey key;
  if (key.Open(RegRoot::LocalMachine, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", RegView::View64, false)) {
    if (auto dv = key.ReadString(L"DisplayVersion")) v.displayVersion = *dv;
    if (auto ubr = key.ReadDword(L"UBR")) v.updateRevision = *ubr;
  }
  return v;
}

std::wstring WindowsProductName(const OsVersion& v) {
  const bool s = v.isServer;
  if (v.major == 5 && v.minor == 0) return L"Windows 2000";
  if (v.major == 5 && v.minor == 1) return L"Windows XP";
  if (v.major == 5 && v.minor == 2) {
    if (!s) return L"Windows XP";
    return ::GetSystemMetrics(SM_SERVERR2) ? L"Windows Server 2003 R2" : L"Windows Server 2003";
  }
  if (v.major == 6 && v.minor == 0) return s ? L"Windows Server 2008" : L"Windows Vista";
  if (v.major == 6 && v.minor == 1) return s ? L"Windows Server 2008 R2" : L"Windows 7";
  if (v.major == 6 && v.minor == 2) return s ? L"Windows Server 2012" : L"Windows 8";
  if (v.major == 6 && v.minor == 3) return s ? L"Windows Server 2012 R2" : L"Windows 8.1";
  if (v.major == 10 && v.minor == 0) {
    if (!s) return v.build < 22000 ? L"Windows 10" : L"Windows 11";
    if (v.build < 17763) return L"Windows Server 2016";
    if (v.build < 20348) return L"Windows Server 2019";
    return L"Windows Server 2022";
  }
  return L"Windows";
}

std::wstring OsDescription(const OsVersion& v, bool is64BitOs) {
  const std::wstring name = WindowsProductName(v);
  const wchar_t* edition = is64BitOs ? L"64-bit Edition" : L"32-bit Edition";
  wchar_t buf[512];
  if (!v.displayVersion.empty()) {
    std::swprintf(buf, 512, L"%ls (Version %ls, OS Build %u.%u, %ls)", name.c_str(), v.displayVersion.c_str(),
                  v.build, v.updateRevision, edition);
  } else if (v.servicePackMajor > 0) {
    std::swprintf(buf, 512, L"%ls Service Pack %u (Version %u.%u, Build %u, %ls)", name.c_str(), v.servicePackMajor,
                  v.major, v.minor, v.build, edition);
  } else {
    std::swprintf(buf, 512, L"%ls (Version %u.%u, Build %u, %ls)", name.c_str(), v.major, v.minor, v.build, edition);
  }
  return buf;
}

namespace {

bool MemberOfBuiltinGroup(DWORD rid) {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID sid = nullptr;
  if (!::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, rid, 0, 0, 0, 0, 0, 0, &sid)) return false;
  BOOL member = FALSE;
  bool result = false;
  if (::CheckTokenMembership(nullptr, sid, &member)) {
    result = member != FALSE;
  } else {
    // Older systems: look the group up in the token ourselves.
    UniqueHandle token;
    HANDLE raw = nullptr;
    bool opened = ::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, &raw) != 0;
    if (!opened && ::GetLastError() == ERROR_NO_TOKEN) opened = ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw) != 0;
    if (opened) {
      token.reset(raw);
      DWORD len = 0;
      ::GetTokenInformation(token.get(), TokenGroups, nullptr, 0, &len);
      std::vector<unsigned char> buf(len);
      if (len && ::GetTokenInformation(token.get(), TokenGroups, buf.data(), len, &len)) {
        auto* groups = reinterpret_cast<TOKEN_GROUPS*>(buf.data());
        for (DWORD i = 0; i < groups->GroupCount; ++i) {
          const DWORD attrs = groups->Groups[i].Attributes;
          if (::EqualSid(groups->Groups[i].Sid, sid) && (attrs & (SE_GROUP_ENABLED | SE_GROUP_USE_FOR_DENY_ONLY)) == SE_GROUP_ENABLED) {
            result = true;
            break;
          }
        }
      }
    }
  }
  ::FreeSid(sid);
  return result;
}

}  // namespace

bool IsUserAdmin() {
  // The seam holds for this process only: a program it starts elevated must
  // see the rights it was given, as on a real system.
  static const bool standardUser = [] {
    const bool set = EnvironmentValue(L"EK_TEST_AS_STANDARD_USER") == L"1";
    ::SetEnvironmentVariableW(L"EK_TEST_AS_STANDARD_USER", nullptr);
    return set;
  }();
  if (standardUser) return false;
  return MemberOfBuiltinGroup(DOMAIN_ALIAS_RID_ADMINS) || MemberOfBuiltinGroup(DOMAIN_ALIAS_RID_POWER_USERS);
}

bool Is64BitOs() {
#if defined(_WIN64)
  return true;
#else
  BOOL wow = FALSE;
  return ::IsWow64Process(::GetCurrentProcess(), &wow) && wow;
#endif
}

uint16_t UserDefaultUiLanguage() { return ::GetUserDefaultUILanguage(); }
uint16_t SystemDefaultLangId() { return ::GetSystemDefaultLangID(); }
uint16_t SystemDefaultUiLanguage() { return ::GetSystemDefaultUILanguage(); }
uint16_t UserDefaultLangId() { return ::GetUserDefaultLangID(); }

LocalDate Today() {
  SYSTEMTIME st;
  ::GetLocalTime(&st);
  return LocalDate{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

std::wstring ShortDateText() {
  wchar_t buf[128];
  int n = ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, buf, 128, nullptr);
  return n > 0 ? std::wstring(buf) : std::wstring();
}

std::wstring DateTimeText() {
  wchar_t date[128], time[128];
  SYSTEMTIME st;
  ::GetLocalTime(&st);
  int d = ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, 128, nullptr);
  int t = ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &st, nullptr, time, 128);
  std::wstring out = d > 0 ? date : L"";
  if (t > 0) {
    out += L" ";
    out += time;
  }
  return out;
}

std::wstring DecimalSeparator() {
  wchar_t buf[8];
  int n = ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, buf, 8);
  return n > 1 ? std::wstring(buf) : std::wstring(L".");
}

std::wstring NewGuidText() {
  GUID g;
  if (FAILED(::CoCreateGuid(&g))) return std::wstring();
  wchar_t buf[64];
  std::swprintf(buf, 64, L"{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", static_cast<unsigned long>(g.Data1),
                g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                g.Data4[7]);
  return buf;
}

std::wstring EnvironmentValue(const std::wstring& name) {
  if (name.empty()) return std::wstring();
  DWORD need = ::GetEnvironmentVariableW(name.c_str(), nullptr, 0);
  if (need == 0) return std::wstring();
  std::wstring buf(need, L'\0');
  DWORD n = ::GetEnvironmentVariableW(name.c_str(), buf.data(), need);
  if (n == 0 || n >= need) return std::wstring();
  buf.resize(n);
  return buf;
}

bool SetEnvironmentValue(const std::wstring& name, const std::wstring& value) {
  return ::SetEnvironmentVariableW(name.c_str(), value.c_str()) != 0;
}

std::wstring CommandLineFull() {
  const wchar_t* c = ::GetCommandLineW();
  return c ? std::wstring(c) : std::wstring();
}

std::vector<std::wstring> CommandLineArgs() {
  std::vector<std::wstring> out;
  int argc = 0;
  static const auto toArgv = SystemFunction<decltype(&::CommandLineToArgvW)>(L"shell32.dll", "CommandLineToArgvW");
  LPWSTR* argv = toArgv ? toArgv(::GetCommandLineW(), &argc) : nullptr;
  if (!argv) return out;
  for (int i = 1; i < argc; ++i) out.emplace_back(argv[i]);
  ::LocalFree(argv);
  return out;
}

void RestrictDllSearch() {
  // Looked up rather than imported: where it is missing (an unpatched old
  // system) the program still starts, with the current folder at least out.
  using SetDefaultFn = BOOL(WINAPI*)(DWORD);
  const auto setDefault = reinterpret_cast<SetDefaultFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (!setDefault || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) ::SetDllDirectoryW(L"");
}

void* SystemProcedure(const wchar_t* dll, const char* name) {
  // Never freed: the functions are used until the process ends.
  HMODULE module = ::LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  return module ? reinterpret_cast<void*>(::GetProcAddress(module, name)) : nullptr;
}

bool RequestRestart() {
  const std::wstring record = EnvironmentValue(L"EK_TEST_RESTART_RECORD");
  if (!record.empty()) {
    UniqueFile f(::CreateFileW(record.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    static const char kLine[] = "EWX_REBOOT\r\n";
    DWORD written = 0;
    return f && ::WriteFile(f.get(), kLine, sizeof kLine - 1, &written, nullptr) && written == sizeof kLine - 1;
  }
  return ::ExitWindowsEx(EWX_REBOOT, 0) != 0;
}

bool EnableShutdownPrivilege() {
  HANDLE raw = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw)) return false;
  UniqueHandle token(raw);
  TOKEN_PRIVILEGES tp{};
  if (!::LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &tp.Privileges[0].Luid)) return false;
  tp.PrivilegeCount = 1;
  tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  // Success with ERROR_NOT_ALL_ASSIGNED means the token does not hold it.
  return ::AdjustTokenPrivileges(token.get(), FALSE, &tp, 0, nullptr, nullptr) && ::GetLastError() == ERROR_SUCCESS;
}

void SleepMs(uint32_t ms) { ::Sleep(ms); }
void ExitNow(uint32_t code) { ::ExitProcess(code); }
uint32_t CurrentProcessId() { return ::GetCurrentProcessId(); }

WorkingSet ProcessWorkingSet() {
  PROCESS_MEMORY_COUNTERS m{};
  m.cb = sizeof m;
  if (!::K32GetProcessMemoryInfo(::GetCurrentProcess(), &m, sizeof m)) return {};
  return {m.WorkingSetSize, m.PeakWorkingSetSize};
}

MemoryReport ProcessMemoryReport() {
  MemoryReport r;
  r.workingSet = ProcessWorkingSet();
  MEMORY_BASIC_INFORMATION mbi{};
  for (const char* at = nullptr; ::VirtualQuery(at, &mbi, sizeof mbi) == sizeof mbi;
       at = static_cast<const char*>(mbi.BaseAddress) + mbi.RegionSize) {
    if (mbi.State != MEM_COMMIT) continue;
    if (mbi.Type == MEM_IMAGE) r.imageBytes += mbi.RegionSize;
    else if (mbi.Type == MEM_MAPPED) r.mappedBytes += mbi.RegionSize;
    else r.privateBytes += mbi.RegionSize;
  }
  std::vector<HANDLE> heaps(::GetProcessHeaps(0, nullptr) + 8);
  heaps.resize(::GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
  for (HANDLE heap : heaps) {
    if (!::HeapLock(heap)) continue;
    PROCESS_HEAP_ENTRY e{};
    while (::HeapWalk(heap, &e)) {
      if (e.wFlags & PROCESS_HEAP_REGION) r.heapCommittedBytes += e.Region.dwCommittedSize;
      else if (e.wFlags & PROCESS_HEAP_ENTRY_BUSY) r.heapBusyBytes += e.cbData;
    }
    ::HeapUnlock(heap);
  }
  std::vector<HMODULE> modules(256);
  DWORD needed = 0;
  if (::K32EnumProcessModules(::GetCurrentProcess(), modules.data(), static_cast<DWORD>(modules.size() * sizeof(HMODULE)),
                              &needed)) {
    modules.resize(std::min<size_t>(modules.size(), needed / sizeof(HMODULE)));
    for (HMODULE m : modules) {
      wchar_t path[MAX_PATH] = {};
      ::GetModuleFileNameW(m, path, MAX_PATH);
      const wchar_t* name = std::wcsrchr(path, L'\\');
      MODULEINFO info{};
      ::K32GetModuleInformation(::GetCurrentProcess(), m, &info, sizeof info);
      r.modules.push_back({name ? name + 1 : path, info.SizeOfImage});
    }
  }
  return r;
}

std::wstring ErrorCodeText(uint32_t code) {
  wchar_t* msg = nullptr;
  ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, 0, reinterpret_cast<LPWSTR>(&msg), 0, nullptr);
  // The Internet functions keep their texts in their own module.
  const HMODULE wininet = ::GetModuleHandleW(L"wininet.dll");
  if (!msg && wininet)
    ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
                     wininet, code, 0, reinterpret_cast<LPWSTR>(&msg), 0, nullptr);
  std::wstring out = msg ? msg : L"";
  if (msg) ::LocalFree(msg);
  while (!out.empty() && (out.back() == L'\n' || out.back() == L'\r')) out.pop_back();
  return out + L" (" + std::to_wstring(code) + L")";
}

std::wstring LastErrorText() { return ErrorCodeText(::GetLastError()); }

}  // namespace ek::platform
