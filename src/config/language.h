// Language files and texts: the offered languages, the selection, loading
// "<Language>ek.lng", text lookup with built-in English defaults, and the
// per-language inline values of the configuration.
#pragma once

#include <string>
#include <string_view>

namespace ek {

// The entry of LanguageTexts, or the caller's default when it is missing. Raw:
// not expanded, not language-picked.
std::wstring LangText(std::wstring_view section, int index, std::wstring_view fallback = {});

// The part of a per-language configuration value for LanguageName.
std::wstring PickLanguageText(std::wstring_view value);
// The same, for a given language name and -nosublng setting (pure rule).
std::wstring PickLanguageTextFor(std::wstring_view value, std::wstring_view language, bool noSubLanguage);

// Fills LanguageList from SetupTempDir, applies detection and /LNG. Stops
// start-up with code 4 when no language file exists.
void BuildLanguageList();
// Loads LanguageTexts for LanguageName with the fallback to [Setup] Language;
// stops start-up with code 4 when neither file exists.
void LoadLanguageFile();
// Image index of a language's flag (0 for unknown names).
int LanguageFlagIndex(std::wstring_view name);

}  // namespace ek
