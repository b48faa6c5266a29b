#include <gtest/gtest.h>

#include <string>

#include "base/ini_document.h"
#include "base/record_list.h"
#include "base/version.h"

using ek::CompareVersions;
using ek::ParseVersion;
using ek::VersionNumbers;
using ek::VersionRules;

namespace {

VersionRules With(bool doubleDots, bool keepMetadata, bool hyphen, bool simple) {
  VersionRules r;
  r.doubleDots = doubleDots;
  r.keepMetadata = keepMetadata;
  r.hyphenIsSeparator = hyphen;
  r.simple = simple;
  return r;
}

const VersionRules kPlain{};
const VersionRules kDoubleDots = With(true, false, false, false);
const VersionRules kKeepMetadata = With(false, true, false, false);
const VersionRules kHyphen = With(false, false, true, false);
const VersionRules kSimple = With(false, false, false, true);

}  // namespace

TEST(ParseVersion, NormalisesDecorations) {
  struct Case {
    const wchar_t* text;
    VersionRules rules;
    VersionNumbers want;
  } cases[] = {
      {L"1.2.3.4", kPlain, {1, 2, 3, 4}},
      {L"", kPlain, {0, 0, 0, 0}},
      {L"beta", kPlain, {0, 0, 0, 0}},
      {L"2.1 (x64)", kPlain, {2, 164, 0, 0}},  // letters and blanks are dropped, digits run together
      {L"1,5", kPlain, {1, 5, 0, 0}},
      {L"1_5", kPlain, {1, 5, 0, 0}},
      {L"1..5", kPlain, {1, 0, 5, 0}},
      {L"1..5", kDoubleDots, {1, 5, 0, 0}},
      {L"1...5", kDoubleDots, {1, 0, 5, 0}},  // one pass: "..." becomes ".."
      {L"1-2-3", kPlain, {1, 23, 0, 0}},      // only the first "-" separates
      {L"1.2.3.4.5.6", kPlain, {1, 2, 3, 4}},
      {L".5", kPlain, {0, 5, 0, 0}},
      {L"2147483647.2147483648.7", kPlain, {2147483647, 0, 7, 0}},  // beyond 32 bits reads 0
      {L"99999999999999999999999.1", kPlain, {0, 1, 0, 0}},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseVersion(c.text, c.rules), c.want) << "case " << (&c - cases);
}

TEST(CompareVersions, Rules) {
  struct Case {
    const wchar_t* a;
    const wchar_t* b;
    VersionRules rules;
    bool newer;    // result with orEqual false
    bool orEqual;  // result with orEqual true
  } cases[] = {
      {L"1.2.4", L"1.2.3", kPlain, true, true},
      {L"1.2.3", L"1.2.4", kPlain, false, false},
      {L"1.2.3", L"1.2.3.0", kPlain, false, true},  // four equal parts
      {L" 1.2 ", L"1.2", kPlain, false, true},      // blanks trimmed before the text test
      {L"2.0", L"10.0", kPlain, false, false},      // numbers, not texts
      {L"10.0", L"2.0", kPlain, true, true},
      {L"1.2.3.5", L"1.2.3.4", kPlain, true, true},  // no tags: the fourth part decides
      {L"1.2.3-beta", L"1.2.3", kPlain, false, false},
      {L"1.2.3", L"1.2.3-beta", kPlain, true, true},
      {L"1.2.4-beta", L"1.2.3", kPlain, true, true},  // the first three parts come before the tag
      {L"1.2.3-rc2", L"1.2.3-rc10", kPlain, true, true},
      {L"1.2.3-Beta", L"1.2.3-beta", kPlain, false, true},
      {L"1.2.3.4-beta", L"1.2.3.5-beta", kPlain, false, true},  // equal tags: fourth part unseen
      {L"1.2.3-beta.2", L"1.2.3-beta", kPlain, true, true},     // the longer tag is newer
      {L"1.2.3-", L"1.2.3", kPlain, false, false},              // an empty tag is still a tag
      {L"1.0-\u00e9", L"1.0-z", kPlain, true, true},            // code units, unsigned
      {L"1.0-\u00c9", L"1.0-\u00e9", kPlain, false, false},     // only ASCII letters are lowered
      {L"1.0+build5", L"1.0+build7", kPlain, false, true},
      {L"1.0+build5", L"1.0+build7", kKeepMetadata, false, false},  // 1.05 against 1.07
      {L"1.0+build7", L"1.0+build5", kKeepMetadata, true, true},
      {L"", L"", kPlain, false, true},
      {L"2.0-3", L"2.0.2", kPlain, false, false},  // "-3" is a tag
      {L"2.0-3", L"2.0.2", kHyphen, true, true},   // "-3" is the third part
      {L"1.2.3-beta", L"1.2.3", kHyphen, false, true},  // no tags: 1.2.3.0 twice
      {L"1..5", L"1.4", kPlain, false, false},
      {L"1..5", L"1.4", kDoubleDots, true, true},
      {L"1.2.3.4-beta", L"1.2.3.5", kSimple, false, false},
      {L"1.2.3.5-alpha", L"1.2.3.4", kSimple, true, true},
      {L"1.2.3-beta", L"1.2.3", kSimple, false, true},  // tags ignored
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
    EXPECT_EQ(CompareVersions(c.a, c.b, false, c.rules), c.newer);
    EXPECT_EQ(CompareVersions(c.a, c.b, true, c.rules), c.orEqual);
  }
}

TEST(CompareVersions, RulesFromEngineSwitches) {
  ek::IniDocument config;
  config.Parse(L"[Setup]\nSetupParameters=-DoubleDots -verhyphen\n");
  const VersionRules r = ek::VersionRulesOf(config);
  EXPECT_TRUE(r.doubleDots);
  EXPECT_TRUE(r.hyphenIsSeparator);
  EXPECT_FALSE(r.keepMetadata);
  EXPECT_FALSE(r.simple);
}

// Engine switches are answered from what the configuration says now, also
// after it changed or was replaced by another document at the same place.
TEST(EngineSwitches, AnswersFollowTheConfiguration) {
  ek::IniDocument config;
  config.Parse(L"[Setup]\r\nSetupParameters=-nosilent -DoubleDots\r\n");
  EXPECT_TRUE(ek::HasEngineSwitch(config, L"-doubledots"));
  EXPECT_TRUE(ek::HasEngineSwitch(config, L"-NOSILENT"));
  EXPECT_FALSE(ek::HasEngineSwitch(config, L"-nosavelog"));
  EXPECT_FALSE(ek::HasEngineSwitch(config, L""));
  config.WriteString(L"Setup", L"SetupParameters", L"-nosavelog");
  EXPECT_TRUE(ek::HasEngineSwitch(config, L"-nosavelog"));
  EXPECT_FALSE(ek::HasEngineSwitch(config, L"-nosilent"));
  config.Parse(L"[Setup]\r\n");
  EXPECT_FALSE(ek::HasEngineSwitch(config, L"-nosavelog"));
  ek::IniDocument other;
  other.Parse(L"[Setup]\r\nSetupParameters=-verhyphen\r\n");
  config = std::move(other);
  EXPECT_TRUE(ek::HasEngineSwitch(config, L"-verhyphen"));
  EXPECT_FALSE(ek::HasEngineSwitch(other, L"-verhyphen"));  // moved from: empty
}
