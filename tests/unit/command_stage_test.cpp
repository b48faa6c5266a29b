// Stop and halt requests belong to the stage that made them: a stop at one
// click on Install must not end the next click before its records run, and
// GETVARIABLES evaluates [Variables] again instead of starting a program.
#include <gtest/gtest.h>

#include "actions/command_list.h"
#include "app/install_button.h"
#include "config/variables.h"
#include "platform/file_system.h"
#include "setup_fixture.h"

namespace ek {
namespace {

using test::ScratchFolder;
using test::SetupStateTest;

class CommandStages : public SetupStateTest {
 protected:
  void SetUp() override {
    SetupStateTest::SetUp();
    start_ = platform::CurrentDirectory();
    State().Silent = true;
  }
  void TearDown() override {
    Ignore(platform::SetCurrentDir(start_));
    SetupStateTest::TearDown();
  }
  std::wstring start_;
};

TEST_F(CommandStages, AStopEndsOnlyTheClickThatMadeIt) {
  ScratchFolder marked(L"stopmark"), elsewhere(L"stopelse");
  // The first record belongs to another stage; the second shows that a
  // click ran its records; the third stops the click.
  LoadConfig(L"[Setup]\r\nSetupParameters=-nochecksize\r\n[Commands]\r\n"
             L"0=SetCurrentDir*?C:\\*?HIDE*?BEFORE INSTALLATION*?*?*?\r\n"
             L"1=SetCurrentDir*?" + marked.path() + L"*?HIDE*?CLICK INSTALL*?*?*?\r\n"
             L"2=IF 1=1*?STOP()*?HIDE*?CLICK INSTALL*?*?*?\r\n");
  State().InstallDir = elsewhere.path();
  BInstallClick();
  EXPECT_TRUE(State().StopRequested);
  EXPECT_TRUE(EqualsNoCase(StripTrailingBackslash(platform::CurrentDirectory()), marked.path()));
  ASSERT_TRUE(platform::SetCurrentDir(elsewhere.path()));
  BInstallClick();
  // The second click ran its records again, up to the same stop.
  EXPECT_TRUE(EqualsNoCase(StripTrailingBackslash(platform::CurrentDirectory()), marked.path()));
  EXPECT_FALSE(State().InstallationCompleted);
}

TEST_F(CommandStages, GetVariablesEvaluatesTheSectionAndStartsNothing) {
  ScratchFolder dir(L"getvars");
  const std::wstring file = dir.path() + L"\\value.txt";
  LoadConfig(L"[Setup]\r\n[Variables]\r\n0=<Value>*?" + file + L"*?0*?STRING*?none*?\r\n");
  RunCommandRecord(kBeforeInstallation, L"GETVARIABLES*?*?HIDE*?BEFORE INSTALLATION*?YES*?*?");
  EXPECT_EQ(ExpandVariables(L"<Value>"), L"none");
  ASSERT_TRUE(platform::WriteWholeFile(file, "written later\r\n"));
  State().LastExitCode = L"3";
  RunCommandRecord(kBeforeInstallation, L"GETVARIABLES*?*?HIDE*?BEFORE INSTALLATION*?YES*?*?");
  EXPECT_EQ(ExpandVariables(L"<Value>"), L"written later");
  // Started as a program and waited for, it would have left "-1".
  EXPECT_EQ(State().LastExitCode, L"3");
}

}  // namespace
}  // namespace ek
