// Small text and path services.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ek {

std::wstring SizeText(int64_t bytes);
uint64_t DriveFreeSpace(std::wstring_view path);
// The form file functions need: "\\?\" (or "\\?\UNC\") for paths of 260
// characters or more, unless NoLongPathPrefix.
std::wstring ExtendedPath(std::wstring_view path);
// The same rule without the state (pure).
std::wstring ExtendedPathRule(std::wstring_view path, bool noPrefix);
std::wstring LongPathNameOf(std::wstring_view path);
std::wstring NewGuidText();
std::wstring EnvironmentValue(std::wstring_view name);
// Path of RegAsm.exe (the last of the known framework folders that holds
// one), searched once per run; empty when none exists.
std::wstring FindRegAsm();


}  // namespace ek
