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

OsVersion GetOsVersion();
// The product name by version, build and product type ("Windows 10",
// "Windows Server 2019", ...; "Windows" outside the known list).
std::wstring WindowsProductName(const OsVersion& v);
// The log's "OS=" text.
std::wstring OsDescription(const OsVersion& v, bool is64BitOs);

// Active member of Administrators or Power Users. The environment variable
// EK_TEST_AS_STANDARD_USER=1 makes it answer false for this process (the
// variable is removed, so programs it starts do not inherit it): the seam
// through which the tests reach the paths of a user without rights.
bool IsUserAdmin();
bool Is64BitOs();

uint16_t UserDefaultUiLanguage();
uint16_t SystemDefaultLangId();
uint16_t SystemDefaultUiLanguage();
uint16_t UserDefaultLangId();

struct LocalDate {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
LocalDate Today();
std::wstring ShortDateText();          // today in the user's short date format
std::wstring DateTimeText();           // now, date and time in the user's formats
std::wstring DecimalSeparator();       // the user's decimal separator

std::wstring NewGuidText();            // "{XXXXXXXX-...}" upper case; empty on failure
// Value of an environment variable of this process; empty when unset.
std::wstring EnvironmentValue(const std::wstring& name);
bool SetEnvironmentValue(const std::wstring& name, const std::wstring& value);

std::wstring CommandLineFull();        // GetCommandLineW
std::vector<std::wstring> CommandLineArgs();  // arguments after the program path

void SleepMs(uint32_t ms);
[[noreturn]] void ExitNow(uint32_t code);
uint32_t CurrentProcessId();
std::wstring LastErrorText();

}  // namespace ek::platform
