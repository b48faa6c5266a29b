#include "config/language.h"

#include <iterator>
#include <memory>

#include "core/command_line.h"
#include "core/setup_state.h"
#include "base/text.h"
#include "platform/file_system.h"
#include "platform/system.h"

namespace ek {

std::wstring LangText(std::wstring_view section, int index, std::wstring_view fallback) {
  const std::wstring* v = Language().Find(section, ToText(index));
  return v ? *v : std::wstring(fallback);
}

namespace {

struct BuiltIn {
  std::wstring_view section;
  int index;
  std::wstring_view text;
};

// Every entry whose readers all pass the same default.
constexpr BuiltIn kBuiltInTexts[] = {
    {L"Buttons", 3, L"Install"},
    {L"Buttons", 8, L"Finish"},
    {L"Buttons", 12, L"Print"},
    {L"Title", 0, L"Setup"},
    {L"Welcome", 0, L"Welcome to <AppName> Setup"},
    {L"Welcome", 1, L"This will install <AppNameVersion> on your computer."},
    {L"Welcome", 3, L"Options"},
    {L"LicenseAgreement", 0, L"License Agreement"},
    {L"LicenseAgreement", 5, L"By installing this product, you agree to our"},
    {L"LicenseAgreement", 6, L"License Agreement"},
    {L"UserInformation", 7, L"Please fill in all the required fields."},
    {L"UserInformation", 8, L"Only numbers are allowed in this field."},
    {L"UserInformation", 9, L"File does not exist."},
    {L"UserInformation", 10, L"Folder does not exist."},
    {L"AdditionalTasks", 9, L"Launch on Windows startup"},
    {L"Install", 1, L"Please wait..."},
    {L"Install", 2, L"Copying files..."},
    {L"Install", 4, L"Creating registry entries..."},
    {L"Install", 6, L"Creating associations..."},
    {L"Install", 10, L"Finishing setup..."},
    {L"Install", 12, L"Preparing..."},
    {L"Install", 13, L"Extracting files..."},
    {L"SetupComplete", 4, L"Launch App"},
    {L"SetupComplete", 10, L"WARNING! Your computer will restart now.<#><#>Save your work and click OK."},
    {L"Messages", 0, L"Exit Setup"},
    {L"Messages", 1, L"Cancel the installation?"},
    {L"Messages", 14, L"Error creating file:"},
    {L"Messages", 32, L"Unable to set Environment Variable:"},
    {L"Messages", 34, L"Please select at least one component."},
    {L"Messages", 35,
     L"Currently, you have \"<AppName> v%s\" installed on your computer.<#><#>Click \"YES\" to uninstall this "
     L"version before installing v<AppVersion>.<#><#>Click \"NO\" to overwrite v%s with v<AppVersion>.<#><#>Click "
     L"\"CANCEL\" to keep v%s and install v<AppVersion> in other location."},
    {L"Messages", 36, L"Continue anyway?"},
    {L"Messages", 37, L"Click Retry to continue, or Cancel to exit."},
    {L"Messages", 38, L"Please wait"},
    {L"Messages", 39, L"The file may be open in another program. Close it and try again."},
    {L"Messages", 40, L"Downloading data"},
    {L"Messages", 41, L"<AppName> cannot run on %s.<#><#>Installation cannot continue."},
};

}  // namespace

std::wstring_view BuiltInText(std::wstring_view section, int index) {
  for (const auto& b : kBuiltInTexts)
    if (b.index == index && EqualsNoCase(b.section, section)) return b.text;
  return {};
}

std::wstring PickLanguageText(std::wstring_view value) {
  return PickLanguageTextFor(value, State().LanguageName, Switch(L"-nosublng"));
}

std::optional<uint16_t> SystemLanguageId(int method) {
  switch (method) {
    case 0: return platform::UserDefaultUiLanguage();
    case 1: return platform::SystemDefaultLangId();
    case 2: return platform::SystemDefaultUiLanguage();
    case 3: return platform::UserDefaultLangId();
    default: return std::nullopt;
  }
}

namespace {

constexpr std::wstring_view kLanguageFileSuffix = L"ek.lng";

std::wstring LanguageFilePath(const std::wstring& folder, const std::wstring& name) {
  return folder + L"\\" + name + std::wstring(kLanguageFileSuffix);
}

// Language files carry a byte-order mark; one without is in the ANSI code page.
bool LoadLanguageDocument(const std::wstring& path, IniDocument& doc) {
  bool ok = false;
  DecodedText t = platform::ReadTextFile(path, TextEncoding::Ansi, &ok);
  if (!ok) return false;
  doc.Parse(t.text);
  return true;
}

bool g_menuOffered = false;

}  // namespace

std::vector<std::wstring> FindLanguageNames(const std::wstring& folder) {
  std::vector<std::wstring> names;
  for (const auto& e : platform::ListDirectory(folder, L"*" + std::wstring(kLanguageFileSuffix))) {
    // The system's pattern also matches through short names; keep only real "...ek.lng" names.
    if (e.isDirectory || !EndsWithNoCase(e.name, kLanguageFileSuffix)) continue;
    names.push_back(e.name.substr(0, e.name.size() - kLanguageFileSuffix.size()));
  }
  return names;
}

LanguageChoice ChooseLanguage(const std::vector<std::wstring>& list, std::wstring_view current,
                              const std::wstring& folder, const LanguageChoiceInputs& in) {
  LanguageChoice choice{std::wstring(current), false};
  if (list.size() < 2) return choice;

  if (in.autoDetect) {
    bool detected = false;
    if (in.systemLanguageId) {
      for (const auto& name : list) {
        IniDocument doc;
        if (!LoadLanguageDocument(LanguageFilePath(folder, name), doc)) continue;
        if (doc.ReadInteger(L"Info", L"id", 0) == static_cast<int32_t>(*in.systemLanguageId)) {
          choice.name = name;
          detected = true;
          break;
        }
      }
    }
    if (detected && in.hideOtherLanguages) return choice;
  }

  const std::wstring wanted = Trim(in.lngArgument);
  if (!wanted.empty()) {
    for (const auto& name : list) {
      if (EqualsNoCase(name, wanted)) {
        choice.name = wanted;  // as typed: file names compare without case
        break;
      }
    }
  }
  choice.menuOffered = !in.menuHidden;
  return choice;
}

bool BuildLanguageList() {
  auto& s = State();
  g_menuOffered = false;
  s.LanguageList = FindLanguageNames(s.SetupTempDir);
  if (s.LanguageList.empty()) return false;
  LanguageChoiceInputs in;
  in.autoDetect = SetupBool(L"AutoDetectLanguage");
  if (in.autoDetect) in.systemLanguageId = SystemLanguageId(SetupInt(L"LangIDMethod", 0));
  in.hideOtherLanguages = SetupBool(L"HideOtherLanguages");
  if (FindParam(L"/LNG") != 0) in.lngArgument = ParamValue(L"/LNG");
  in.menuHidden = Switch(L"-hidelng") || SetupBool(L"SilentInstall") || FindParam(L"/S") != 0;
  LanguageChoice choice = ChooseLanguage(s.LanguageList, s.LanguageName, s.SetupTempDir, in);
  s.LanguageName = std::move(choice.name);
  g_menuOffered = choice.menuOffered;
  return true;
}

bool LanguageMenuOffered() { return g_menuOffered; }

bool LoadLanguageFile() {
  auto& s = State();
  std::wstring path = LanguageFilePath(s.SetupTempDir, s.LanguageName);
  if (!platform::FileExists(path)) {
    const std::wstring configured = SetupString(L"Language", L"English");
    const std::wstring alternative = LanguageFilePath(s.SetupTempDir, configured);
    if (platform::FileExists(alternative)) {
      s.LanguageName = configured;
      path = alternative;
    }
  }
  auto doc = std::make_unique<IniDocument>();
  // A file that exists but cannot be read counts as missing.
  if (!platform::FileExists(path) || !LoadLanguageDocument(path, *doc)) return false;
  s.LanguageTexts = std::move(doc);
  return true;
}

int LanguageFlagIndex(std::wstring_view name) {
  static constexpr std::wstring_view kNames[] = {
      L"english", L"german", L"spanish", L"russian", L"italian", L"french", L"ukrainian", L"chinese",
      L"turkish", L"czech", L"greek", L"slovenian", L"hungarian", L"portuguese", L"brazilian portuguese",
      L"hebrew", L"thai", L"dutch", L"swedish", L"farsi", L"finnish", L"hindi", L"polish"};
  const std::wstring lower = ToLowerAscii(name);
  for (size_t i = 0; i < std::size(kNames); ++i)
    if (lower == kNames[i]) return static_cast<int>(i);
  return 0;
}

}  // namespace ek
