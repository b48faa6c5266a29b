#include <gtest/gtest.h>

#include "base/ini_document.h"
#include "base/record_list.h"

using ek::IniDocument;

TEST(IniDocument, ReadingRules) {
  IniDocument d;
  d.Parse(L"junk=before\r\n[setup]\r\n appname = X \r\n;comment=1\r\nflag\r\n  [Setup]\r\nAppName=Second\r\n"
          L"[GUI]\nHex=0x10\nDollar=$10\nTrail=16   \nBad=yes\nTwo=2\n");
  EXPECT_EQ(d.ReadString(L"Setup", L"AppName"), L"X");
  EXPECT_FALSE(d.KeyExists(L"Setup", L"junk"));
  EXPECT_FALSE(d.KeyExists(L"Setup", L";comment"));
  EXPECT_TRUE(d.KeyExists(L"SETUP", L"FLAG"));
  EXPECT_EQ(d.KeyCount(L"Setup"), 2u);  // the second [Setup] is ignored
  EXPECT_EQ(d.ReadInteger(L"GUI", L"Hex", 0), 16);
  EXPECT_EQ(d.ReadInteger(L"GUI", L"Dollar", 0), 16);
  EXPECT_EQ(d.ReadInteger(L"GUI", L"Trail", 0), 16);
  EXPECT_FALSE(d.ReadBool(L"GUI", L"Bad", false));
  EXPECT_TRUE(d.ReadBool(L"GUI", L"Bad", true));
  EXPECT_TRUE(d.ReadBool(L"GUI", L"Two", false));
}

TEST(RecordList, DenseNumbering) {
  IniDocument d;
  d.Parse(L"[R]\n0=a*?b\n1=*?*?c\n3=never\n");
  EXPECT_EQ(ek::RecordCount(d, L"R"), 3u);
  EXPECT_EQ(ek::ReadRecord(d, L"R", 2), L"");
  auto f = ek::SplitRecord(ek::ReadRecord(d, L"R", 1));
  ASSERT_EQ(f.size(), 3u);
  EXPECT_EQ(f[2], L"c");
}

TEST(EngineSwitch, SubstringIgnoringCase) {
  IniDocument d;
  d.Parse(L"[Setup]\nSetupParameters=-NOSUBLNG -logot0x\n");
  EXPECT_TRUE(ek::HasEngineSwitch(d, L"-nosublng"));
  EXPECT_TRUE(ek::HasEngineSwitch(d, L"-logot0"));
  EXPECT_FALSE(ek::HasEngineSwitch(d, L"-hidelng"));
  IniDocument none;
  EXPECT_FALSE(ek::HasEngineSwitch(none, L"-nosublng"));
}
