#include "config/language.h"

#include "app/command_line.h"
#include "app/setup_state.h"
#include "app/startup.h"
#include "config/text.h"
#include "platform/file_system.h"
#include "platform/system.h"

namespace ek {

std::wstring LangText(std::wstring_view section, int index, std::wstring_view fallback) {
  const std::wstring* v = Language().Find(section, ToText(index));
  return v ? *v : std::wstring(fallback);
}

std::wstring PickLanguageTextFor(std::wstring_view value, std::wstring_view language, bool noSubLanguage) {
  if (value.find(L'[') == std::wstring_view::npos || noSubLanguage) return std::wstring(value);
  std::wstring result(value);
  size_t hash = value.find(L'#');
  if (hash != std::wstring_view::npos) result.assign(value.substr(0, hash));
  std::wstring marker = std::wstring(language) + L"[";
  size_t at = FindNoCase(value, marker);
  if (language.empty() || at == npos) return result;
  result.assign(value.substr(at + marker.size()));
  size_t close = result.find(L']');
  if (close != std::wstring::npos) result.resize(close);
  return result;
}

std::wstring PickLanguageText(std::wstring_view value) {
  return PickLanguageTextFor(value, State().LanguageName, Switch(L"-nosublng"));
}

namespace {

std::wstring LanguageFilePath(const std::wstring& name) { return State().SetupTempDir + L"\\" + name + L"ek.lng"; }

bool LoadIni(const std::wstring& path, IniDocument& doc) {
  bool ok = false;
  DecodedText t = platform::ReadTextFile(path, TextEncoding::Ansi, &ok);
  if (!ok) return false;
  doc.Parse(t.text);
  return true;
}

uint16_t SystemLanguageId(int method, bool* known) {
  *known = true;
  switch (method) {
    case 0: return platform::UserDefaultUiLanguage();
    case 1: return platform::SystemDefaultLangId();
    case 2: return platform::SystemDefaultUiLanguage();
    case 3: return platform::UserDefaultLangId();
    default: *known = false; return 0;
  }
}

}  // namespace

void BuildLanguageList() {
  auto& s = State();
  s.LanguageList.clear();
  for (const auto& e : platform::ListDirectory(s.SetupTempDir, L"*ek.lng")) {
    if (e.isDirectory || e.name.size() < 6) continue;
    s.LanguageList.push_back(e.name.substr(0, e.name.size() - 6));
  }
  if (s.LanguageList.empty()) {
    s.SetupConfig.reset();
    StopWithError(4);
  }
  if (s.LanguageList.size() == 1) return;

  bool detected = false;
  if (SetupBool(L"AutoDetectLanguage")) {
    bool known = false;
    const uint16_t id = SystemLanguageId(SetupInt(L"LangIDMethod", 0), &known);
    if (known) {
      for (const auto& name : s.LanguageList) {
        IniDocument doc;
        if (!LoadIni(LanguageFilePath(name), doc)) continue;
        if (doc.ReadInteger(L"Info", L"id", 0) == id) {
          s.LanguageName = name;
          detected = true;
          break;
        }
      }
    }
    if (detected && SetupBool(L"HideOtherLanguages")) return;
  }
  if (FindParam(L"/LNG") != 0) {
    std::wstring wanted = Trim(ParamValue(L"/LNG"));
    if (!wanted.empty()) {
      for (const auto& name : s.LanguageList) {
        if (EqualsNoCase(name, wanted)) {
          s.LanguageName = wanted;
          break;
        }
      }
    }
  }
}

void LoadLanguageFile() {
  auto& s = State();
  std::wstring path = LanguageFilePath(s.LanguageName);
  if (!platform::FileExists(path)) {
    std::wstring configured = SetupString(L"Language", L"English");
    std::wstring alt = LanguageFilePath(configured);
    if (platform::FileExists(alt)) {
      s.LanguageName = configured;
      path = alt;
    }
  }
  auto doc = std::make_unique<IniDocument>();
  if (!platform::FileExists(path) || !LoadIni(path, *doc)) {
    s.SetupConfig.reset();
    s.ScratchKeyList.clear();
    StopWithError(4);
  }
  s.LanguageTexts = std::move(doc);
}

int LanguageFlagIndex(std::wstring_view name) {
  static const wchar_t* const kNames[] = {
      L"english", L"german", L"spanish", L"russian", L"italian", L"french", L"ukrainian", L"chinese",
      L"turkish", L"czech", L"greek", L"slovenian", L"hungarian", L"portuguese", L"brazilian portuguese",
      L"hebrew", L"thai", L"dutch", L"swedish", L"farsi", L"finnish", L"hindi", L"polish"};
  const std::wstring lower = ToLowerAscii(name);
  for (int i = 0; i < 23; ++i)
    if (lower == kNames[i]) return i;
  return 0;
}

}  // namespace ek
