// Language files and texts: the offered languages, the selection, loading
// "<Language>ek.lng", text lookup with built-in English defaults, and the
// per-language inline values of the configuration.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/language_value.h"  // PickLanguageTextFor, the rule without the state

namespace ek {

// The entry of LanguageTexts, or the caller's default when it is missing. Raw:
// not expanded, not language-picked.
std::wstring LangText(std::wstring_view section, int index, std::wstring_view fallback = {});

// The built-in English default of an entry, the one every reader of that entry
// passes to LangText; empty for entries that are read without a default.
std::wstring_view BuiltInText(std::wstring_view section, int index);
// Defaults that only one reader of the entry passes, so BuiltInText leaves them out.
// [Messages] 27 as the Install button reads it when the elevated hand-off fails.
inline constexpr std::wstring_view kAdminRequiredShortText = L"Log in as administrator.";
// [Messages] 33 as the first reader of the system checks reads it.
inline constexpr std::wstring_view kPrerequisiteNotInstalledText =
    L"\"%s\" was not installed on your computer.<#>You can continue with this installation, but please note: the "
    L"application may not function properly.";

// The part of a per-language configuration value for LanguageName.
std::wstring PickLanguageText(std::wstring_view value);

// The system's language identifier by [Setup] LangIDMethod (0 user UI
// language, 1 system locale, 2 system UI language, 3 user locale); nothing
// for other methods.
std::optional<uint16_t> SystemLanguageId(int method);

// The language names of the "*ek.lng" files of a folder, in listing order.
std::vector<std::wstring> FindLanguageNames(const std::wstring& folder);

// What the language choice of BuildLanguageList depends on besides the list.
struct LanguageChoiceInputs {
  bool autoDetect = false;                   // [Setup] AutoDetectLanguage
  std::optional<uint16_t> systemLanguageId;  // nothing: detection finds no match
  bool hideOtherLanguages = false;           // [Setup] HideOtherLanguages
  std::wstring lngArgument;                  // the argument after "/LNG"; empty when absent
  bool menuHidden = false;                   // -hidelng, [Setup] SilentInstall or /S
};
struct LanguageChoice {
  std::wstring name;
  bool menuOffered = false;
};
// The choice among the listed languages: detection by the "[Info] id" of the
// files in `folder`, then "/LNG", then whether the language menu is offered.
LanguageChoice ChooseLanguage(const std::vector<std::wstring>& list, std::wstring_view current,
                              const std::wstring& folder, const LanguageChoiceInputs& in);

// Fills LanguageList from SetupTempDir, applies detection and /LNG. False
// when no language file exists.
[[nodiscard]] bool BuildLanguageList();
// Whether the last BuildLanguageList offers the language menu (SpeedButton1
// and MenuLng with one item per LanguageList name).
bool LanguageMenuOffered();
// Loads LanguageTexts for LanguageName with the fallback to [Setup] Language;
// false when neither file exists or can be read.
[[nodiscard]] bool LoadLanguageFile();
// Image index of a language's flag (0 for unknown names).
int LanguageFlagIndex(std::wstring_view name);

}  // namespace ek
