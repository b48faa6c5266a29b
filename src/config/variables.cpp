#include "config/variables.h"

#include <cstdio>

#include "app/command_line.h"
#include "app/setup_state.h"
#include "config/language.h"
#include "config/record_list.h"
#include "config/text.h"
#include "config/utilities.h"
#include "config/version.h"
#include "install/others_action.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/system.h"

namespace ek {
namespace {

struct VariableName {
  int number;
  const wchar_t* name;
};

// Table order is substitution order.
constexpr VariableName kVariables[] = {
    {1, L"<APPNAME>"}, {2, L"<APPVERSION>"}, {3, L"<APPNAMEVERSION>"}, {4, L"<USERPROFILENAME>"},
    {5, L"<COMPANYNAME>"}, {6, L"<PUBLISHER>"}, {7, L"<INSTALLDIR>"}, {8, L"<MAINEXECUTABLE>"},
    {9, L"<MAINEXE>"}, {10, L"<PROGRAMFILES>"}, {11, L"<TEMPDIR>"}, {12, L"<SETUPTEMPDIR>"},
    {13, L"<CURRENTDIR>"}, {14, L"<CURRENTFOLDER>"}, {15, L"<SETUPEXE>"}, {16, L"<SETUPFILE>"},
    {17, L"<WINDOWSDIR>"}, {18, L"<SYSTEMDIR>"}, {19, L"<FONTSDIR>"}, {20, L"<SYSTEMDRIVE>"},
    {21, L"<APPDATA>"}, {22, L"<MYDOCUMENTS>"}, {23, L"<WEBSITE>"}, {24, L"<SUPPORTLINK>"},
    {25, L"<PROGRAMGROUP>"}, {26, L"<USERPROFILE>"}, {27, L"<COMMONFILES>"}, {28, L"<DESKTOP>"},
    {29, L"<STARTMENU>"}, {30, L"<PROGRAMSMENU>"}, {31, L"<STARTUP>"}, {32, L"<COMMONDESKTOP>"},
    {33, L"<COMMONSTARTMENU>"}, {34, L"<COMMONPROGRAMSMENU>"}, {35, L"<COMMONSTARTUP>"}, {36, L"<DATE>"},
    {37, L"<LOCALAPPDATA>"}, {38, L"<COMMONAPPDATA>"}, {39, L"<SENTTO>"}, {40, L"<COMMONTEMPLATES>"},
    {41, L"<ALLUSERPROFILE>"}, {42, L"<QUERYTEXT>"}, {43, L"<QUERYCUSTOM>"}, {45, L"<LANGUAGE>"},
    {46, L"<LNG>"}, {47, L"<LNGID>"}, {48, L"<BUILDDATE>"}, {49, L"<FAVORITES>"},
    {50, L"<PROGRAMFILES64>"}, {51, L"<INSTALLDRIVE>"}, {52, L"<SYSTEMDIR64>"}, {53, L"<PROGRAMFILES86>"},
    {54, L"<SYSTEMLNGID>"}, {55, L"<COMMONFAVORITES>"}, {56, L"<MYPICTURES>"}, {57, L"<MYMUSIC>"},
    {58, L"<COMMONPICTURES>"}, {59, L"<COMMONMUSIC>"}, {60, L"<COMMONDOCUMENTS>"}, {61, L"<FORMATDATE>"},
    {62, L"<LOCALSETTINGS>"}, {63, L"<CommandLineFull>"}, {64, L"<WINDOWS>"}, {65, L"<WINDOWSVERSION>"},
    {66, L"<CommandLine>"}, {67, L"<REGASMEXE>"}, {68, L"<NEWGUID>"}, {69, L"<EXTRAVAR>"},
    {70, L"<UPDATE>"}, {71, L"<WIN64BIT>"}, {72, L"<COMBOBOX>"}, {73, L"<COMBOBOXINDEX>"},
    {74, L"<ADMIN>"}, {75, L"<ALLUSERS>"}, {76, L"<WINVERMAJ>"}, {77, L"<WINVERMIN>"},
    {78, L"<WINVERBUILD>"}, {79, L"<WINVERSERVER>"}, {80, L"<CHECKBOX>"}, {81, L"<UPGRADE>"},
    {82, L"<BITNESS>"}, {83, L"<WIN>"}, {84, L"<GUID>"},
};

// A configuration value that names itself would expand without end.
int g_depth = 0;
constexpr int kMaxDepth = 12;

std::wstring Two(int v) {
  wchar_t b[8];
  std::swprintf(b, 8, L"%02d", v);
  return b;
}

VersionRules CurrentVersionRules() {
  VersionRules r;
  r.doubleDots = Switch(L"-doubledots");
  r.keepMetadata = Switch(L"-noremovemetadata");
  r.hyphenIsSeparator = Switch(L"-verhyphen");
  r.simple = Switch(L"-simpleversioning");
  return r;
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

// The folder part as a file-name function gives it: the delimiter stays for a
// root ("C:\", "C:") and is dropped otherwise.
std::wstring DirectoryOf(const std::wstring& path) {
  size_t i = path.find_last_of(L"\\:");
  if (i == std::wstring::npos) return std::wstring();
  if (path[i] == L'\\' && i > 0 && path[i - 1] != L'\\' && path[i - 1] != L':') return path.substr(0, i);
  return path.substr(0, i + 1);
}

std::wstring ConstantValue(int n) {
  auto& s = State();
  switch (n) {
    case 1: return PickLanguageText(SetupString(L"AppName"));
    case 2: return ExpandVariables(PickLanguageText(SetupString(L"AppVersion")));
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
      switch (SetupInt(L"LangIDMethod", 0)) {
        case 0: return ToText(platform::UserDefaultUiLanguage());
        case 1: return ToText(platform::SystemDefaultLangId());
        case 2: return ToText(platform::SystemDefaultUiLanguage());
        case 3: return ToText(platform::UserDefaultLangId());
        default: return std::wstring();
      }
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
    case 84: return ExpandVariables(PickLanguageText(SetupString(L"GUID")));
    default: return std::wstring();
  }
}

void ExpandComponents(std::wstring& t) {
  if (!SetupBool(L"CustomComponents")) return;
  size_t start = FindNoCase(t, L"<COMPONENT");
  if (start == npos) return;
  size_t close = t.find(L'>', start);
  if (close == std::wstring::npos) return;
  const std::wstring token = t.substr(start, close - start + 1);
  const int n = ParseInt32Or(std::wstring_view(token).substr(10, token.size() - 11), -1);
  const auto& items = State().Options.CheckListBox1;
  if (n >= 1 && static_cast<size_t>(n) <= items.size())
    t = ReplaceAllNoCase(t, token, items[static_cast<size_t>(n) - 1].checked ? L"1" : L"0");
}

void ExpandFunctions(std::wstring& t) {
  static const wchar_t* const kFunctions[] = {L"GETDIRX[", L"GETNAMEX[", L"GETVERX[", L"GETVERMAJX[",
                                              L"GETVERMINX[", L"POSX[", L"UPPERCASEX["};
  for (int f = 0; f < 7; ++f) {
    const std::wstring_view name = kFunctions[f];
    size_t at = FindNoCase(t, name);
    if (at == npos) continue;
    const size_t argStart = at + name.size();
    size_t close = t.find(L']', argStart);
    const std::wstring arg = t.substr(argStart, close == std::wstring::npos ? std::wstring::npos : close - argStart);
    const std::wstring token = std::wstring(name) + arg + L"]";
    std::wstring value;
    switch (f) {
      case 0: value = DirectoryOf(ExpandVariables(arg)); break;
      case 1: value = FileNamePart(ExpandVariables(arg)); break;
      case 2:
      case 3:
      case 4: {
        VersionNumbers v = ParseVersion(ExpandVariables(arg), CurrentVersionRules());
        if (f == 2) value = ToText(v[0]) + L"." + ToText(v[1]) + L"." + ToText(v[2]) + L"." + ToText(v[3]);
        else value = ToText(f == 3 ? v[0] : v[1]);
        break;
      }
      case 5: {
        size_t comma = arg.find(L',');
        if (comma == std::wstring::npos) {
          value = L"0";
        } else {
          const std::wstring needle = FoldCase(std::wstring_view(arg).substr(0, comma));
          const std::wstring hay = FoldCase(std::wstring_view(arg).substr(comma + 1));
          size_t p = needle.empty() ? std::wstring::npos : hay.find(needle);
          value = p == std::wstring::npos ? L"0" : ToText(static_cast<int64_t>(p) + 1);
        }
        break;
      }
      case 6: value = ToUpperAscii(ExpandVariables(arg)); break;
    }
    t = ReplaceAllNoCase(t, token, value);
  }
}

}  // namespace

std::wstring GetConstant(int number) {
  if (number < 1 || number > 84 || number == 44) return std::wstring();
  std::wstring v = ConstantValue(number);
  if (!v.empty() && v.back() == L'\\') v.pop_back();
  return v;
}

std::wstring ExpandVariables(std::wstring_view text) {
  std::wstring t(text);
  if (t.empty()) return t;
  t = ReplaceAll(t, L"<#>", L"\r\n");
  if (t.find(L'<') == std::wstring::npos && t.find(L'[') == std::wstring::npos) return t;
  if (g_depth >= kMaxDepth) return t;
  struct DepthGuard {
    DepthGuard() { ++g_depth; }
    ~DepthGuard() { --g_depth; }
  } guard;

  ExpandComponents(t);
  if (t.find(L'[') != std::wstring::npos) ExpandFunctions(t);

  const auto& s = State();
  if (t.find(L'<') == std::wstring::npos) return t;
  t = ReplaceAllNoCase(t, L"<EXITCODE>", s.LastExitCode);
  t = ReplaceAllNoCase(t, L"<CURRENTAPPVER>", s.InstalledVersion);
  t = ReplaceAllNoCase(t, L"<CURRENTAPPUNINSTALL>", s.InstalledUninstaller);
  if (ContainsNoCase(t, L"<APPEDITION>"))
    t = ReplaceAllNoCase(t, L"<APPEDITION>", PickLanguageText(SetupString(L"AppEdition")));
  if (ContainsNoCase(t, L"<YEAR>") || ContainsNoCase(t, L"<MONTH>") || ContainsNoCase(t, L"<DAY>")) {
    auto d = platform::Today();
    t = ReplaceAllNoCase(t, L"<YEAR>", ToText(d.year));
    t = ReplaceAllNoCase(t, L"<MONTH>", Two(d.month));
    t = ReplaceAllNoCase(t, L"<DAY>", Two(d.day));
  }
  if (t.find(L'<') == std::wstring::npos) return t;

  const IniDocument& config = Config();
  if (config.SectionExists(L"VariablesResult")) {
    for (int i = s.VariablesResultCount - 1; i >= 0; --i) {
      const std::wstring entry = ReadRecord(config, L"VariablesResult", static_cast<size_t>(i));
      size_t eq = entry.find(L'=');
      if (eq == std::wstring::npos || eq == 0) continue;
      const std::wstring_view name(entry.data(), eq);
      if (ContainsNoCase(t, name)) t = ReplaceAllNoCase(t, name, std::wstring_view(entry).substr(eq + 1));
    }
    if (t.find(L'<') == std::wstring::npos) return t;
  }

  for (const auto& v : kVariables) {
    if (ContainsNoCase(t, v.name)) t = ReplaceAllNoCase(t, v.name, GetConstant(v.number));
    if (t.find(L'<') == std::wstring::npos) break;
  }

  size_t env = t.find(L"<%");
  if (env != std::wstring::npos) {
    size_t end = t.find(L"%>", env + 2);
    if (end != std::wstring::npos) {
      const std::wstring name = t.substr(env + 2, end - env - 2);
      t = ReplaceAllNoCase(t, L"<%" + name + L"%>", EnvironmentValue(name));
    }
  }
  return t;
}

namespace {

// The platform format rules for one string argument: "%%" is a percent sign,
// "%s" (with optional index 0, "-", width and precision) takes the argument;
// anything else rejects the text.
bool FormatOne(std::wstring_view text, std::wstring_view arg, std::wstring& out) {
  out.clear();
  bool used = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != L'%') {
      out.push_back(text[i]);
      continue;
    }
    if (++i >= text.size()) return false;
    if (text[i] == L'%') {
      out.push_back(L'%');
      continue;
    }
    // [index ":"] ["-"] [width] ["." precision] type
    size_t j = i;
    int index = -1;
    size_t digits = j;
    while (digits < text.size() && text[digits] >= L'0' && text[digits] <= L'9') ++digits;
    if (digits < text.size() && text[digits] == L':') {
      index = digits > j ? ParseInt32Or(text.substr(j, digits - j), -1) : 0;
      j = digits + 1;
    }
    bool left = false;
    if (j < text.size() && text[j] == L'-') {
      left = true;
      ++j;
    }
    size_t wStart = j;
    while (j < text.size() && text[j] >= L'0' && text[j] <= L'9') ++j;
    const int width = j > wStart ? ParseInt32Or(text.substr(wStart, j - wStart), 0) : 0;
    int precision = -1;
    if (j < text.size() && text[j] == L'.') {
      size_t pStart = ++j;
      while (j < text.size() && text[j] >= L'0' && text[j] <= L'9') ++j;
      precision = ParseInt32Or(text.substr(pStart, j - pStart), 0);
    }
    if (j >= text.size() || (text[j] != L's' && text[j] != L'S')) return false;
    if (index > 0 || (index < 0 && used)) return false;  // only one argument exists
    used = true;
    std::wstring value(arg);
    if (precision >= 0 && static_cast<size_t>(precision) < value.size()) value.resize(static_cast<size_t>(precision));
    if (width > 0 && static_cast<size_t>(width) > value.size()) {
      std::wstring pad(static_cast<size_t>(width) - value.size(), L' ');
      value = left ? value + pad : pad + value;
    }
    out += value;
    i = j;
  }
  return true;
}

}  // namespace

std::wstring FormatAndExpand(std::wstring_view text, std::wstring_view argument) {
  std::wstring formatted;
  if (!FormatOne(text, argument, formatted)) return ExpandVariables(text);
  return ExpandVariables(formatted);
}

void ResolveInstallPaths() {
  auto& s = State();
  s.InstallDir = ExpandVariables(PickLanguageText(SetupString(L"InstallDir")));
  if (FindParam(L"/D") != 0) {
    std::wstring d = ParamValue(L"/D");
    if (!d.empty()) s.InstallDir = ExpandVariables(PickLanguageText(d));
  }
  s.InstallDir = StripTrailingBackslash(Trim(s.InstallDir));
  s.MainExe = Trim(ExpandVariables(PickLanguageText(SetupString(L"MainExe"))));
  s.ProgramGroup = ExpandVariables(PickLanguageText(SetupString(L"ProgramGroup")));
  if (s.ProgramGroup.empty()) s.ProgramGroup = GetConstant(1);
  if (!Contains(s.ProgramGroup, L":\\"))
    s.ProgramGroup = GetConstant(s.AllUsers ? 34 : 30) + L"\\" + s.ProgramGroup;
}

}  // namespace ek
