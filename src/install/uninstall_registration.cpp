#include "install/uninstall_registration.h"

#include <algorithm>
#include <cstdint>

#include "core/setup_log.h"
#include "core/setup_state.h"
#include "config/language.h"
#include "base/result.h"
#include "base/text.h"
#include "base/uninstall_entries.h"
#include "config/utilities.h"
#include "config/variables.h"
#include "base/version.h"
#include "core/failure_report.h"
#include "install/uninstall_info.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/system.h"

namespace ek {
namespace {

constexpr wchar_t kUninstallRoot[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

uninstall::Root RegistrationRoot() {
  return State().AllUsers ? uninstall::Root::LocalMachine : uninstall::Root::CurrentUser;
}

bool RegistrationKeyExists(const std::wstring& name) {
  return platform::RegKeyExists(platform::RegRootOf(RegistrationRoot()), kUninstallRoot + name,
                                platform::RegView::View64);
}

std::wstring TwoDigits(int v) { return (v < 10 ? L"0" : L"") + ToText(v); }

std::wstring DateText(const platform::LocalDate& d) { return ToText(d.year) + TwoDigits(d.month) + TwoDigits(d.day); }

uint32_t Kilobytes(int64_t bytes) {
  const int64_t kb = std::max<int64_t>(bytes, 0) / 1024;
  return static_cast<uint32_t>(std::min<int64_t>(kb, UINT32_MAX));
}

// InstallDir\ProductIcon.ico, or the main program as the [Setup] ProductIcon
// rule says; empty when the chosen file does not exist.
std::wstring DisplayIconFile() {
  const auto& s = State();
  std::wstring icon = s.InstallDir + L"\\ProductIcon.ico";
  const int productIcon = SetupInt(L"ProductIcon", 0);
  const bool mainExists = !s.MainExe.empty() && platform::FileExists(ExtendedPath(s.MainExe));
  if (productIcon == 0 && mainExists) icon = s.MainExe;
  else if (productIcon > 0 && !platform::FileExists(ExtendedPath(icon))) icon = s.MainExe;
  return !icon.empty() && platform::FileExists(ExtendedPath(icon)) ? icon : std::wstring();
}

bool WriteValues(platform::RegKey& key) {
  auto& s = State();
  const bool keepProduct = SetupBool(L"UpgradeMode") && SetupBool(L"CheckNoUpdate");
  if (!keepProduct) {
    const std::wstring name =
        (SetupInt(L"IfInstalled", 0) == 3 || Switch(L"-useappver")) ? GetConstant(3) : GetConstant(1);
    const std::wstring version = GetConstant(2);
    const VersionNumbers n = ParseVersion(version, VersionRulesOf(Config()));
    if (!key.WriteString(L"DisplayName", name) || !key.WriteString(L"DisplayVersion", version) ||
        !key.WriteDword(L"VersionMajor", static_cast<uint32_t>(n[0])) ||
        !key.WriteDword(L"VersionMinor", static_cast<uint32_t>(n[1])))
      return false;
  }
  const std::wstring icon = DisplayIconFile();
  if (!icon.empty() && !key.WriteString(L"DisplayIcon", icon)) return false;

  // [Setup] TotalSize as the options dialog last left it.
  const int64_t total = ParseInt64(SetupString(L"TotalSize", L"0")).value_or(0);
  if (SetupBool(L"UpgradeMode")) {
    // The sum is an estimate for the list of programs; the registration stands without it.
    if (const auto old = key.ReadDword(L"EstimatedSize"))
      Ignore(key.WriteDword(L"EstimatedSize",
                            static_cast<uint32_t>(std::min<uint64_t>(uint64_t{*old} + Kilobytes(total), UINT32_MAX))));
  } else if (!key.WriteDword(L"EstimatedSize", Kilobytes(total))) {
    return false;
  }
  return key.WriteString(L"InstallLocation", s.InstallDir) &&
         key.WriteString(L"UninstallString", s.InstallDir + L"\\" + s.UninstallFile) &&
         key.WriteString(L"InstallDate", DateText(platform::Today())) &&
         key.WriteString(L"HelpLink", ExpandVariables(GetConstant(24))) &&
         key.WriteString(L"Publisher", GetConstant(5)) &&
         key.WriteString(L"URLInfoAbout", ExpandVariables(GetConstant(23))) && key.WriteDword(L"NoModify", 1) &&
         key.WriteDword(L"NoRepair", 1) && key.WriteDword(L"NoRemove", 0);
}

}  // namespace

std::wstring UninstallKeyName(const std::wstring& guid, bool sideBySide, bool (*keyExists)(const std::wstring& name)) {
  if (!sideBySide || !keyExists(guid)) return guid;
  for (int n = 1; n <= 9; ++n) {
    const std::wstring candidate = guid + L"_ek" + ToText(n);
    if (!keyExists(candidate)) return candidate;
  }
  return guid;
}

void RegisterUninstallEntry() {
  auto& s = State();
  const std::wstring guid = ExpandVariables(PickLanguageText(SetupString(L"GUID")));
  const std::wstring path =
      kUninstallRoot + UninstallKeyName(guid, SetupInt(L"IfInstalled", 0) == 3, &RegistrationKeyExists);
  const std::wstring keyText = std::wstring(uninstall::RootName(RegistrationRoot())) + L"\\" + path;
  platform::RegKey key;
  // Without a GUID the values would land on the Uninstall key itself, and its
  // uninstall entry would name the whole list of installed programs.
  const bool written = !Trim(guid).empty() &&
                       key.Create(platform::RegRootOf(RegistrationRoot()), path, platform::RegView::View64) &&
                       WriteValues(key);
  if (!written) {
    const std::wstring cause = Trim(guid).empty() ? std::wstring() : FailureCause();
    ReportFailure(L"Error creating registry key: " + keyText, cause, FormatAndExpand(LangText(L"Messages", 15), keyText));
    return;
  }
  key.Close();
  if (!s.UpdateMode) AddToUninstallList(uninstall::kRegistryKeys, {uninstall::ViewMark::Default, RegistrationRoot(), path});
}

}  // namespace ek
