// Per-language values of the configuration: a default text, "#", then each
// language's name followed by its text in square brackets, for example
// "Notes#German[Notizen]French[Notes FR]". Pure.
#pragma once

#include <string>
#include <string_view>

namespace ek {

// The part of such a value for the language; the whole value when it holds no
// "[" or when sub-languages are switched off (-nosublng).
[[nodiscard]] std::wstring PickLanguageTextFor(std::wstring_view value, std::wstring_view language, bool noSubLanguage);

}  // namespace ek
