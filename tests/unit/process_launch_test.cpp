// Starting programs: exit codes into LastExitCode, failed starts, and the
// one-line command texts with bitness alternatives.
#include <gtest/gtest.h>

#include "actions/process_launch.h"
#include "platform/shell.h"
#include "setup_fixture.h"

using namespace ek;

namespace {

class ProcessLaunch : public test::SetupStateTest {
 protected:
  void SetUp() override {
    test::SetupStateTest::SetUp();
    LoadConfig(L"[Setup]\n");
    State().Silent = true;
  }
  std::wstring Cmd() { return platform::ShellFolder(37) + L"\\cmd.exe"; }
};

TEST_F(ProcessLaunch, WaitedExitCodesAndFailedStarts) {
  EXPECT_EQ(State().LastExitCode, L"-1");
  EXPECT_TRUE(RunProcess(nullptr, Cmd(), L"/C exit 3", platform::kSwHide, true, false, true));
  EXPECT_EQ(State().LastExitCode, L"3");
  EXPECT_TRUE(RunProcess(nullptr, Cmd(), L"/C exit -2", platform::kSwHide, true, false, false));
  EXPECT_EQ(State().LastExitCode, L"4294967294");  // unsigned
  // Not waiting leaves the code alone, even when the start fails.
  EXPECT_FALSE(RunProcess(nullptr, L"C:\\no\\such\\program.exe", L"", platform::kSwHide, false, false, false));
  EXPECT_EQ(State().LastExitCode, L"4294967294");
  EXPECT_FALSE(RunProcess(nullptr, L"C:\\no\\such\\program.exe", L"", platform::kSwHide, true, false, false));
  EXPECT_EQ(State().LastExitCode, L"-1");
}

TEST_F(ProcessLaunch, BitnessAlternativesAndSplitting) {
  struct Case {
    const wchar_t* text;
    bool is64;
    const wchar_t* chosen;
  } cases[] = {
      {L"X86[C:\\a32.exe /q]X64[C:\\a64.exe /q]", false, L"C:\\a32.exe /q"},
      {L"X86[C:\\a32.exe /q]X64[C:\\a64.exe /q]", true, L"C:\\a64.exe /q"},
      {L"x32[C:\\old.exe]", false, L"C:\\old.exe"},
      {L"X86[C:\\a32.exe]", true, L"X86[C:\\a32.exe]"},  // no alternative for 64-bit: used whole
      {L"C:\\plain.exe [x]", true, L"C:\\plain.exe [x]"},
  };
  for (const auto& c : cases) EXPECT_EQ(ChooseBitnessAlternative(c.text, c.is64), c.chosen) << c.text;

  struct Split {
    const wchar_t* text;
    const wchar_t* program;
    const wchar_t* parameters;
  } splits[] = {
      {L"\"C:\\Program Files\\app.exe\" /S", L"C:\\Program Files\\app.exe", L"/S"},
      {L"\"C:\\Program Files\\app.exe\"", L"\"C:\\Program Files\\app.exe\"", L""},
      {L"C:\\app.exe \"file name.txt\"", L"C:\\app.exe", L"\"file name.txt\""},
      {L"https://example.com/page", L"https://example.com/page", L""},
  };
  for (const auto& s : splits) {
    CommandLineSplit r = SplitCommandLine(s.text, false);
    EXPECT_EQ(r.program, s.program) << s.text;
    EXPECT_EQ(r.parameters, s.parameters) << s.text;
  }
  EXPECT_EQ(SplitCommandLine(L"C:\\app.exe /S", true).program, L"C:\\app.exe /S");
}

TEST_F(ProcessLaunch, CommandLineStartsExistingProgramsAndSuppressesWhenAsked) {
  EXPECT_TRUE(RunCommandLine(nullptr, L"\"" + Cmd() + L"\" /C exit 7", true, false, false));
  EXPECT_EQ(State().LastExitCode, L"7");
  LoadConfig(L"[Setup]\nSetupParameters=-nocmdifsilent\n");
  EXPECT_FALSE(RunCommandLine(nullptr, L"\"" + Cmd() + L"\" /C exit 8", true, false, false));
  EXPECT_EQ(State().LastExitCode, L"7");
}

}  // namespace
