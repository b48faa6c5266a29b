// Facts about the machine, the process and the user, and small system calls.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ek::platform {

struct OsVersion {
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;
  uint32_t servicePackMajor = 0;
  bool isServer = false;        // product type other than workstation
  std::wstring displayVersion;  // for example "22H2"; empty when the system reports none
  uint32_t updateRevision = 0;  // UBR
};

[[nodiscard]] OsVersion GetOsVersion();
// The product name by version, build and product type ("Windows 10",
// "Windows Server 2019", ...; "Windows" outside the known list).
[[nodiscard]] std::wstring WindowsProductName(const OsVersion& v);
// The log's "OS=" text.
[[nodiscard]] std::wstring OsDescription(const OsVersion& v, bool is64BitOs);

// Active member of Administrators or Power Users. The environment variable
// EK_TEST_AS_STANDARD_USER=1 makes it answer false for this process (the
// variable is removed, so programs it starts do not inherit it): the seam
// through which the tests reach the paths of a user without rights.
[[nodiscard]] bool IsUserAdmin();
[[nodiscard]] bool Is64BitOs();

[[nodiscard]] uint16_t UserDefaultUiLanguage();
[[nodiscard]] uint16_t SystemDefaultLangId();
[[nodiscard]] uint16_t SystemDefaultUiLanguage();
[[nodiscard]] uint16_t UserDefaultLangId();

struct LocalDate {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
[[nodiscard]] LocalDate Today();
[[nodiscard]] std::wstring ShortDateText();          // today in the user's short date format
[[nodiscard]] std::wstring DateTimeText();           // now, date and time in the user's formats
[[nodiscard]] std::wstring DecimalSeparator();       // the user's decimal separator

[[nodiscard]] std::wstring NewGuidText();            // "{XXXXXXXX-...}" upper case; empty on failure
// Value of an environment variable of this process; empty when unset.
[[nodiscard]] std::wstring EnvironmentValue(const std::wstring& name);
[[nodiscard]] bool SetEnvironmentValue(const std::wstring& name, const std::wstring& value);

[[nodiscard]] std::wstring CommandLineFull();        // GetCommandLineW
[[nodiscard]] std::vector<std::wstring> CommandLineArgs();  // arguments after the program path

// The first call of both programs, before anything can load a DLL by name:
// DLLs are then looked for in the system folder only, never beside the
// program (a Downloads folder holds whatever else was downloaded) or in the
// current folder. A DLL given by its full path still loads from there.
void RestrictDllSearch();
// A function of a DLL of the system folder, loaded on first use and kept for
// the life of the process; null when either is missing. The programs import
// at start-up only DLLs that Windows itself never looks for beside them.
[[nodiscard]] void* SystemProcedure(const wchar_t* dll, const char* name);
// ExitWindowsEx(EWX_REBOOT). The environment variable EK_TEST_RESTART_RECORD
// names a file to which the request is appended instead ("EWX_REBOOT" and a
// line break): the seam through which the tests see a restart that Wine
// must not carry out.
[[nodiscard]] bool RequestRestart();
// Enables the shutdown privilege in the process's own token; false when the
// token cannot be opened or the privilege was not granted.
[[nodiscard]] bool EnableShutdownPrivilege();

void SleepMs(uint32_t ms);
[[noreturn]] void ExitNow(uint32_t code);
[[nodiscard]] uint32_t CurrentProcessId();
// This process's working set now and at its peak, in bytes (0 when unknown).
struct WorkingSet {
  uint64_t current = 0;
  uint64_t peak = 0;
};
[[nodiscard]] WorkingSet ProcessWorkingSet();
// Where this process's memory is, for the memory figures of the benchmarks:
// the working set, the committed memory by kind (program and DLL images,
// private memory, mapped files), the heaps' blocks in use and committed, and
// the loaded modules by file name with their image sizes, in load order.
struct MemoryReport {
  WorkingSet workingSet;
  uint64_t imageBytes = 0, privateBytes = 0, mappedBytes = 0;
  uint64_t heapBusyBytes = 0, heapCommittedBytes = 0;
  struct Module {
    std::wstring name;
    uint64_t size = 0;
  };
  std::vector<Module> modules;
};
[[nodiscard]] MemoryReport ProcessMemoryReport();
[[nodiscard]] std::wstring LastErrorText();
// The text of a Windows error code (also of the Internet functions), with the code.
[[nodiscard]] std::wstring ErrorCodeText(uint32_t code);

}  // namespace ek::platform
