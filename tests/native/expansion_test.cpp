// The expansion rules with stand-in values: the order of the steps, and the
// bounds that keep hostile configurations (variables that name each other,
// formats with huge widths) from taking unbounded memory or time.
#include <gtest/gtest.h>

#include <string>

#include "base/expansion.h"
#include "variable_fixture.h"

using namespace ek;
using ek::fixture::TableVariables;

TEST(Expansion, StepsRunInTheirOrder) {
  TableVariables v;
  v.constants = {{1, L"Demo"}, {7, L"C:\\Apps\\<AppName>"}, {9, L"C:\\P\\app.exe"}, {2, L"2.<AppVersion>.1"}};
  v.userVariables = {L"<Color>=red", L"<Color>=blue", L"<InstallDir>=D:\\Mine"};
  v.state[StateToken::ExitCode] = L"<AppName>";
  v.componentsOn = true;
  v.components = {false, true};
  v.environment[L"HOME"] = L"/home";
  struct Case {
    const wchar_t* text;
    const wchar_t* want;
  } cases[] = {
      {L"<color>|<InstallDir>", L"blue|D:\\Mine"},           // later entries win and hide built-ins
      {L"<ExitCode>", L"Demo"},                              // a state value is expanded by the table
      {L"GETDIRX[<MainExe>]|GETNAMEX[<MAINEXE>]", L"C:\\P|app.exe"},
      {L"<COMPONENT2><COMPONENT1>", L"1<COMPONENT1>"},       // only the first component token
      {L"<AppVersion>", L"2.2.<AppVersion>.1.1"},            // a self-naming value stops at its second visit
      {L"<%HOME%>/<%home%>/<%PATH%>", L"/home//home/<%PATH%>"},
      {L"a<#>b", L"a\r\nb"},
  };
  for (const auto& c : cases) EXPECT_EQ(ExpandWith(c.text, v), c.want) << std::string(c.text, c.text + wcslen(c.text));
}

TEST(Expansion, VariablesThatNameEachOtherStayBounded) {
  // Each entry doubles the one before it: forty entries would make 2^40
  // characters. The text grows to its limit and no further.
  TableVariables v;
  for (int i = 0; i < 40; ++i)
    v.userVariables.push_back(L"<V" + std::to_wstring(i + 1) + L">=<V" + std::to_wstring(i) + L"><V" +
                              std::to_wstring(i) + L">");
  v.userVariables.push_back(L"<Start>=<V40>");
  const std::wstring out = ExpandWith(L"<Start>", v);
  EXPECT_LE(out.size(), ExpansionLimit(7));
  EXPECT_GT(out.size(), ExpansionLimit(7) / 4);  // real growth happens up to the bound

  // The same through the self-expanding numbers and the text functions.
  TableVariables w;
  w.constants = {{2, L"GETDIRX[<GUID>]GETNAMEX[<GUID>]UPPERCASEX[<GUID>]<GUID><GUID>"},
                 {84, L"GETDIRX[<AppVersion>]GETNAMEX[<AppVersion>]<AppVersion><AppVersion>"}};
  const std::wstring t = ExpandWith(L"<AppVersion><GUID>", w);
  EXPECT_LE(t.size(), ExpansionLimit(20));
  EXPECT_LT(w.constantCalls, 1000);
}

TEST(Expansion, LargeTextsStillExpandWithinTheAllowance) {
  TableVariables v;
  v.constants = {{7, L"C:\\Program Files\\Demo"}};
  std::wstring text;
  for (int i = 0; i < 20000; ++i) text += L"<InstallDir>\\file" + std::to_wstring(i) + L";";
  const std::wstring out = ExpandWith(text, v);
  EXPECT_EQ(out.find(L"<InstallDir>"), std::wstring::npos);
  // A value too large for the limit leaves its token as written.
  v.constants[7] = std::wstring(ExpansionLimit(14) + 100, L'x');
  EXPECT_TRUE(ExpandWith(L"[<InstallDir>]", v) == L"[<InstallDir>]");
}

TEST(Expansion, FormatWidthsAreBounded) {
  std::wstring out;
  EXPECT_TRUE(FormatOneArgument(L"[%5s]", L"ab", out));
  EXPECT_EQ(out, L"[   ab]");
  EXPECT_TRUE(FormatOneArgument(L"[%4096s]", L"ab", out));
  EXPECT_EQ(out.size(), 4098u);
  // A width that would take gigabytes rejects the text instead.
  EXPECT_FALSE(FormatOneArgument(L"%999999999s", L"x", out));
  EXPECT_FALSE(FormatOneArgument(L"%.99999999999999999999s", L"x", out));
  EXPECT_FALSE(FormatOneArgument(L"%99999999999:s", L"x", out));
}
