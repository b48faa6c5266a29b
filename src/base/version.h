// Version texts: normalisation into four numbers and the one comparison used
// everywhere. Pure: the engine switches come in as flags.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace ek {

class IniDocument;

struct VersionRules {
  bool doubleDots = false;        // -doubledots
  bool keepMetadata = false;      // -noremovemetadata
  bool hyphenIsSeparator = false; // -verhyphen
  bool simple = false;            // -simpleversioning
};

// The rules as the engine switches of a configuration set them.
[[nodiscard]] VersionRules VersionRulesOf(const IniDocument& config);

using VersionNumbers = std::array<int32_t, 4>;

// Major, minor, build, revision. Only rules.doubleDots matters here.
[[nodiscard]] VersionNumbers ParseVersion(std::wstring_view text, const VersionRules& rules = {});
// True when a is newer than b, or orEqual when they count as equal.
[[nodiscard]] bool CompareVersions(std::wstring_view a, std::wstring_view b, bool orEqual, const VersionRules& rules = {});

}  // namespace ek
