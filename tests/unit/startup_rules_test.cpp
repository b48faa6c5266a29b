// Start-up rules that do not need a package: ExtraVar from the file name and
// the argument text passed on to a relaunched copy.
#include <gtest/gtest.h>

#include "core/command_line.h"
#include "app/startup.h"

using namespace ek;

TEST(StartupRules, ExtraVarFromFileName) {
  struct Case {
    const wchar_t* name;
    const wchar_t* value;
  } cases[] = {
      {L"setup_de.exe", L"de"},      {L"tool-x64 (2).exe", L"x64"}, {L"my_setup_v2.exe", L"setup_v2"},
      {L"setup.exe", L""},           {L"a_b.EXE", L"b"},            {L"a_b.msi", L""},
      {L"a-b_c.exe", L"c"},
  };
  for (const auto& c : cases) EXPECT_EQ(ExtraVarFromFileName(c.name), c.value) << c.name;
}

TEST(StartupRules, CommandLineArgumentsDropTheProgram) {
  EXPECT_EQ(CommandLineArgumentsFrom(L"\"C:\\Temp\\setup.exe\" /S", L"C:\\Temp\\setup.exe", true), L"/S");
  EXPECT_EQ(CommandLineArgumentsFrom(L"C:\\Temp\\setup.exe /S", L"C:\\Temp\\setup.exe", true), L" /S");
  EXPECT_EQ(CommandLineArgumentsFrom(L"\"c:\\temp\\SETUP.exe\" /S /D \"C:\\x y\"", L"C:\\Temp\\setup.exe", true), L"/S /D \"C:\\x y\"");
  EXPECT_EQ(CommandLineArgumentsFrom(L"setup.exe /S", L"C:\\Temp\\setup.exe", true), L" /S");
  EXPECT_EQ(CommandLineArgumentsFrom(L"\"C:\\Temp\\setup.exe\"", L"C:\\Temp\\setup.exe", false), L"");
}
