// Interactive installations driven through the windows as a user drives
// them: the welcome screen, the options dialog, Install, the progress and the
// completion screen, message boxes, the license window and the keyboard.
#include <gtest/gtest.h>

#include "setup_run_test.h"
#include "ui_session.h"

using namespace e2e;

namespace {

class UiFlow : public SetupRunTest {
 protected:
  // A product with one payload file and shortcuts (so the task check boxes show).
  std::string Package(Product& p, const std::string& extraSetup = "", const std::string& sections = "") {
    p.SetIni(Product::StandardSetup() + "MainExe=<InstallDir>\\readme.txt\r\nUninstall=1\r\n" + extraSetup +
             "\r\n[Shortcuts]\r\n"
             "0=<Desktop>*?EkTest Readme*?<InstallDir>\\readme.txt*?*?*?<InstallDir>*?*?0*?Normal*?No\r\n" +
             sections);
    p.AddEnglish();
    p.AddPayload("files/readme.txt", "hello\r\n");
    p.AddRecord("files/readme.txt|<InstallDir>\\readme.txt|11");
    cleanup_.push_back(p.installDirUnix());
    return p.Build();
  }
};

TEST_F(UiFlow, OptionsFolderTypedThenInstallAndFinish) {
  Product p("uiflow");
  const std::string pkg = Package(p);
  const std::string folder = p.installDirWin() + " Chosen";
  cleanup_.push_back(UnixPath(folder));
  UiSession ui(pkg);
  ASSERT_TRUE(ui.WaitForm("TFormMain"));
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
  auto main = ui.Controls("TFormMain");
  EXPECT_EQ(main["LTitle"]["text"], "EkTest uiflow Setup");
  EXPECT_EQ(main["LOptions"]["visible"], "1");
  EXPECT_TRUE(ui.LayoutProblems("TFormMain").empty());

  ui.Click("TFormMain", "LOptions");
  ASSERT_TRUE(ui.WaitForm("TFormOptions"));
  auto opt = ui.Controls("TFormOptions");
  EXPECT_EQ(opt["EInstallDir"]["text"], p.installDirWin());
  EXPECT_EQ(opt["CheckDesktop"]["visible"], "1");
  EXPECT_EQ(opt["CheckDesktop"]["checked"], "1");
  for (const auto& problem : ui.LayoutProblems("TFormOptions")) ADD_FAILURE() << problem;
  ui.SetText("TFormOptions", "EInstallDir", folder);
  ui.Click("TFormOptions", "CheckDesktop");
  ui.Click("TFormOptions", "ButtonOK");
  ASSERT_TRUE(ui.WaitGone("TFormOptions"));

  ui.Click("TFormMain", "BInstall");
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "text", "&Finish"));
  main = ui.Controls("TFormMain");
  EXPECT_EQ(main["LTitle"]["text"], "Installation Completed");
  EXPECT_EQ(main["LOptions"]["visible"], "0");
  EXPECT_TRUE(ui.LayoutProblems("TFormMain").empty());
  ui.Click("TFormMain", "BInstall");
  EXPECT_EQ(ui.WaitExit(), 0);
  EXPECT_TRUE(Exists(UnixPath(folder) + "/readme.txt"));
  EXPECT_FALSE(Exists(p.installDirUnix()));
  // The desktop task was unticked: no shortcut.
  EXPECT_FALSE(Exists(UnixPath("C:\\users\\" + WineUser() + "\\Desktop\\EkTest Readme.lnk")));
}

}  // namespace
