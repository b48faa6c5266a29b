// The expansion of placeholders in configuration and language texts, apart
// from where their values come from: "<#>", the component token, the text
// functions (GETDIRX[...] and the others), the state tokens, the user
// variables, the numbered built-in variables and one environment token, in
// that fixed order. Pure: the values come through a VariableSource, so the
// rules are tested and fuzzed natively with stand-ins.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/version.h"

namespace ek {

// Tokens whose values are facts of the run rather than numbered variables.
enum class StateToken { ExitCode, CurrentAppVersion, CurrentAppUninstall, AppEdition, Year, Month, Day };

class VariableSource {
 public:
  virtual ~VariableSource() = default;
  // The check mark of component `number` (counted from 1); nothing when
  // components are not offered or the number names no component.
  [[nodiscard]] virtual std::optional<bool> ComponentChecked(int number) = 0;
  [[nodiscard]] virtual VersionRules Versions() = 0;
  [[nodiscard]] virtual std::wstring StateValue(StateToken token) = 0;
  // The results of the Variables section: entry i is "<Name>=value".
  [[nodiscard]] virtual size_t UserVariableCount() = 0;
  [[nodiscard]] virtual std::wstring UserVariable(size_t index) = 0;
  // The built-in variable of that number, as GetConstant gives it.
  [[nodiscard]] virtual std::wstring Constant(int number) = 0;
  [[nodiscard]] virtual std::wstring Environment(std::wstring_view name) = 0;
};

struct BuiltInVariable {
  int number;
  const wchar_t* name;
};
// The numbered built-in variables in substitution order.
[[nodiscard]] std::span<const BuiltInVariable> BuiltInVariables();

// However its values nest, an expanded text grows by at most
// kExpansionAllowance characters, or four times its own length when that is
// more; a replacement that would pass the bound is not made, and its token
// stays as written. Real values are paths and names; only a hostile
// configuration (variables that name each other many times over) comes near.
inline constexpr size_t kExpansionAllowance = 64 * 1024;
[[nodiscard]] constexpr size_t ExpansionLimit(size_t length) {
  return length + (4 * length > kExpansionAllowance ? 4 * length : kExpansionAllowance);
}

// However its values nest, one expansion (with everything nested in it)
// reads and writes at most kExpansionWork characters and sixty-four per
// character of its text; past that, the placeholders not yet replaced stay
// as written. A real text costs about ten times its length and three times
// more per name replaced in it; the bound keeps a hostile one to a
// millisecond.
inline constexpr size_t kExpansionWork = 128 * 1024;
[[nodiscard]] constexpr size_t ExpansionWork(size_t length) { return kExpansionWork + 64 * length; }

// Replaces every placeholder that the source can resolve; never fails.
// Values of the source may themselves be expanded (through this function);
// nesting deeper than a fixed limit leaves the inner text as written.
[[nodiscard]] std::wstring ExpandWith(std::wstring_view text, VariableSource& source);

// GETDIRX[: the text before the last "\" or ":"; the "\" of a drive's root
// ("C:\") stays.
[[nodiscard]] std::wstring FolderOfPath(std::wstring_view path);

// The platform's format rules for one string argument: "%%" is a percent
// sign, "%s" (with optional index 0, "-", width and precision) takes the
// argument; anything else, and a width or precision beyond kMaxFormatWidth,
// rejects the text (false).
inline constexpr int kMaxFormatWidth = 4096;
[[nodiscard]] bool FormatOneArgument(std::wstring_view text, std::wstring_view argument, std::wstring& out);

}  // namespace ek
