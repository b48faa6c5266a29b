// Variable expansion with stand-in values taken from the input (the engine's
// own values come from the state and the platform; the rules are the same):
// the text on the first line, then lines that define values:
//   u<Name>=value   a user variable        c<n>:value   built-in number n
//   s<k>:value      state token k           e<NAME>=value an environment value
//   k<bits>         components offered, checked when the bit is 1
//   r<digit>        version rules
// Whatever they hold, the expansion ends, and the text grows no more than
// its limit.
#include "base/expansion.h"
#include "fuzz_input.h"
#include "variable_fixture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view in = ek::fuzz::Bytes(data, size);
  const std::wstring text = ek::Utf8ToWide(ek::fuzz::TakeUntil(in, '\n'));
  ek::fixture::TableVariables values;
  while (!in.empty()) {
    const std::wstring line = ek::Utf8ToWide(ek::fuzz::TakeUntil(in, '\n'));
    if (line.empty()) continue;
    const std::wstring rest = line.substr(1);
    const size_t colon = rest.find(L':'), eq = rest.find(L'=');
    switch (line[0]) {
      case L'u': values.userVariables.push_back(rest); break;
      case L'c':
        if (colon != std::wstring::npos) values.constants[ek::ParseInt32Or(rest.substr(0, colon), 0) % 100] = rest.substr(colon + 1);
        break;
      case L's':
        if (colon != std::wstring::npos)
          values.state[static_cast<ek::StateToken>((ek::ParseInt32Or(rest.substr(0, colon), 0) & 0xFF) % 7)] = rest.substr(colon + 1);
        break;
      case L'e':
        if (eq != std::wstring::npos) values.environment[rest.substr(0, eq)] = rest.substr(eq + 1);
        break;
      case L'k':
        values.componentsOn = true;
        for (wchar_t b : rest) values.components.push_back(b == L'1');
        break;
      case L'r':
        values.rules.doubleDots = !rest.empty() && (rest[0] & 1);
        values.rules.simple = !rest.empty() && (rest[0] & 2);
        break;
    }
  }
  const std::wstring out = ek::ExpandWith(text, values);
  FUZZ_CHECK(out.size() <= ek::ExpansionLimit(text.size()));

  std::wstring formatted;
  if (ek::FormatOneArgument(text, L"<InstallDir>", formatted))
    FUZZ_CHECK(formatted.size() <= text.size() * (ek::kMaxFormatWidth + 12) + 12);
  return 0;
}
