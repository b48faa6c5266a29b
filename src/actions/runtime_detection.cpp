#include "actions/runtime_detection.h"

#include <algorithm>
#include <array>
#include <utility>

#include "base/text.h"
#include "config/utilities.h"
#include "core/setup_state.h"
#include "platform/file_system.h"

namespace ek {

MachineRegistry::MachineRegistry(std::wstring base, bool is64BitEngine)
    : base_(std::move(base)), is64BitEngine_(is64BitEngine) {}

bool MachineRegistry::Open(platform::RegKey& key, View view, std::wstring_view path) const {
  platform::RegView v = platform::RegView::View64;
  if (view == View::View32 || (view == View::Native && !is64BitEngine_)) v = platform::RegView::View32;
  std::wstring full = base_;
  if (!full.empty() && !path.empty()) full += L'\\';
  full += path;
  return key.Open(platform::RegRoot::LocalMachine, full, v, false);
}

bool MachineRegistry::KeyExists(View view, std::wstring_view path) const {
  platform::RegKey k;
  return Open(k, view, path);
}

std::optional<std::wstring> MachineRegistry::String(View view, std::wstring_view path, std::wstring_view name) const {
  platform::RegKey k;
  if (!Open(k, view, path)) return std::nullopt;
  return k.ReadString(std::wstring(name));
}

std::optional<uint32_t> MachineRegistry::Dword(View view, std::wstring_view path, std::wstring_view name) const {
  platform::RegKey k;
  if (!Open(k, view, path)) return std::nullopt;
  return k.ReadDword(std::wstring(name));
}

std::optional<std::wstring> MachineRegistry::Text(View view, std::wstring_view path, std::wstring_view name) const {
  platform::RegKey k;
  if (!Open(k, view, path)) return std::nullopt;
  return k.ReadAsText(std::wstring(name));
}

bool MachineRegistry::ValueExists(View view, std::wstring_view path, std::wstring_view name) const {
  platform::RegKey k;
  return Open(k, view, path) && k.ValueExists(std::wstring(name));
}

std::vector<std::wstring> MachineRegistry::SubKeyNames(View view, std::wstring_view path) const {
  platform::RegKey k;
  if (!Open(k, view, path)) return {};
  return k.SubKeyNames();
}

std::vector<std::wstring> MachineRegistry::ValueNames(View view, std::wstring_view path) const {
  platform::RegKey k;
  if (!Open(k, view, path)) return {};
  return k.ValueNames();
}

namespace {

using View = MachineRegistry::View;

constexpr std::array<std::wstring_view, 12> kDotNetTable = {L"4.6", L"4.6.1", L"4.6.2", L"4.7",  L"4.7.1", L"4.7.2",
                                                            L"4.8", L"5.0",   L"6.0",   L"7.0",  L"8.0",   L"9.0"};
constexpr std::array<std::wstring_view, 4> kSqlCompactTable = {L"3.5", L"3.5 SP1", L"3.5 SP2", L"4.0"};
constexpr std::array<std::wstring_view, 19> kSqlExpressTable = {
    L"2005",    L"2005 SP1",    L"2005 SP2",    L"2005 SP3", L"2005 SP4", L"2008", L"2008 SP1",
    L"2008 SP2", L"2008 SP3",   L"2008 R2",     L"2008 R2 SP1", L"2008 R2 SP2", L"2012", L"2012 SP1",
    L"2014",    L"2016",        L"2017",        L"2019",     L"2022"};
constexpr std::array<std::wstring_view, 7> kVcRuntimeTable = {L"2010", L"2012", L"2013", L"2015",
                                                              L"2017", L"2019", L"2022"};

template <size_t N>
std::optional<std::wstring_view> Entry(const std::array<std::wstring_view, N>& table, int index) {
  if (index < 0 || static_cast<size_t>(index) >= N) return std::nullopt;
  return table[static_cast<size_t>(index)];
}

bool StartsWith(std::wstring_view text, std::wstring_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// The number before the first ".", 0 when it is not a number.
int MajorOf(std::wstring_view version) {
  const size_t dot = version.find(L'.');
  return ParseInt32Or(version.substr(0, dot), 0);
}

// Prefix rules where a later match overrides an earlier one.
int LastMatchingPrefix(std::wstring_view text, std::initializer_list<std::pair<std::wstring_view, int>> rules,
                       int index) {
  for (const auto& [prefix, value] : rules)
    if (StartsWith(text, prefix)) index = value;
  return index;
}

constexpr std::wstring_view kNdpFull = L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full";

int DotNetCoreIndex(const MachineRegistry& reg, bool useCoreRuntime) {
  std::wstring key = reg.Is64BitEngine() ? L"SOFTWARE\\dotnet\\Setup\\InstalledVersions\\x64"
                                         : L"SOFTWARE\\dotnet\\Setup\\InstalledVersions\\x86";
  if (!reg.KeyExists(View::View32, key)) return -1;
  key += useCoreRuntime ? L"\\sharedfx\\Microsoft.NETCore.App" : L"\\sharedfx\\Microsoft.WindowsDesktop.App";
  int major = -1;
  for (const auto& name : reg.ValueNames(View::View32, key)) {
    const auto flag = reg.Dword(View::View32, key, name);
    if (flag && *flag == 1) major = std::max(major, MajorOf(name));
  }
  if (major == 5) return 7;
  if (major == 6) return 8;
  if (major == 7) return 9;
  if (major == 8) return 10;
  if (major >= 9) return 11;
  return -1;
}

// Release numbers of the .NET Framework 4.6 to 4.8, in table order.
constexpr std::array<uint32_t, 7> kFrameworkReleases = {393295, 394254, 394802, 460798, 461308, 461808, 528040};

// The Reader's subkey with the greatest decimal name ("9.0", "11.0", "2017").
std::optional<std::wstring> GreatestNumericName(const std::vector<std::wstring>& names) {
  std::optional<std::wstring> best;
  double bestValue = 0;
  for (const auto& n : names) {
    const size_t dot = n.find(L'.');
    const std::wstring_view whole = std::wstring_view(n).substr(0, dot);
    const std::wstring_view fraction = dot == std::wstring::npos ? std::wstring_view() : std::wstring_view(n).substr(dot + 1);
    const auto w = ParseUnsignedDecimal(whole);
    if (!w || (dot != std::wstring::npos && !fraction.empty() && !ParseUnsignedDecimal(fraction))) continue;
    double value = static_cast<double>(*w);
    double scale = 0.1;
    for (wchar_t c : fraction) {
      value += (c - L'0') * scale;
      scale /= 10;
    }
    if (!best || value > bestValue) {
      best = n;
      bestValue = value;
    }
  }
  return best;
}

bool IsFourDigits(std::wstring_view s) {
  if (s.size() != 4) return false;
  for (wchar_t c : s)
    if (c < L'0' || c > L'9') return false;
  return true;
}

// "CurrentVersion" of a Java key, when the key has it.
void ReadJavaKey(const MachineRegistry& reg, View view, std::wstring_view key, std::wstring& result) {
  if (auto v = reg.String(view, key, L"CurrentVersion")) result = *v;
}

constexpr std::wstring_view kSqlServer = L"SOFTWARE\\Microsoft\\Microsoft SQL Server\\";

int SqlExpressInstanceIndex(std::wstring_view v) {
  switch (const int major = MajorOf(v)) {
    case 9:
      return LastMatchingPrefix(v, {{L"9.00.2", 1}, {L"9.00.3", 2}, {L"9.00.4", 3}, {L"9.00.5", 4}}, 0);
    case 10:
      return LastMatchingPrefix(
          v, {{L"10.00.2", 6}, {L"10.00.4", 7}, {L"10.00.5", 8}, {L"10.5", 9}, {L"10.50.2", 10}, {L"10.50.4", 11}}, 5);
    case 11:
      return LastMatchingPrefix(v, {{L"11.0.3", 13}, {L"11.00.3", 13}}, 12);
    case 12: return 14;
    case 13: return 15;
    case 14: return 16;
    case 15: return 17;
    default: return major >= 16 ? 18 : -1;
  }
}

}  // namespace

std::optional<std::wstring_view> DotNetTableEntry(int index) { return Entry(kDotNetTable, index); }
std::optional<std::wstring_view> SqlCompactTableEntry(int index) { return Entry(kSqlCompactTable, index); }
std::optional<std::wstring_view> SqlExpressTableEntry(int index) { return Entry(kSqlExpressTable, index); }
std::optional<std::wstring_view> VcRuntimeTableEntry(int index) { return Entry(kVcRuntimeTable, index); }

DotNetDetection DetectDotNet(const MachineRegistry& reg, bool useCoreRuntime) {
  DotNetDetection d;
  d.index = DotNetCoreIndex(reg, useCoreRuntime);
  const View view = reg.Is64BitEngine() ? View::View64 : View::View32;
  if (!reg.KeyExists(view, kNdpFull)) return d;
  const std::wstring installPath = reg.String(view, kNdpFull, L"InstallPath").value_or(L"");
  if (!installPath.empty())
    d.regAsmPath = StripTrailingBackslash(installPath) + L"\\RegAsm.exe";
  if (d.index != -1) return d;
  const auto install = reg.Dword(view, kNdpFull, L"Install");
  if (!install || *install != 1) return d;
  // A framework older than 4.6 (or without a release number) is below the table.
  if (const auto release = reg.Dword(view, kNdpFull, L"Release")) {
    for (size_t i = 0; i < kFrameworkReleases.size(); ++i)
      if (*release >= kFrameworkReleases[i]) d.index = static_cast<int>(i);
  }
  return d;
}

int DotNetIndex(const MachineRegistry& reg, bool useCoreRuntime) {
  const DotNetDetection d = DetectDotNet(reg, useCoreRuntime);
  if (!d.regAsmPath.empty()) State().RegAsmPath = d.regAsmPath;
  return d.index;
}

std::wstring AcrobatReaderVersion(const MachineRegistry& reg) {
  std::wstring result = L"0";
  if (reg.KeyExists(View::Native, L"SOFTWARE\\Adobe\\Acrobat Reader\\DC")) {
    if (auto folder = reg.String(View::Native, L"SOFTWARE\\Adobe\\Acrobat Reader\\DC\\InstallPath", L"")) {
      const std::wstring dir = StripTrailingBackslash(*folder);
      const std::wstring exe = dir + L"\\AcroRd32.exe";
      if (!dir.empty() && platform::DirectoryExists(ExtendedPath(dir)) && platform::FileExists(ExtendedPath(exe))) {
        result = L"15";
        const std::wstring version = FileVersionText(exe);
        if (!version.empty()) result = version;
        return result;
      }
    }
  }
  const auto best = GreatestNumericName(reg.SubKeyNames(View::Native, L"SOFTWARE\\Adobe\\Acrobat Reader"));
  if (!best) return L"0";
  return IsFourDigits(*best) ? best->substr(2) : *best;
}

std::wstring JavaVersionText(const MachineRegistry& reg, bool jreOnly) {
  std::wstring result = L"0";
  ReadJavaKey(reg, View::View64, L"SOFTWARE\\JavaSoft\\JRE", result);
  if (!jreOnly) ReadJavaKey(reg, View::View64, L"SOFTWARE\\JavaSoft\\JDK", result);
  if (result != L"0") return result;
  const View view = reg.Is64BitEngine() ? View::View64 : View::Native;
  ReadJavaKey(reg, view, L"SOFTWARE\\JavaSoft\\Java Runtime Environment", result);
  if (!jreOnly) ReadJavaKey(reg, view, L"SOFTWARE\\JavaSoft\\Java Development Kit", result);
  // The old keys name Java 8 and before "1.8".
  if (result.size() > 2 && StartsWith(result, L"1.")) result = result.substr(2, 1);
  return result;
}

int SqlCompactIndex(const MachineRegistry& reg) {
  int index = -1;
  const View view = reg.Is64BitEngine() ? View::View64 : View::Native;
  constexpr std::wstring_view v35 = L"SOFTWARE\\Microsoft\\Microsoft SQL Server Compact Edition\\v3.5\\ENU";
  constexpr std::wstring_view v40 = L"SOFTWARE\\Microsoft\\Microsoft SQL Server Compact Edition\\v4.0\\ENU";
  if (reg.KeyExists(view, v35) && StartsWith(reg.Text(view, v35, L"DesktopRuntimeVersion").value_or(L""), L"3.5")) {
    index = 0;
    // The service pack level is a number; it may be stored as one or as text.
    const std::wstring sp = reg.Text(view, v35, L"DesktopRuntimeServicePackLevel").value_or(L"");
    if (StartsWith(sp, L"1")) index = 1;
    if (StartsWith(sp, L"2")) index = 2;
  }
  if (reg.KeyExists(view, v40) && StartsWith(reg.Text(view, v40, L"DesktopRuntimeVersion").value_or(L""), L"4."))
    index = 3;
  return index;
}

int SqlExpressIndex(const MachineRegistry& reg) {
  const View view = reg.Is64BitEngine() ? View::View64 : View::Native;
  const std::wstring base(kSqlServer);
  // A value that exists but holds no text reads as empty text.
  auto read = [&](const std::wstring& key, std::wstring_view name) -> std::optional<std::wstring> {
    if (!reg.ValueExists(view, key, name)) return std::nullopt;
    return reg.String(view, key, name).value_or(L"");
  };
  const std::wstring instance = base + L"SQLEXPRESS\\MSSQLServer\\CurrentVersion";
  if (reg.KeyExists(view, instance)) {
    const int index = SqlExpressInstanceIndex(read(instance, L"CurrentVersion").value_or(L""));
    if (index != -1) return index;
  }
  // The client tools' version, or else the server's own, of one release.
  auto releaseIndex = [&](std::wstring_view number, std::wstring_view serverKey, std::wstring_view serverValue,
                          auto&& rule) -> int {
    const std::wstring root = base + std::wstring(number);
    if (!reg.KeyExists(view, root)) return -1;
    int index = -1;
    if (auto v = read(root + L"\\Tools\\ClientSetup\\CurrentVersion", L"CurrentVersion")) index = rule(*v);
    if (index != -1) return index;
    if (auto v = read(root + L"\\" + std::wstring(serverKey) + L"\\CurrentVersion", serverValue)) index = rule(*v);
    return index;
  };
  struct Release {
    std::wstring_view number, year, prefix;
    int index;
  };
  // For 2022 the value's existence is enough: the empty prefix matches any text.
  constexpr Release kRecent[] = {{L"160", L"2022", L"", 18},
                                 {L"150", L"2019", L"15.", 17},
                                 {L"140", L"2017", L"14.", 16},
                                 {L"130", L"2016", L"13.", 15},
                                 {L"120", L"2014", L"12.", 14}};
  for (const auto& r : kRecent) {
    const int index = releaseIndex(r.number, L"SQLServer" + std::wstring(r.year), L"Version",
                                   [&](const std::wstring& v) { return StartsWith(v, r.prefix) ? r.index : -1; });
    if (index != -1) return index;
  }
  int index = releaseIndex(L"110", L"SQLServer2012", L"Version", [](const std::wstring& v) {
    return LastMatchingPrefix(v, {{L"11.", 12}, {L"11.0.3", 13}, {L"11.00.3", 13}}, -1);
  });
  if (index != -1) return index;
  index = releaseIndex(L"100", L"SQLServer2008", L"CurrentVersion", [](const std::wstring& v) {
    return LastMatchingPrefix(v,
                              {{L"10.0", 5}, {L"10.00.2", 6}, {L"10.00.4", 7}, {L"10.00.5", 8}, {L"10.50", 9},
                               {L"10.50.2", 10}, {L"10.50.4", 11}},
                              -1);
  });
  if (index != -1) return index;
  if (auto v = read(base + L"90\\Tools\\ClientSetup\\CurrentVersion", L"CurrentVersion"))
    index = LastMatchingPrefix(*v, {{L"9.0", 0}, {L"9.00.2", 1}, {L"9.00.3", 2}, {L"9.00.4", 3}, {L"9.00.5", 4}}, -1);
  return index;
}

int VcRuntimeIndex(const MachineRegistry& reg) {
  constexpr std::wstring_view vs = L"SOFTWARE\\Microsoft\\VisualStudio";
  if (!reg.KeyExists(View::Native, vs)) return -1;
  const std::wstring root(vs);
  std::wstring arch = reg.Is64BitEngine() ? L"x64" : L"x86";
  if (reg.Is64BitEngine() && !reg.KeyExists(View::Native, root + L"\\14.0\\VC\\Runtimes\\x64") &&
      reg.KeyExists(View::Native, root + L"\\14.0\\VC\\Runtimes\\ia64"))
    arch = L"ia64";
  int index = -1;
  const std::pair<std::wstring, int> kKeys[] = {{L"\\10.0\\VC\\VCRedist\\", 0},
                                                {L"\\11.0\\VC\\Runtimes\\", 1},
                                                {L"\\12.0\\VC\\Runtimes\\", 2},
                                                {L"\\15.0\\VC\\Runtimes\\", 6}};
  for (const auto& [key, value] : kKeys)
    if (reg.KeyExists(View::Native, root + key + arch)) index = value;
  const std::wstring current = root + L"\\14.0\\VC\\Runtimes\\" + arch;
  if (!reg.KeyExists(View::Native, current)) return index;
  std::wstring version = reg.String(View::Native, current, L"Version").value_or(L"");
  // The key of the 2015-2022 family without a readable version proves only
  // the family's first release.
  if (version.empty()) return 3;
  if (version[0] == L'V' || version[0] == L'v') version.erase(0, 1);
  const size_t dot = version.find(L'.');
  if (dot != std::wstring::npos) version.resize(std::min(version.size(), dot + 2));
  if (version == L"14.0") return 3;
  if (version == L"14.1") return 4;
  if (version == L"14.2") return 5;
  return 6;
}

bool MajorVersionAtLeast(std::wstring_view installed, std::wstring_view required) {
  struct ReaderName {
    std::wstring_view name;
    const wchar_t* major;
  };
  constexpr ReaderName kReaderNames[] = {{L"X (10.0)", L"10"}, {L"XI (11.0)", L"11"}, {L"DC 2015", L"15"},
                                         {L"DC 2018", L"18"},  {L"DC 2019", L"19"},   {L"DC 2020", L"20"},
                                         {L"DC 2021", L"21"}};
  for (const auto& r : kReaderNames)
    if (required == r.name) required = r.major;
  auto major = [](std::wstring_view v) { return ParseInt32Or(v.substr(0, v.find(L'.')), 0); };
  return major(installed) >= major(required);
}

std::wstring FileVersionText(const std::wstring& path) {
  const std::wstring p = ExtendedPath(path);
  if (!platform::FileExists(p)) return std::wstring();
  return platform::FileVersionText(p);
}

std::wstring RuntimeDisplayName(Runtime runtime, std::wstring_view required, bool is64BitEngine, bool noPlatform) {
  const std::wstring suffix = noPlatform ? std::wstring() : is64BitEngine ? L" (x64)" : L" (x86)";
  const int index = ParseInt32Or(required, -1);
  auto withVersion = [](std::wstring name, std::optional<std::wstring_view> entry) {
    if (entry) name += L" " + std::wstring(*entry);
    return name;
  };
  switch (runtime) {
    case Runtime::DotNet:
      return withVersion(index >= 0 && index < 7 ? L".NET Framework" : L".NET", DotNetTableEntry(index)) + suffix;
    case Runtime::AcrobatReader: return L"Adobe Acrobat Reader " + std::wstring(required);
    case Runtime::Java: return L"Java (JRE) " + std::wstring(required);
    case Runtime::SqlCompact: return withVersion(L"SQL Server Compact", SqlCompactTableEntry(index));
    case Runtime::SqlExpress: return withVersion(L"SQL Server Express", SqlExpressTableEntry(index)) + suffix;
    case Runtime::VisualCpp:
      return withVersion(L"Microsoft Visual C++", VcRuntimeTableEntry(index)) + L" Redistributable Package" +
             (suffix.empty() ? suffix : L" " + suffix.substr(1));
  }
  return std::wstring();
}

}  // namespace ek
