// Version texts: parsing never fails, and the comparison is an order (never
// both newer and older, never newer than itself, transitive), whatever the
// texts and the rules.
#include "base/version.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  ek::VersionRules rules;
  rules.doubleDots = data[0] & 1;
  rules.keepMetadata = data[0] & 2;
  rules.hyphenIsSeparator = data[0] & 4;
  rules.simple = data[0] & 8;
  std::string_view in = ek::fuzz::Bytes(data + 1, size - 1);
  const std::wstring a = ek::Utf8ToWide(ek::fuzz::TakeUntil(in, '\n'));
  const std::wstring b = ek::Utf8ToWide(ek::fuzz::TakeUntil(in, '\n'));
  const std::wstring c = ek::Utf8ToWide(in);
  for (const auto* t : {&a, &b, &c}) {
    const ek::VersionNumbers v = ek::ParseVersion(*t, rules);
    for (int32_t n : v) FUZZ_CHECK(n >= 0);
    FUZZ_CHECK(!ek::CompareVersions(*t, *t, false, rules));
    FUZZ_CHECK(ek::CompareVersions(*t, *t, true, rules));
  }
  const bool ab = ek::CompareVersions(a, b, false, rules), ba = ek::CompareVersions(b, a, false, rules);
  FUZZ_CHECK(!(ab && ba));
  // Neither newer: they count as equal, so "or equal" holds both ways.
  if (!ab && !ba) FUZZ_CHECK(ek::CompareVersions(a, b, true, rules) && ek::CompareVersions(b, a, true, rules));
  if (ab && ek::CompareVersions(b, c, false, rules)) FUZZ_CHECK(ek::CompareVersions(a, c, false, rules));
  return 0;
}
