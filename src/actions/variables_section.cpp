#include "actions/variables_section.h"

#include <cstring>
#include <optional>

#include "actions/command_list.h"
#include "actions/downloads.h"
#include "actions/process_launch.h"
#include "base/ini_document.h"
#include "base/record_list.h"
#include "base/result.h"
#include "base/text.h"
#include "base/version.h"
#include "config/language.h"
#include "config/utilities.h"
#include "config/variables.h"
#include "core/host.h"
#include "core/setup_log.h"
#include "core/setup_state.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/system.h"

namespace ek {
namespace {

// One record after its preparation.
struct VariableRecord {
  std::wstring name;
  std::wstring source;
  std::wstring argument;
  std::wstring type;  // upper-cased
  std::wstring view;  // upper-cased
};

std::wstring WithoutLineBreaks(std::wstring_view text) { return ReplaceAll(ReplaceAll(text, L"\r", L""), L"\n", L""); }

// The lines of a text: CR LF, LF or CR end a line; a break at the very end
// does not start another one.
std::vector<std::wstring> TextLines(std::wstring_view text) {
  std::vector<std::wstring> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find_first_of(L"\r\n", start);
    if (end == std::wstring_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + (text[end] == L'\r' && end + 1 < text.size() && text[end + 1] == L'\n' ? 2 : 1);
  }
  return lines;
}

// --- Sources that ask the user -------------------------------------------

bool AskText(const VariableRecord& r, std::wstring& value) {
  const auto answer = host().InputBox(State().AppNameVersion, r.argument, std::wstring());
  if (!answer) return false;
  if (Trim(*answer).empty() && Switch(L"-noemptyanswer")) return false;
  value = *answer;
  return true;
}

// SELECTFILE and SELECTDIR tell the user first; the ASK forms ask whether to
// choose at all, and never in a silent run.
bool IntroduceChoice(const VariableRecord& r, bool ask) {
  const auto& s = State();
  if (ask) {
    return !s.Silent && !r.argument.empty() &&
           MessageWithoutOwner(r.argument, s.AppNameVersion, platform::MsgIcon::Question,
                               platform::MsgButtons::YesNo) == platform::MsgResult::Yes;
  }
  if (!s.Silent && !r.argument.empty())
    MessageWithoutOwner(r.argument, s.AppNameVersion, platform::MsgIcon::Information);
  return true;
}

bool ChooseFile(const VariableRecord& r, bool ask, std::wstring& value) {
  if (!IntroduceChoice(r, ask)) return false;
  const auto file = host().ChooseFile();
  if (!file) return false;
  value = *file;
  return true;
}

bool ChooseFolder(const VariableRecord& r, bool ask, std::wstring& value) {
  if (!IntroduceChoice(r, ask)) return false;
  const std::wstring folder = BrowseForFolder(value, true);
  if (folder.empty()) return false;
  value = folder;
  return true;
}

// --- Sources on the network ----------------------------------------------

bool UrlText(const VariableRecord& r, std::wstring& value) {
  std::wstring text = FetchUrlText(Trim(r.argument));
  if (text.empty()) return false;
  if (Switch(L"-geturlremnl")) {
    text = WithoutLineBreaks(text);
  } else if (!Switch(L"-geturlall")) {
    text = text.substr(0, text.find(L'\n'));
    text = text.substr(0, text.find(L'\r'));
  }
  value = Trim(text);
  return true;
}

bool UrlFile(const VariableRecord& r, std::wstring& value) {
  if (!DownloadFile(Trim(r.argument), State().SetupTempDir + L"\\ektempfile.txt", Switch(L"-varonactivate")))
    return false;
  value = L"1";
  return true;
}

// --- Files -----------------------------------------------------------------

bool FileRuleApplies(const VariableRecord& r) {
  return r.source.size() > 2 && !StartsWithNoCase(r.source, L"HK") && platform::FileExists(ExtendedPath(r.source));
}

// A byte-order mark decides the encoding, else the system's code page.
std::optional<std::wstring> ReadText(const std::wstring& path) {
  bool ok = false;
  DecodedText t = platform::ReadTextFile(ExtendedPath(path), TextEncoding::Ansi, &ok);
  if (!ok) return std::nullopt;
  return std::move(t.text);
}

bool FromFile(const VariableRecord& r, std::wstring& value) {
  const auto text = ReadText(r.source);
  if (!text) return false;
  const size_t semicolon = r.argument.find(L';');
  if (semicolon != std::wstring::npos) {
    IniDocument ini;
    ini.Parse(*text);
    const std::wstring section = r.argument.substr(0, semicolon), key = r.argument.substr(semicolon + 1);
    const std::wstring* found = ini.Find(section, key);
    if (!found) return false;
    value = r.type == L"STRING" ? *found : ToText(ini.ReadInteger(section, key, 0));
    return true;
  }
  if (text->empty()) return false;
  if (Switch(L"-geturlremnl")) {
    value = WithoutLineBreaks(*text);
    return true;
  }
  const std::vector<std::wstring> lines = TextLines(*text);
  const int32_t index = ParseInt32Or(r.argument, 0);
  if (index < 0 || static_cast<size_t>(index) >= lines.size()) return false;
  value = lines[static_cast<size_t>(index)];
  return true;
}

// --- The registry ------------------------------------------------------------

std::optional<platform::RegRoot> RootOf(const std::wstring& name) {
  using platform::RegRoot;
  if (name == L"HKDE" || name == L"HKEY_DEFAULT")
    return State().AllUsers ? RegRoot::LocalMachine : RegRoot::CurrentUser;
  if (name == L"HKCU" || name == L"HKEY_CURRENT_USER") return RegRoot::CurrentUser;
  if (name == L"HKLM" || name == L"HKEY_LOCAL_MACHINE") return RegRoot::LocalMachine;
  if (name == L"HKCR" || name == L"HKEY_CLASSES_ROOT") return RegRoot::ClassesRoot;
  if (name == L"HKU" || name == L"HKEY_USERS") return RegRoot::Users;
  return std::nullopt;
}

bool FromRegistry(const VariableRecord& r, std::wstring& value) {
  const auto view = r.view == L"64-BIT" || r.view == L"DEFAULT" ? platform::RegView::View64 : platform::RegView::View32;
  const size_t backslash = r.source.find(L'\\');
  const std::wstring rootName = backslash == std::wstring::npos ? r.source : ToUpperAscii(r.source.substr(0, backslash));
  const auto root = RootOf(rootName);
  if (!root) return false;
  const std::wstring path = backslash == std::wstring::npos ? r.source : r.source.substr(backslash + 1);
  platform::RegKey key;
  if (!key.Open(*root, path, view, false)) return false;

  const bool subkeys = EqualsNoCaseAscii(r.argument, L"GETMAXREGKEY");
  if (subkeys || EqualsNoCaseAscii(r.argument, L"GETMAXREGVAL")) {
    const std::wstring best = MaxVersionName(subkeys ? key.SubKeyNames() : key.ValueNames());
    if (best.empty()) return false;
    value = best;
    return true;
  }
  const auto data = key.ReadValue(r.argument);
  if (!data) return false;
  if (Switch(L"-getasstr")) {
    value = platform::RegValueText(*data);
    return true;
  }
  if (r.type == L"STRING") {
    const auto text = key.ReadString(r.argument);
    if (!text) return false;
    value = *text;
    return true;
  }
  const auto number = key.ReadDword(r.argument);
  if (!number) return false;
  value = ToTextUnsigned(*number);
  return true;
}

// --- The record ----------------------------------------------------------------

// The source decides; `value` holds the default and receives what was found.
bool LookUp(const VariableRecord& r, std::wstring& value) {
  const std::wstring& source = r.source;
  if (EqualsNoCaseAscii(source, L"INPUTBOX")) return AskText(r, value);
  if (EqualsNoCaseAscii(source, L"SELECTFILE")) return ChooseFile(r, false, value);
  if (EqualsNoCaseAscii(source, L"SELECTFILEASK")) return ChooseFile(r, true, value);
  if (EqualsNoCaseAscii(source, L"SELECTDIR")) return ChooseFolder(r, false, value);
  if (EqualsNoCaseAscii(source, L"SELECTDIRASK")) return ChooseFolder(r, true, value);
  const bool hasArgument = !Trim(r.argument).empty();
  if (EqualsNoCaseAscii(source, L"GETURL") && hasArgument) return UrlText(r, value);
  if (EqualsNoCaseAscii(source, L"GETFILE") && hasArgument) return UrlFile(r, value);
  if (FileRuleApplies(r)) return FromFile(r, value);
  return FromRegistry(r, value);
}

// A default "FORM(message)[fallback]" splits into the message part, up to the
// ")" of the first ")[", and the fallback; without that shape the whole text
// is the message and nothing is left.
std::wstring SplitMessage(std::wstring& value) {
  const size_t at = value.find(L")[");
  std::wstring part;
  if (at != std::wstring::npos && value.back() == L']') {
    part = value.substr(0, at + 1);
    value = value.substr(at + 2, value.size() - at - 3);
  } else {
    part = std::move(value);
    value.clear();
  }
  return part;
}

// The message between the form's "(" and the part's last character.
std::wstring MessageText(const std::wstring& part, size_t formLength) {
  return part.size() > formLength ? part.substr(formLength, part.size() - formLength - 1) : std::wstring();
}

// A default that nothing replaced may show a message and may end setup.
void ApplyDefaultForms(std::wstring& value) {
  const auto& s = State();
  if (StartsWithNoCase(value, L"MSG(")) {
    const std::wstring text = MessageText(SplitMessage(value), 4);
    if (!s.Silent)
      MessageWithoutOwner(text, s.AppNameVersion, platform::MsgIcon::Information, platform::MsgButtons::Ok, true);
  }
  if (StartsWithNoCase(value, L"HALT(")) {
    const std::wstring text = MessageText(SplitMessage(value), 5);
    if (!s.Silent && !text.empty())
      MessageWithoutOwner(text, host().Caption(), platform::MsgIcon::Warning, platform::MsgButtons::Ok, true);
    ExitSetup(5);
  }
}

void ChangeLanguage(const std::wstring& language) {
  auto& s = State();
  s.LanguageName = language;
  s.LanguageTexts.reset();
  // A language without its file keeps the built-in texts.
  Ignore(LoadLanguageFile());
  host().ApplyLanguageTexts();
}

void Store(const std::wstring& name, const std::wstring& value) {
  auto& s = State();
  if (EqualsNoCase(name, L"<QueryText>")) {
    s.QueryText = value;
  } else if (EqualsNoCase(name, L"<QueryCustom>")) {
    s.QueryCustom = value;
  } else if (EqualsNoCase(name, L"<CheckBox>")) {
    s.CheckBoxPreset = ParseInt32Or(value, 1);
  } else if (EqualsNoCase(name, L"<ComboBoxIndex>")) {
    s.ComboBoxIndex = ParseInt32Or(value, -1);
  } else if (EqualsNoCase(name, L"<ComboBox>")) {
    s.ComboBox = value;
  } else if (EqualsNoCase(name, L"<Language>")) {
    ChangeLanguage(value);
  } else if (EqualsNoCase(name, L"<IfInstalled>")) {
    MutableConfig().WriteInteger(L"Setup", L"IfInstalled", ParseInt32Or(value, 0));
  } else if (EqualsNoCase(name, L"<InstallLevel>")) {
    const int32_t level = ParseInt32Or(value, 0);
    MutableConfig().WriteInteger(L"Setup", L"InstallLevel", level);
    s.AllUsers = level != 0 && level != 3;
  } else if (!name.empty() && name.find(L'=') == std::wstring::npos) {
    // The entry is read back up to its first "=": a name holding one would
    // define another variable.
    MutableConfig().WriteString(L"VariablesResult", ToText(s.VariablesResultCount), name + L"=" + value);
    ++s.VariablesResultCount;
  }
}

// <TotalSize> and <ExtraDataFileSize> take the default as a number and look nothing up.
bool ApplySize(const std::wstring& name, const std::wstring& value) {
  auto& s = State();
  const bool extra = EqualsNoCase(name, L"<ExtraDataFileSize>");
  if (!extra && !EqualsNoCase(name, L"<TotalSize>")) return false;
  const int64_t size = ParseInt64(value).value_or(0);
  s.TotalSize = extra ? s.TotalSize + size : size;
  MutableConfig().WriteString(L"Setup", L"TotalSize", ToText(s.TotalSize));
  return true;
}

}  // namespace

void DefineVariable(std::wstring_view record) {
  if (record.empty()) return;
  std::vector<std::wstring> f = SplitRecord(record);
  if (f.size() != 6) return;
  if (SetupBool(L"DataSens"))
    for (auto& field : f) field = DescrambleField(field);
  VariableRecord r;
  r.name = f[0];
  r.source = ExpandVariables(PickLanguageText(f[1]));
  r.argument = ExpandVariables(PickLanguageText(f[2]));
  r.type = ToUpperAscii(f[3]);
  r.view = ToUpperAscii(f[5]);
  std::wstring value = ExpandVariables(PickLanguageText(f[4]));
  if (ApplySize(r.name, value)) return;
  const bool found = LookUp(r, value);
  value = ExpandVariables(value);
  if (!found && value.size() > 5) ApplyDefaultForms(value);
  Store(r.name, value);
}

void EvaluateVariablesSection(const std::function<void()>& afterEach) {
  const size_t n = RecordCount(Config(), L"Variables");
  for (size_t i = 0; i < n; ++i) {
    DefineVariable(ReadRecord(Config(), L"Variables", i));
    if (afterEach) afterEach();
  }
}

void EvaluateStartupVariables() {
  if (!Config().SectionExists(L"Variables") || Switch(L"-varonactivate")) return;
  EvaluateVariablesSection();
}

void EvaluateDeferredVariables() {
  if (!Switch(L"-varonactivate")) return;
  host().ShowWaitLabel(true);
  EvaluateVariablesSection([] { AnimateWaitLabel(false); });
  ResolveInstallPaths();
}

bool ReevaluateVariables() {
  if (!Config().SectionExists(L"Variables")) return false;
  EvaluateVariablesSection();
  host().RefreshOptions();
  return true;
}

std::wstring BrowseForFolder(const std::wstring& start, bool clearFirst) {
  std::wstring result = clearFirst ? std::wstring() : start;
  Host::FolderRequest request;
  if (platform::GetOsVersion().major < 6) {
    request.title = L"Select Directory";
    request.legacyBrowser = true;
    request.initialFolder = start;
  } else {
    request.title = L"Select Folder";
    // The folder itself, or the nearest of its two parents that exists.
    std::wstring candidate = start;
    for (int up = 0; up < 3 && !candidate.empty(); ++up, candidate = FolderPart(candidate)) {
      if (platform::DirectoryExists(ExtendedPath(candidate))) {
        request.initialFolder = candidate;
        break;
      }
    }
  }
  if (const auto chosen = host().ChooseFolder(request)) result = *chosen;
  result = StripTrailingBackslash(result);
  if (Contains(result, L"~1")) {
    const std::wstring longForm = LongPathNameOf(result);
    if (!longForm.empty()) result = longForm;
  }
  return result;
}

std::wstring MaxVersionName(const std::vector<std::wstring>& names) {
  if (names.empty()) return std::wstring();
  if (names.size() == 1) return names.front();
  const VersionRules rules = VersionRulesOf(Config());
  std::wstring best = L"0";
  VersionNumbers bestVersion = ParseVersion(best, rules);
  for (const std::wstring& name : names) {
    const VersionNumbers v = ParseVersion(name, rules);
    if (v > bestVersion) {
      best = name;
      bestVersion = v;
    }
  }
  return best;
}

}  // namespace ek
