#include "config/variables.h"

#include <cstdio>
#include <optional>

#include "core/command_line.h"
#include "core/setup_state.h"
#include "config/language.h"
#include "base/expansion.h"
#include "base/record_list.h"
#include "base/text.h"
#include "config/utilities.h"
#include "base/version.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/system.h"

namespace ek {
namespace {

std::wstring Two(int v) {
  wchar_t b[8];
  std::swprintf(b, 8, L"%02d", v);
  return b;
}

const platform::OsVersion& Os() {
  static const platform::OsVersion v = platform::GetOsVersion();
  return v;
}

std::wstring Folder(int csidl) { return platform::ShellFolder(csidl); }

std::wstring RedirectedFolder(int csidl, int commonCsidl) {
  const auto& s = State();
  if (s.AllUsers && SetupInt(L"InstallLevel", 1) > 1 && Switch(L"-cudir")) return Folder(commonCsidl);
  if (s.InvokingUserName.empty() || Switch(L"-defdir")) return Folder(csidl);
  return ReplaceFirstNoCase(Folder(csidl), GetConstant(4), s.InvokingUserName);
}

// Numbers 2 and 84: the picked and expanded configuration value. A value that
// names itself, directly or through the other one, would expand without end;
// at its second visit it is used as it stands.
std::wstring ExpandedSetupValue(int number, std::wstring_view key) {
  static bool busy[2] = {false, false};
  bool& inProgress = busy[number == 2 ? 0 : 1];
  std::wstring v = PickLanguageText(SetupString(key));
  if (inProgress) return v;
  struct Busy {
    bool& flag;
    explicit Busy(bool& f) : flag(f) { flag = true; }
    ~Busy() { flag = false; }
  } busyGuard(inProgress);
  return ExpandVariables(v);
}

std::wstring ConstantValue(int n) {
  auto& s = State();
  switch (n) {
    case 1: return PickLanguageText(SetupString(L"AppName"));
    case 2: return ExpandedSetupValue(2, L"AppVersion");
    case 3: return s.AppNameVersion;
    case 4: return FileNamePart(StripTrailingBackslash(Folder(40)));
    case 5:
    case 6: return PickLanguageText(SetupString(L"Publisher"));
    case 7: return s.InstallDir;
    case 8:
    case 9: return s.MainExe;
    case 10: return Folder(38);
    case 11: return platform::TempFolder();
    case 12: return s.SetupTempDir;
    case 13: return FolderPart(platform::ModulePath());
    case 14: return platform::CurrentDirectory();
    case 15: return platform::ModulePath();
    case 16: return FileNamePart(platform::ModulePath());
    case 17: return Folder(36);
    case 18: return Folder(37);
    case 19: return Folder(20);
    case 20: return Folder(36).substr(0, 2);
    case 21: return RedirectedFolder(26, 35);
    case 22: return RedirectedFolder(5, 46);
    case 23: return PickLanguageText(SetupString(L"WebSite"));
    case 24: return PickLanguageText(SetupString(L"SupportLink"));
    case 25: return s.ProgramGroup;
    case 26: return Folder(40);
    case 27: return Folder(43);
    case 28: return Folder(0);
    case 29: return Folder(11);
    case 30: return Folder(2);
    case 31: return Folder(7);
    case 32: return Folder(25);
    case 33: return Folder(22);
    case 34: return Folder(23);
    case 35: return Folder(24);
    case 36: return platform::ShortDateText();
    case 37: return Folder(28);
    case 38: return Folder(35);
    case 39: return Folder(9);
    case 40: return Folder(45);
    case 41: return FolderPart(StripTrailingBackslash(GetConstant(32)));
    case 42: return s.QueryText;
    case 43: return s.QueryCustom;
    case 45: return s.LanguageName;
    case 46: return Language().ReadString(L"Info", L"lng", L"");
    case 47: return Language().ReadString(L"Info", L"id", L"");
    case 48: return SetupString(L"BDID");
    case 49: return Folder(6);
    case 50: {
      platform::RegKey k;
      if (!k.Open(platform::RegRoot::LocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                  platform::RegView::View64, false))
        return std::wstring();
      if (auto v = k.ReadString(L"ProgramW6432Dir")) return *v;
      if (auto v = k.ReadString(L"ProgramFilesDir")) return *v;
      return std::wstring();
    }
    case 51: {
      size_t p = s.InstallDir.find(L'\\');
      return p == std::wstring::npos ? std::wstring(L"C:") : s.InstallDir.substr(0, p);
    }
    case 52: return Folder(37);
    case 53: return Folder(42);
    case 54: {
      const auto id = SystemLanguageId(SetupInt(L"LangIDMethod", 0));
      return id ? ToText(*id) : std::wstring();
    }
    case 55: return Folder(31);
    case 56: return Folder(39);
    case 57: return Folder(13);
    case 58: return Folder(54);
    case 59: return Folder(53);
    case 60: return Folder(46);
    case 61: {
      auto d = platform::Today();
      return ToText(d.year) + Two(d.month) + Two(d.day);
    }
    case 62: return Folder(28);
    case 63: return platform::CommandLineFull();
    case 64: return platform::WindowsProductName(Os());
    case 65: return ToText(Os().major) + L"." + ToText(Os().minor);
    case 66: return CommandLineArguments();
    case 67: return FindRegAsm();
    case 68: return NewGuidText();
    case 69: return s.ExtraVar;
    case 70: return BoolText(s.UpdateMode);
    case 71: return BoolText(s.Is64BitOS);
    case 72: return s.ComboBox;
    case 73: return ToText(s.ComboBoxIndex);
    case 74: return BoolText(s.IsAdmin);
    case 75: return BoolText(s.AllUsers);
    case 76: return ToText(Os().major);
    case 77: return ToText(Os().minor);
    case 78: return ToText(Os().build);
    case 79: return ContainsNoCase(platform::OsDescription(Os(), s.Is64BitOS), L"SERVER") ? L"1" : L"0";
    case 80: return BoolText(s.CheckBoxValue);
    case 81: return BoolText(s.UpdateMode);
    case 82: return s.Is64BitOS ? L"64" : L"86";
    case 83: {
      std::wstring w = platform::WindowsProductName(Os());
      size_t sp = w.find(L' ');
      return sp == std::wstring::npos ? w : w.substr(sp + 1);
    }
    case 84: return ExpandedSetupValue(84, L"GUID");
    default: return std::wstring();
  }
}

// The engine's values for the expansion: the state, the configuration, the
// language file and the platform.
class EngineVariables final : public VariableSource {
 public:
  std::optional<bool> ComponentChecked(int number) override {
    const auto& items = State().Options.CheckListBox1;
    if (!SetupBool(L"CustomComponents") || number < 1 || static_cast<size_t>(number) > items.size()) return std::nullopt;
    return items[static_cast<size_t>(number) - 1].checked;
  }
  VersionRules Versions() override { return VersionRulesOf(Config()); }
  std::wstring StateValue(StateToken token) override {
    const auto& s = State();
    switch (token) {
      case StateToken::ExitCode: return s.LastExitCode;
      case StateToken::CurrentAppVersion: return s.InstalledVersion;
      case StateToken::CurrentAppUninstall: return s.InstalledUninstaller;
      case StateToken::AppEdition: return PickLanguageText(SetupString(L"AppEdition"));
      case StateToken::Year: return ToText(platform::Today().year);
      case StateToken::Month: return Two(platform::Today().month);
      case StateToken::Day: return Two(platform::Today().day);
    }
    return std::wstring();
  }
  size_t UserVariableCount() override {
    const int32_t n = State().VariablesResultCount;
    return n > 0 && Config().SectionExists(L"VariablesResult") ? static_cast<size_t>(n) : 0;
  }
  std::wstring UserVariable(size_t index) override { return ReadRecord(Config(), L"VariablesResult", index); }
  std::wstring Constant(int number) override { return GetConstant(number); }
  std::wstring Environment(std::wstring_view name) override { return EnvironmentValue(name); }
};

}  // namespace

std::wstring GetConstant(int number) {
  if (number < 1 || number > 84 || number == 44) return std::wstring();
  std::wstring v = ConstantValue(number);
  if (!v.empty() && v.back() == L'\\') v.pop_back();
  return v;
}

std::wstring ExpandVariables(std::wstring_view text) {
  EngineVariables source;
  return ExpandWith(text, source);
}

std::wstring FormatAndExpand(std::wstring_view text, std::wstring_view argument) {
  std::wstring formatted;
  if (!FormatOneArgument(text, argument, formatted)) return ExpandVariables(text);
  return ExpandVariables(formatted);
}

void ResolveInstallPaths() { ResolveInstallPathsFrom(FindParam(L"/D") != 0 ? ParamValue(L"/D") : std::wstring()); }

void ResolveInstallPathsFrom(std::wstring_view folderArgument) {
  auto& s = State();
  s.InstallDir = ExpandVariables(PickLanguageText(SetupString(L"InstallDir")));
  if (!folderArgument.empty()) s.InstallDir = ExpandVariables(PickLanguageText(folderArgument));
  s.InstallDir = StripTrailingBackslash(Trim(s.InstallDir));
  s.MainExe = Trim(ExpandVariables(PickLanguageText(SetupString(L"MainExe"))));
  s.ProgramGroup = ExpandVariables(PickLanguageText(SetupString(L"ProgramGroup")));
  if (s.ProgramGroup.empty()) s.ProgramGroup = GetConstant(1);
  if (!Contains(s.ProgramGroup, L":\\"))
    s.ProgramGroup = GetConstant(s.AllUsers ? 34 : 30) + L"\\" + s.ProgramGroup;
}

}  // namespace ek
