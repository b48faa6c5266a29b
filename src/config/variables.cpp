#include "config/variables.h"

#include <cstdio>
#include <unordered_set>

#include "core/command_line.h"
#include "core/setup_state.h"
#include "config/language.h"
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

// Nesting limit of ExpandVariables, a backstop: self-naming values are cut
// by ExpandedSetupValue already.
int g_depth = 0;
constexpr int kMaxDepth = 12;

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

bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

// GETDIRX[: the text before the last "\" or ":"; the "\" of a drive's root
// ("C:\") stays.
std::wstring FolderOfPath(const std::wstring& path) {
  const size_t i = path.find_last_of(L"\\:");
  if (i == std::wstring::npos) return std::wstring();
  if (path[i] == L'\\' && i >= 2 && path[i - 1] == L':' && IsAsciiLetter(path[i - 2])) return path.substr(0, i + 1);
  return path.substr(0, i);
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

// Which "<NAME>" tokens a text holds, so that the names that cannot occur
// cost a hash lookup instead of a scan of the whole text. A token is a "<",
// the first ">" after it, and no "<" between; every name of the table has
// that shape, so for such names "is indexed" and "occurs in the text" are the
// same test (a hash collision only costs the real search). The index is
// rebuilt after every replacement, because a replacement may create or
// remove tokens anywhere, also across the edges of the inserted value.
class TokenIndex {
 public:
  explicit TokenIndex(const std::wstring& text) { Rebuild(text); }

  void Rebuild(const std::wstring& text) {
    hashes_.clear();
    hasOpening_ = false;
    size_t open = npos;
    const size_t n = text.size();
    const wchar_t* p = text.data();
    for (size_t i = 0; i < n; ++i) {
      if (p[i] == L'<') {
        open = i;
        hasOpening_ = true;
      } else if (p[i] == L'>' && open != npos) {
        if (i - open < kLongestIndexed) hashes_.insert(Hash(std::wstring_view(p + open, i - open + 1)));
        open = npos;
      }
    }
  }

  // False only when the name surely does not occur.
  bool MayContain(std::wstring_view name) const {
    if (!IsToken(name)) return true;
    return hashes_.count(Hash(name)) != 0;
  }
  bool HasOpening() const { return hasOpening_; }

 private:
  // Longer tokens are not indexed; names that long are searched for.
  static constexpr size_t kLongestIndexed = 64;

  static bool IsToken(std::wstring_view name) {
    if (name.size() < 2 || name.size() > kLongestIndexed || name.front() != L'<' || name.back() != L'>') return false;
    return name.substr(1, name.size() - 2).find_first_of(L"<>") == std::wstring_view::npos;
  }
  // FNV-1a over the case-folded characters, so that the test ignores case as
  // the replacement does.
  static uint64_t Hash(std::wstring_view token) {
    uint64_t h = 14695981039346656037ull;
    for (wchar_t c : token) {
      h ^= static_cast<uint16_t>(FoldChar(c));
      h *= 1099511628211ull;
    }
    return h;
  }

  std::unordered_set<uint64_t> hashes_;
  bool hasOpening_ = false;
};

// Replaces every occurrence of name, ignoring case, by valueOf(), which is
// asked only when the name occurs. Keeps the index current.
template <typename ValueOf>
void ReplaceName(std::wstring& t, TokenIndex& index, std::wstring_view name, ValueOf valueOf) {
  if (!index.MayContain(name) || FindNoCase(t, name) == npos) return;
  t = ReplaceAllNoCase(t, name, valueOf());
  index.Rebuild(t);
}

// Only the first "<COMPONENT...>" token is evaluated.
void ExpandComponents(std::wstring& t) {
  const size_t start = FindNoCase(t, L"<COMPONENT");
  if (start == npos || !SetupBool(L"CustomComponents")) return;
  const size_t close = t.find(L'>', start);
  if (close == std::wstring::npos) return;
  const std::wstring token = t.substr(start, close - start + 1);
  const int n = ParseInt32Or(std::wstring_view(token).substr(10, token.size() - 11), -1);
  const auto& items = State().Options.CheckListBox1;
  if (n >= 1 && static_cast<size_t>(n) <= items.size())
    t = ReplaceAllNoCase(t, token, items[static_cast<size_t>(n) - 1].checked ? L"1" : L"0");
}

// Only the first occurrence of each function is evaluated; its token is then
// replaced wherever it occurs with the same argument.
void ExpandFunctions(std::wstring& t) {
  static constexpr std::wstring_view kFunctions[] = {L"GETDIRX[",    L"GETNAMEX[", L"GETVERX[",    L"GETVERMAJX[",
                                                     L"GETVERMINX[", L"POSX[",     L"UPPERCASEX["};
  for (size_t f = 0; f < std::size(kFunctions); ++f) {
    const std::wstring_view name = kFunctions[f];
    const size_t at = FindNoCase(t, name);
    if (at == npos) continue;
    const size_t argStart = at + name.size();
    const size_t close = t.find(L']', argStart);
    // Without a closing "]" the token (name, argument, "]") cannot occur, so
    // nothing would be replaced: its value is not worth computing.
    if (close == std::wstring::npos) continue;
    const std::wstring arg = t.substr(argStart, close - argStart);
    std::wstring value;
    switch (f) {
      case 0: value = FolderOfPath(ExpandVariables(arg)); break;
      case 1: value = FileNamePart(ExpandVariables(arg)); break;
      case 2:
      case 3:
      case 4: {
        const VersionNumbers v = ParseVersion(ExpandVariables(arg), VersionRulesOf(Config()));
        if (f == 2) value = ToText(v[0]) + L"." + ToText(v[1]) + L"." + ToText(v[2]) + L"." + ToText(v[3]);
        else value = ToText(f == 3 ? v[0] : v[1]);
        break;
      }
      case 5: {
        // The argument is compared as written, not expanded.
        const size_t comma = arg.find(L',');
        size_t p = std::wstring::npos;
        if (comma != std::wstring::npos && comma > 0)
          p = FoldCase(std::wstring_view(arg).substr(comma + 1)).find(FoldCase(std::wstring_view(arg).substr(0, comma)));
        value = p == std::wstring::npos ? std::wstring(L"0") : ToText(static_cast<int64_t>(p) + 1);
        break;
      }
      case 6: value = ToUpperAscii(ExpandVariables(arg)); break;
    }
    t = ReplaceAllNoCase(t, std::wstring(name) + arg + L"]", value);
  }
}

// The results of the Variables section, later entries first, so that a
// name defined twice takes its later value and hides a built-in one.
void ExpandUserVariables(std::wstring& t, TokenIndex& index) {
  const IniDocument& config = Config();
  if (!config.SectionExists(L"VariablesResult")) return;
  for (int i = State().VariablesResultCount - 1; i >= 0; --i) {
    const std::wstring entry = ReadRecord(config, L"VariablesResult", static_cast<size_t>(i));
    const size_t eq = entry.find(L'=');
    if (eq == std::wstring::npos || eq == 0) continue;
    const std::wstring_view name(entry.data(), eq);
    ReplaceName(t, index, name, [&] { return std::wstring_view(entry).substr(eq + 1); });
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
  if (t.find_first_of(L"<[") == std::wstring::npos) return t;
  if (g_depth >= kMaxDepth) return t;
  struct DepthGuard {
    DepthGuard() { ++g_depth; }
    ~DepthGuard() { --g_depth; }
  } guard;

  ExpandComponents(t);
  if (t.find(L'[') != std::wstring::npos) ExpandFunctions(t);

  TokenIndex index(t);
  if (!index.HasOpening()) return t;
  const auto& s = State();
  ReplaceName(t, index, L"<EXITCODE>", [&] { return s.LastExitCode; });
  ReplaceName(t, index, L"<CURRENTAPPVER>", [&] { return s.InstalledVersion; });
  ReplaceName(t, index, L"<CURRENTAPPUNINSTALL>", [&] { return s.InstalledUninstaller; });
  ReplaceName(t, index, L"<APPEDITION>", [] { return PickLanguageText(SetupString(L"AppEdition")); });
  ReplaceName(t, index, L"<YEAR>", [] { return ToText(platform::Today().year); });
  ReplaceName(t, index, L"<MONTH>", [] { return Two(platform::Today().month); });
  ReplaceName(t, index, L"<DAY>", [] { return Two(platform::Today().day); });
  if (!index.HasOpening()) return t;

  ExpandUserVariables(t, index);
  if (!index.HasOpening()) return t;

  // A value inserted here is expanded by the later numbers, not the earlier.
  for (const auto& v : kVariables) {
    ReplaceName(t, index, v.name, [&] { return GetConstant(v.number); });
    if (!index.HasOpening()) return t;
  }

  // Only the first environment token is evaluated.
  const size_t env = t.find(L"<%");
  if (env != std::wstring::npos) {
    const size_t end = t.find(L"%>", env + 2);
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
