#include <gtest/gtest.h>

#include <random>
#include <string>

#include "base/text.h"

namespace {

// The plain definition: the first place from `from` on where every folded
// character matches.
size_t ReferenceFind(std::wstring_view hay, std::wstring_view needle, size_t from) {
  if (needle.empty()) return from <= hay.size() ? from : ek::npos;
  for (size_t i = from; i + needle.size() <= hay.size(); ++i) {
    size_t k = 0;
    while (k < needle.size() && ek::FoldChar(hay[i + k]) == ek::FoldChar(needle[k])) ++k;
    if (k == needle.size()) return i;
  }
  return ek::npos;
}

// Short and long needles (the long ones take another search) over texts of
// few letters in both cases, so that partial matches and repeats abound.
TEST(FindNoCase, AgreesWithThePlainDefinition) {
  const std::wstring letters = L"aAbB\u00e4\u00c4[";
  std::mt19937 random(7);
  auto text = [&](size_t n) {
    std::wstring t;
    for (size_t i = 0; i < n; ++i) t += letters[random() % letters.size()];
    return t;
  };
  for (int round = 0; round < 3000; ++round) {
    const std::wstring hay = text(random() % 200);
    std::wstring needle;
    if (round % 2 == 0 && hay.size() > 40) {
      const size_t start = random() % (hay.size() - 40);
      needle = ek::ToUpperAscii(hay.substr(start, 33 + random() % 7));  // surely present once
    } else {
      needle = text(random() % 45);
    }
    const size_t from = hay.empty() ? 0 : random() % (hay.size() + 2);
    ASSERT_EQ(ek::FindNoCase(hay, needle, from), ReferenceFind(hay, needle, from))
        << "round " << round << " needle " << needle.size() << " from " << from;
  }
}

TEST(FindNoCase, PeriodicTextAndLongNeedle) {
  std::wstring unit = L"GETDIRX[", needle, hay;
  for (int i = 0; i < 10; ++i) needle += unit;
  needle += L"]";
  for (int i = 0; i < 500; ++i) hay += L"getdirx[";
  EXPECT_EQ(ek::FindNoCase(hay, needle), ek::npos);
  hay += L"]";
  EXPECT_EQ(ek::FindNoCase(hay, needle), hay.size() - needle.size());
}

}  // namespace
