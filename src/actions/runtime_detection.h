// Which runtimes the machine has: .NET, Acrobat Reader, Java, SQL Server
// Compact and Express, the Visual C++ runtimes. Each detector reduces
// well-known registry keys below HKEY_LOCAL_MACHINE to an index into its
// version table (-1: none) or to a short version text ("0": none).
//
// The detectors read through a MachineRegistry, which the tests point at a
// private key: the same rules then run against layouts written into the real
// registry, in both views, without touching the machine's own entries.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace ek {

// Keys below HKEY_LOCAL_MACHINE (or below HKEY_LOCAL_MACHINE\<base> in the
// tests), read-only, each read with an explicit view.
class MachineRegistry {
 public:
  // base: empty for the machine's own keys; the paths of the detectors are
  // appended to it. is64BitEngine decides what the native view is and which
  // of the 32-bit/64-bit alternatives the detectors take.
  explicit MachineRegistry(std::wstring base = {}, bool is64BitEngine = true);

  enum class View { View32, View64, Native };

  [[nodiscard]] bool KeyExists(View view, std::wstring_view path) const;
  // REG_SZ or REG_EXPAND_SZ; nothing for a missing value or another type.
  [[nodiscard]] std::optional<std::wstring> String(View view, std::wstring_view path, std::wstring_view name) const;
  // REG_DWORD only.
  [[nodiscard]] std::optional<uint32_t> Dword(View view, std::wstring_view path, std::wstring_view name) const;
  // Any type, as text (see platform::RegKey::ReadAsText).
  [[nodiscard]] std::optional<std::wstring> Text(View view, std::wstring_view path, std::wstring_view name) const;
  [[nodiscard]] bool ValueExists(View view, std::wstring_view path, std::wstring_view name) const;
  [[nodiscard]] std::vector<std::wstring> SubKeyNames(View view, std::wstring_view path) const;
  [[nodiscard]] std::vector<std::wstring> ValueNames(View view, std::wstring_view path) const;

  [[nodiscard]] bool Is64BitEngine() const { return is64BitEngine_; }

 private:
  [[nodiscard]] bool Open(platform::RegKey& key, View view, std::wstring_view path) const;
  std::wstring base_;
  bool is64BitEngine_;
};

struct DotNetDetection {
  int index = -1;
  std::wstring regAsmPath;  // InstallPath of the .NET Framework 4 key + "RegAsm.exe"; empty when unknown
};

// useCoreRuntime: -netruntime (Microsoft.NETCore.App instead of Microsoft.WindowsDesktop.App).
[[nodiscard]] DotNetDetection DetectDotNet(const MachineRegistry& reg, bool useCoreRuntime);
[[nodiscard]] std::wstring AcrobatReaderVersion(const MachineRegistry& reg);
// jreOnly: -jreonly (the development kit's keys are not read).
[[nodiscard]] std::wstring JavaVersionText(const MachineRegistry& reg, bool jreOnly);
[[nodiscard]] int SqlCompactIndex(const MachineRegistry& reg);
[[nodiscard]] int SqlExpressIndex(const MachineRegistry& reg);
[[nodiscard]] int VcRuntimeIndex(const MachineRegistry& reg);

// The .NET index; remembers the RegAsm location found on the way in
// SetupState::RegAsmPath, where the .NET assembly registration looks first.
[[nodiscard]] int DotNetIndex(const MachineRegistry& reg, bool useCoreRuntime);

// True when the installed major version is not below the required one; the
// required one may be a Reader product name ("DC 2021").
[[nodiscard]] bool MajorVersionAtLeast(std::wstring_view installed, std::wstring_view required);

// The four-part file version of a file's version resource; empty when the
// file does not exist or has none.
[[nodiscard]] std::wstring FileVersionText(const std::wstring& path);

// The version tables; nothing for an index outside its table.
[[nodiscard]] std::optional<std::wstring_view> DotNetTableEntry(int index);
[[nodiscard]] std::optional<std::wstring_view> SqlCompactTableEntry(int index);
[[nodiscard]] std::optional<std::wstring_view> SqlExpressTableEntry(int index);
[[nodiscard]] std::optional<std::wstring_view> VcRuntimeTableEntry(int index);

// The runtimes the system checks know, in the order they are checked.
enum class Runtime { DotNet, AcrobatReader, Java, SqlCompact, SqlExpress, VisualCpp };

// The name a message gives a missing runtime. required: the index key's
// value (DotNet, SqlCompact, SqlExpress, VisualCpp) or the version text
// (AcrobatReader, Java). An index outside its table names the runtime
// without a version.
[[nodiscard]] std::wstring RuntimeDisplayName(Runtime runtime, std::wstring_view required, bool is64BitEngine,
                                              bool noPlatform);

}  // namespace ek
