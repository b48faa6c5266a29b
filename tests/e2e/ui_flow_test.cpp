// Interactive installations driven through the windows as a user drives
// them: the welcome screen, the options dialog, Install, the progress and the
// completion screen, message boxes, the license window, the language menu and
// the keyboard alone. Every window is checked on the way for controls that
// overlap or cut their text, and for controls a screen reader cannot name.
#include <gtest/gtest.h>

#include <unistd.h>

#include "ui_test.h"

using namespace e2e;

namespace {

class UiFlow : public UiTest {};

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
  EXPECT_EQ(ui.Focus("TFormMain"), "BInstall");
  ExpectSound(ui, "TFormMain");
  EXPECT_EQ(ui.Accessibility("TFormMain")["LOptions"].role, kRoleLink);

  ui.Click("TFormMain", "LOptions");
  ASSERT_TRUE(ui.WaitForm("TFormOptions"));
  auto opt = ui.Controls("TFormOptions");
  EXPECT_EQ(opt["EInstallDir"]["text"], p.installDirWin());
  EXPECT_EQ(opt["CheckDesktop"]["visible"], "1");
  EXPECT_EQ(opt["CheckDesktop"]["checked"], "1");
  EXPECT_EQ(opt["GroupBox1"]["text"], "Destination Folder");
  EXPECT_EQ(opt["CheckDesktop"]["text"], "Create shortcut on Desktop");
  ExpectSound(ui, "TFormOptions");
  ui.SetText("TFormOptions", "EInstallDir", folder);
  ui.Click("TFormOptions", "CheckDesktop");
  ui.Click("TFormOptions", "ButtonOK");
  ASSERT_TRUE(ui.WaitGone("TFormOptions"));

  ui.Click("TFormMain", "BInstall");
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "text", "&Finish"));
  main = ui.Controls("TFormMain");
  EXPECT_EQ(main["LTitle"]["text"], "Installation Completed");
  EXPECT_EQ(main["LOptions"]["visible"], "0");
  ExpectSound(ui, "TFormMain");
  ui.Click("TFormMain", "BInstall");
  EXPECT_EQ(ui.WaitExit(), 0);
  EXPECT_TRUE(Exists(UnixPath(folder) + "/readme.txt"));
  EXPECT_FALSE(Exists(p.installDirUnix()));
  // The desktop task was unticked: no shortcut.
  EXPECT_FALSE(Exists(Desktop() + "/EkTest uiflow.lnk"));
}

TEST_F(UiFlow, EveryGroupOfTheOptionsDialog) {
  Product p("uigroups");
  const std::string key = "Software\\EkTest\\" + p.guid();
  p.AddPayload("files/guide.txt", "guide\r\n");
  p.AddRecord("files/guide.txt|<InstallDir>\\docs\\guide.txt|11");
  const std::string pkg = Package(
      p,
      "InstallLevel=2\r\nAltInstallDir={INSTALLDIR} Mine\r\nCalcCompoSize=1\r\n"
      "CustomComponents=1\r\nCustomComponentsText=Parts\r\nCustomComponentsDesc=Pick the parts.\r\n"
      "CustomComboBox=1\r\nCustomComboBoxName=Edition\r\nCustomComboBoxItems=Home##Office##School\r\n"
      "InfoCustomBox=1\r\nInfoCustomBoxName=Send anonymous statistics\r\n"
      "DialogUserInfo=1\r\nQueryText=1\r\nQueryTextName=Your name\r\nQueryTextReq=1\r\n"
      "QueryCustom=1\r\nQueryCustomName=Seats\r\nQueryCustomReq=1\r\nQueryCustomType=1\r\n",
      "[Components]\r\n"
      "0=Program*?The program.*?$ALLFILES*?$SIZE*?NO*?YES\r\n"
      "1=Guide*?A short guide.*?docs\\guide.txt*?3145728*?YES*?YES\r\n"
      "[Registry]\r\n"
      "0=HKCU\\" + key + "*?Name*?REG_SZ*?<QueryText>*?Yes*?Yes*?Default\r\n"
      "1=HKCU\\" + key + "*?Seats*?REG_SZ*?<QueryCustom>*?Yes*?Yes*?Default\r\n"
      "2=HKCU\\" + key + "*?Edition*?REG_SZ*?<ComboBox>*?Yes*?Yes*?Default\r\n"
      "3=HKCU\\" + key + "*?Statistics*?REG_SZ*?<CHECKBOX>*?Yes*?Yes*?Default\r\n");
  cleanup_.push_back(UnixPath(p.installDirWin() + " Mine"));
  UiSession ui(pkg);
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
  // The user information is not given yet: Install opens the dialog.
  ui.Click("TFormMain", "BInstall");
  ASSERT_TRUE(ui.WaitForm("TFormOptions"));
  auto opt = ui.Controls("TFormOptions");
  for (const char* group : {"RadioGroup1", "GroupBox1", "GroupBox3", "GroupBox4", "GroupBox5", "GroupBox2"})
    EXPECT_EQ(opt[group]["visible"], "1") << group;
  EXPECT_EQ(opt["RadioGroup1.1"]["checked"], "1");  // level 2: all users
  EXPECT_EQ(opt["GroupBox4"]["text"], "Parts");
  EXPECT_EQ(opt["CheckListBox1"]["items"], "Program|Guide");
  EXPECT_EQ(opt["LCDesc"]["text"], "Pick the parts.");
  EXPECT_EQ(opt["ComboBox1"]["items"], "Home|Office|School");
  EXPECT_EQ(opt["LUser"]["text"], "Your name*");
  EXPECT_EQ(opt["CheckAddTask"]["text"], "Send anonymous statistics");
  const std::string required = opt["Label2"]["text"];
  EXPECT_EQ(required.rfind("Required free space: ", 0), 0u) << required;
  ExpectSound(ui, "TFormOptions");

  // The scope: current user takes the other folder.
  ui.Click("TFormOptions", "RadioGroup1.0");
  ASSERT_TRUE(ui.Wait("TFormOptions", "EInstallDir", "text", p.installDirWin() + " Mine"));
  // A component: its description with its size; unticked, the space shrinks.
  ui.SelectItem("TFormOptions", "CheckListBox1", 1);
  EXPECT_TRUE(ui.Wait("TFormOptions", "LCDesc", "text", "A short guide. (3.00 MB)"));
  ui.CheckItem("TFormOptions", "CheckListBox1", 1);
  ASSERT_TRUE(ui.Wait("TFormOptions", "LCDesc", "text", "A short guide. (3.00 MB)"));
  for (int i = 0; i < 50 && ui.Control("TFormOptions", "Label2")["text"] == required; ++i) {
  }
  EXPECT_NE(ui.Control("TFormOptions", "Label2")["text"], required);
  ui.CheckItem("TFormOptions", "CheckListBox1", 0);  // locked: stays ticked
  ui.Click("TFormOptions", "CheckAddTask");

  // Refused: no edition chosen, then no name, then seats not a number.
  ui.Click("TFormOptions", "ButtonOK");
  auto box = ui.WaitBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text, "Edition");
  ui.Answer("OK");
  ui.Select("TFormOptions", "ComboBox1", 1);
  ui.Click("TFormOptions", "ButtonOK");
  box = ui.WaitBoxWith("Please fill in all the required fields.");
  ASSERT_TRUE(box);
  EXPECT_EQ(box->caption, "EkTest uigroups 1.0.0");
  ui.Answer("OK");
  EXPECT_TRUE(ui.WaitFocus("TFormOptions", "EUser"));
  ui.SetText("TFormOptions", "EUser", "Ada Lovelace");
  ui.SetText("TFormOptions", "ECustomInfo", "twelve");
  ui.Click("TFormOptions", "ButtonOK");
  ASSERT_TRUE(ui.WaitBoxWith("Only numbers are allowed in this field."));
  ui.Answer("OK");
  EXPECT_TRUE(ui.WaitFocus("TFormOptions", "ECustomInfo"));
  // Accepted: blanks around a number are trimmed.
  ui.SetText("TFormOptions", "ECustomInfo", "  12 ");
  ui.Click("TFormOptions", "ButtonOK");
  ASSERT_TRUE(ui.WaitGone("TFormOptions"));
  EXPECT_FALSE(ui.Control("TFormMain", "BInstall")["shield"] == "1");

  EXPECT_EQ(InstallAndFinish(ui), 0);
  const std::string dir = UnixPath(p.installDirWin() + " Mine");
  EXPECT_TRUE(Exists(dir + "/readme.txt"));
  EXPECT_FALSE(Exists(dir + "/docs/guide.txt"));  // the unticked component
  EXPECT_EQ(RegValue("HKCU", key, "Name"), "Ada Lovelace");
  EXPECT_EQ(RegValue("HKCU", key, "Seats"), "12");
  EXPECT_EQ(RegValue("HKCU", key, "Edition"), "Office");
  EXPECT_EQ(RegValue("HKCU", key, "Statistics"), "1");
}

TEST_F(UiFlow, FolderBrowsedKeepsTheProductFolder) {
  Product p("uibrowse");
  const std::string pkg = Package(p);
  const std::string chosen = "C:\\users\\Public";
  const std::string expected = chosen + "\\" + p.installDirWin().substr(p.installDirWin().rfind('\\') + 1);
  cleanup_.push_back(UnixPath(expected));
  UiSession ui(pkg);
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
  ui.Click("TFormMain", "LOptions");
  ASSERT_TRUE(ui.WaitForm("TFormOptions"));
  ui.Click("TFormOptions", "Button1");
  ASSERT_TRUE(ui.WaitBox());
  ASSERT_TRUE(ui.FileDialog(chosen));
  // The folder picker may first open the folder typed; OK then picks it.
  if (!ui.Wait("TFormOptions", "EInstallDir", "text", expected, 4000)) {
    ui.FileDialog("");
    EXPECT_TRUE(ui.Wait("TFormOptions", "EInstallDir", "text", expected, 10000));
  }
  ui.Click("TFormOptions", "ButtonOK");
  ASSERT_TRUE(ui.WaitGone("TFormOptions"));
  EXPECT_EQ(InstallAndFinish(ui), 0);
  EXPECT_TRUE(Exists(UnixPath(expected) + "/readme.txt"));
}

TEST_F(UiFlow, ProgressCloseQuestionAndLaunch) {
  Product p("uiprogress");
  // The program to launch records how it was started.
  p.AddPayload("files/app.exe", ReadFile(BuildDir() + "/bin/argdump.exe"));
  p.AddRecord("files/app.exe|<InstallDir>\\app.exe|11");
  const std::string pkg = Package(p, "LaunchFile=1\r\nMainExe=<InstallDir>\\app.exe\r\n",
                                  "[Commands]\r\n0=" + WinPath(UiDriverPath()) +
                                      "*?sleep - 4000*?HIDE*?AFTER INSTALLATION*?YES*?*?NO\r\n");
  UiSession ui(pkg);
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
  ui.Click("TFormMain", "BInstall");
  ASSERT_TRUE(ui.Wait("TFormMain", "ProgressBar1", "visible", "1"));
  ASSERT_TRUE(ui.Wait("TFormMain", "LTitle", "text", "Finishing setup..."));
  auto main = ui.Controls("TFormMain");
  EXPECT_EQ(main["BInstall"]["visible"], "0");
  EXPECT_EQ(main["LOptions"]["visible"], "0");
  EXPECT_EQ(main["LDesc"]["text"], "Please wait while EkTest uiprogress 1.0.0 is being installed on your computer.");
  ExpectSound(ui, "TFormMain");
  // Closing asks; No goes on with the installation.
  ui.Close("TFormMain");
  auto box = ui.WaitBoxWith("Are you sure you want to cancel the installation?");
  ASSERT_TRUE(box);
  EXPECT_EQ(box->caption, "Exit Setup");
  ui.Answer("No");
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "visible", "1"));
  main = ui.Controls("TFormMain");
  EXPECT_EQ(main["BInstall"]["text"], "Launch EkTest uiprogress");
  EXPECT_EQ(main["BInstall"]["font"], "Verdana,9");
  ExpectSound(ui, "TFormMain");
  ui.Click("TFormMain", "BInstall");
  EXPECT_EQ(ui.WaitExit(), 0);
  EXPECT_TRUE(Contains(ReadFile(p.installDirUnix() + "/argdump.log"), "app.exe"));
}

TEST_F(UiFlow, CancelDuringTheFilesRollsBack) {
  Product p("uicancel");
  p.AddPayload("files/a.txt", "from the package\r\n");
  p.AddRecord("files/a.txt|<InstallDir>\\a.txt|01");
  p.AddRecord("files/a.txt|<InstallDir>\\b.txt|11");
  const std::string pkg = Package(p);
  WriteFile(p.installDirUnix() + "/a.txt", "mine\r\n");
  UiSession ui(pkg);
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
  ui.Click("TFormMain", "BInstall");
  ASSERT_TRUE(ui.WaitBoxWith("already exists"));
  // While the file question waits, the user closes the window and confirms.
  ui.Close("TFormMain");
  ASSERT_TRUE(ui.WaitBoxWith("Are you sure you want to cancel the installation?"));
  ui.Answer("Yes", "cancel the installation");
  ui.Answer("No", "already exists");
  EXPECT_EQ(ui.WaitExit(), 9);
  EXPECT_EQ(ReadFile(p.installDirUnix() + "/a.txt"), "mine\r\n");
  EXPECT_FALSE(Exists(p.installDirUnix() + "/b.txt"));
}

TEST_F(UiFlow, LicenseWindowWithRichText) {
  Product p("uilicense");
  p.AddConfigFile("license.rtf",
                  "{\\rtf1\\ansi{\\fonttbl{\\f0 Tahoma;}}\\f0{\\b Terms of use}\\par Read https://example.com/terms "
                  "before use.\\par}");
  const std::string pkg = Package(p, "DialogLicense=1\r\n", "[License]\r\n(Default)=license.rtf\r\n");
  UiSession ui(pkg);
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
  auto main = ui.Controls("TFormMain");
  EXPECT_EQ(main["LLicenseText"]["text"], "By installing this product, you agree to our ");
  EXPECT_EQ(main["LLicense"]["text"], "License Agreement");
  ExpectSound(ui, "TFormMain");
  ui.Click("TFormMain", "LLicense");
  ASSERT_TRUE(ui.WaitForm("TFormLicense"));
  auto lic = ui.Controls("TFormLicense");
  EXPECT_TRUE(Contains(lic["RichEdit1"]["text"], "Terms of use"));
  EXPECT_FALSE(Contains(lic["RichEdit1"]["text"], "\\rtf"));
  EXPECT_EQ(lic["LPrint"]["text"], "Print");
  EXPECT_EQ(lic["LPrint"]["font"], "Tahoma,10");
  EXPECT_EQ(lic["Button1"]["text"], "OK");
  ExpectSound(ui, "TFormLicense");
  // The document's address is a link; the window grows with its frame.
  EXPECT_EQ(ui.Focus("TFormLicense"), "Button1");
  ui.Click("TFormLicense", "Button1");
  ASSERT_TRUE(ui.WaitGone("TFormLicense"));
  ui.Close("TFormMain");
  EXPECT_EQ(ui.WaitExit(), 11);
}

TEST_F(UiFlow, LicenseMessagesWithoutADocument) {
  struct Case {
    const char* section;
    const char* message;
  } cases[] = {
      {"", "License is not specified."},
      {"[License]\r\nEnglish=missing.rtf\r\n", "License file not found."},
      // A path outside the temporary folder is looked up inside it.
      {"[License]\r\n(Default)=<SetupTempDir>\\license.rtf\r\n", "License file not found."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    Product p("uilicmsg");
    p.AddConfigFile("license.rtf", "{\\rtf1 x}");
    const std::string pkg = Package(p, "DialogLicense=1\r\n", c.section);
    UiSession ui(pkg);
    ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
    ui.Click("TFormMain", "LLicense");
    auto box = ui.WaitBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, c.message);
    ui.Answer("OK");
    ui.Close("TFormMain");
    EXPECT_EQ(ui.WaitExit(), 11);
  }
}

TEST_F(UiFlow, EscapeAndEnterInEachDialog) {
  Product p("uikeys");
  p.AddConfigFile("license.txt", "Plain license text.\r\n");
  const std::string pkg = Package(p, "DialogLicense=1\r\n", "[License]\r\n(Default)=license.txt\r\n");
  const std::string typed = p.installDirWin() + " Typed";
  cleanup_.push_back(UnixPath(typed));
  UiSession ui(pkg);
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
  // Options: Escape keeps the folder, Enter in the folder field is OK.
  ASSERT_TRUE(ui.Keys("TFormMain", {"alt+o"}));
  ASSERT_TRUE(ui.WaitForm("TFormOptions"));
  ui.SetText("TFormOptions", "EInstallDir", "C:\\Elsewhere");
  ASSERT_TRUE(ui.Keys("TFormOptions", {"escape"}));
  ASSERT_TRUE(ui.WaitGone("TFormOptions"));
  ASSERT_TRUE(ui.Keys("TFormMain", {"alt+o"}));
  ASSERT_TRUE(ui.WaitForm("TFormOptions"));
  EXPECT_EQ(ui.Control("TFormOptions", "EInstallDir")["text"], p.installDirWin());
  ui.SetText("TFormOptions", "EInstallDir", typed);
  ASSERT_TRUE(ui.Keys("TFormOptions", {"shift+tab"}));
  ASSERT_EQ(ui.Focus("TFormOptions"), "CheckDesktop");
  ASSERT_TRUE(ui.Keys("TFormOptions", {"shift+tab", "shift+tab", "enter"}));
  ASSERT_TRUE(ui.WaitGone("TFormOptions"));
  // License: Escape closes, and so does Enter (OK).
  ASSERT_TRUE(ui.Keys("TFormMain", {"alt+l"}));
  ASSERT_TRUE(ui.WaitForm("TFormLicense"));
  EXPECT_TRUE(Contains(ui.Control("TFormLicense", "RichEdit1")["text"], "Plain license text."));
  ASSERT_TRUE(ui.Keys("TFormLicense", {"escape"}));
  ASSERT_TRUE(ui.WaitGone("TFormLicense", 10000)) << ui.Focus("TFormLicense");
  ASSERT_TRUE(ui.Keys("TFormMain", {"alt+l"}));
  ASSERT_TRUE(ui.WaitForm("TFormLicense"));
  ASSERT_TRUE(ui.Keys("TFormLicense", {"enter"}));
  ASSERT_TRUE(ui.WaitGone("TFormLicense"));
  // Main window: Enter installs, Enter finishes.
  ASSERT_TRUE(ui.Keys("TFormMain", {"enter"}));
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "text", "&Finish"));
  ASSERT_TRUE(ui.Keys("TFormMain", {"enter"}));
  EXPECT_EQ(ui.WaitExit(), 0);
  EXPECT_TRUE(Exists(UnixPath(typed) + "/readme.txt"));
}

TEST_F(UiFlow, WholeInstallationByKeyboardAlone) {
  Product p("uikeyboard");
  p.AddConfigFile("license.txt", "Terms.\r\n");
  const std::string pkg = Package(p, "DialogLicense=1\r\nShowPublisher=1\r\nCopyright=Ek Test Ltd\r\n",
                                  "[License]\r\n(Default)=license.txt\r\n");
  const std::string typed = p.installDirWin() + " Keys";
  cleanup_.push_back(UnixPath(typed));
  UiSession ui(pkg);
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
  // Tab reaches every link of the window, in order, and back to Install.
  std::vector<std::string> order;
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(ui.Keys("TFormMain", {"tab"}));
    order.push_back(ui.Focus("TFormMain"));
  }
  EXPECT_EQ(order, (std::vector<std::string>{"LOptions", "LLicense", "LPublisher", "BInstall"}));
  // The Options link by Tab and Enter; the folder typed; the desktop task off.
  ASSERT_TRUE(ui.Keys("TFormMain", {"tab", "enter"}));
  ASSERT_TRUE(ui.WaitForm("TFormOptions"));
  EXPECT_EQ(ui.Focus("TFormOptions"), "ButtonOK");
  ASSERT_TRUE(ui.Keys("TFormOptions", {"tab"}));
  ASSERT_EQ(ui.Focus("TFormOptions"), "EInstallDir");
  ASSERT_TRUE(ui.Keys("TFormOptions", {"text:" + typed, "tab", "tab"}));
  ASSERT_TRUE(ui.WaitFocus("TFormOptions", "CheckDesktop")) << ui.Focus("TFormOptions");
  ASSERT_TRUE(ui.Keys("TFormOptions", {"space", "enter"}));
  ASSERT_TRUE(ui.WaitGone("TFormOptions"));
  // Back on the Options link; the license by Tab and Enter, closed by Escape.
  ASSERT_TRUE(ui.WaitFocus("TFormMain", "LOptions")) << ui.Focus("TFormMain");
  ASSERT_TRUE(ui.Keys("TFormMain", {"tab", "enter"}));
  ASSERT_TRUE(ui.WaitForm("TFormLicense"));
  ASSERT_TRUE(ui.Keys("TFormLicense", {"escape"}));
  ASSERT_TRUE(ui.WaitGone("TFormLicense"));
  ASSERT_TRUE(ui.WaitFocus("TFormMain", "LLicense")) << ui.Focus("TFormMain");
  ASSERT_TRUE(ui.Keys("TFormMain", {"shift+tab", "shift+tab"}));
  ASSERT_EQ(ui.Focus("TFormMain"), "BInstall");
  ASSERT_TRUE(ui.Keys("TFormMain", {"enter"}));
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "text", "&Finish"));
  EXPECT_TRUE(ui.WaitFocus("TFormMain", "BInstall"));
  ASSERT_TRUE(ui.Keys("TFormMain", {"enter"}));
  EXPECT_EQ(ui.WaitExit(), 0);
  EXPECT_TRUE(Exists(UnixPath(typed) + "/readme.txt"));
  EXPECT_FALSE(Exists(Desktop() + "/EkTest uikeyboard.lnk"));
}

TEST_F(UiFlow, LanguageMenuWithFlags) {
  Product p("uilanguage");
  std::string german = ReadFile(SourceDir() + "/examples/showcase/config/Germanek.lng");
  p.AddConfigFile("Germanek.lng", german);
  const std::string pkg = Package(p);
  UiSession ui(pkg);
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
  auto main = ui.Controls("TFormMain");
  EXPECT_EQ(main["SpeedButton1"]["visible"], "1");
  EXPECT_EQ(ui.Accessibility("TFormMain")["SpeedButton1"].name, "English");
  // Ctrl+L opens the menu: one flag per language.
  ASSERT_TRUE(ui.Keys("TFormMain", {"ctrl+l"}));
  int pictures = -1;
  for (int i = 0; i < 50 && pictures < 0; ++i) pictures = ui.MenuPictures();
  EXPECT_EQ(pictures, 2);
  ui.MenuPick(1);
  ASSERT_TRUE(ui.Wait("TFormMain", "LOptions", "text", "Optionen"));
  main = ui.Controls("TFormMain");
  EXPECT_EQ(main["LTitle"]["text"], "EkTest uilanguage Setup");
  EXPECT_EQ(main["BInstall"]["text"], "&Installieren");
  EXPECT_EQ(ui.Accessibility("TFormMain")["SpeedButton1"].name, "German");
  ExpectSound(ui, "TFormMain");
  ui.Close("TFormMain");
  EXPECT_EQ(ui.WaitExit(), 11);
}

TEST_F(UiFlow, NoticeLineWithBuildYearAndPublisherLink) {
  struct Case {
    const char* what;
    const char* setup;
    const char* copyright;  // "-": hidden
    const char* publisher;  // "-": hidden
    bool link;
  } cases[] = {
      {"sign, year, publisher", "Copyright=\xC2\xA9 <Year> Ek Test Ltd\r\nBDID=20210305\r\n", "\xC2\xA9 2021 ",
       "Ek Test Ltd", true},
      {"only the publisher", "Copyright=Ek Test Ltd\r\n", "-", "Ek Test Ltd", true},
      {"other text", "Copyright=All rights reserved\r\n", "All rights reserved ", "-", true},
      {"no web address", "Copyright=Ek Test Ltd\r\nWebSite=\r\n", "-", "Ek Test Ltd", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Product p("uinotice");
    const std::string pkg = Package(p, std::string("ShowPublisher=1\r\n") + c.setup);
    UiSession ui(pkg);
    ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
    auto main = ui.Controls("TFormMain");
    if (std::string(c.copyright) == "-") {
      EXPECT_EQ(main["LCopyright"]["visible"], "0");
    } else {
      EXPECT_EQ(main["LCopyright"]["visible"], "1");
      EXPECT_EQ(main["LCopyright"]["text"], c.copyright);
    }
    if (std::string(c.publisher) == "-") {
      EXPECT_EQ(main["LPublisher"]["visible"], "0");
    } else {
      EXPECT_EQ(main["LPublisher"]["visible"], "1");
      EXPECT_EQ(main["LPublisher"]["text"], c.publisher);
      EXPECT_EQ(ui.Accessibility("TFormMain")["LPublisher"].role, c.link ? kRoleLink : kRoleStaticText);
      EXPECT_EQ(main["LPublisher"]["tabstop"], c.link ? "1" : "0");
    }
    ExpectSound(ui, "TFormMain");
    ui.Close("TFormMain");
    EXPECT_EQ(ui.WaitExit(), 11);
  }
}

TEST_F(UiFlow, LongTextsWrapInsteadOfRunningIntoEachOther) {
  Product p("uilong");
  std::string lng = ReadFile(SourceDir() + "/examples/demo/config/Englishek.lng");
  const std::string from = "5=By installing this product, you agree to our";
  lng.replace(lng.find(from), from.size(),
              "5=By installing this product, you confirm that you have read and that you agree to all of our");
  p.AddConfigFile("Englishek.lng", lng);
  const std::string pkg = Package(
      p,
      "DialogLicense=1\r\nAppDescription=A long description of the product that needs more than one line "
      "in this window, so the description label must give it the room of two or three lines.\r\n",
      "[License]\r\n(Default)=license.txt\r\n");
  UiSession ui(pkg);
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
  auto main = ui.Controls("TFormMain");
  // The license line does not fit: the link goes under the text.
  EXPECT_NE(main["LLicense"]["rect"].substr(main["LLicense"]["rect"].find(',')),
            main["LLicenseText"]["rect"].substr(main["LLicenseText"]["rect"].find(',')));
  ExpectSound(ui, "TFormMain");
  ui.Close("TFormMain");
  EXPECT_EQ(ui.WaitExit(), 11);
}

}  // namespace

namespace {

TEST_F(UiFlow, InstallButtonChecksTheDropDownAndTheFreeSpace) {
  Product p("uichecks");
  const std::string pkg = Package(p,
                                  "CustomComboBox=1\r\nCustomComboBoxName=Edition\r\nCustomComboBoxItems=Home##Office\r\n"
                                  "CustomComponents=1\r\nCalcCompoSize=1\r\n",
                                  "[Components]\r\n0=Huge*?More than any disk*?x*?1000000000000000*?YES*?YES\r\n");
  // Silent: the prepared choice stands; too little space ends with 5.
  EXPECT_EQ(RunSetup(pkg, {{"/S"}}).exitCode, 5);
  UiSession ui(pkg);
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
  // The free-space question first: No stays on the welcome screen.
  ui.Click("TFormMain", "BInstall");
  auto box = ui.WaitBoxWith("doesn't contain enough free space");
  ASSERT_TRUE(box);
  EXPECT_TRUE(Contains(box->text, "Drive C:")) << box->text;
  ui.Answer("No");
  ASSERT_TRUE(ui.Wait("TFormMain", "LOptions", "visible", "1"));
  EXPECT_EQ(ui.Control("TFormMain", "BInstall")["text"], "&Install");
  // Yes goes on, but nothing is chosen in the drop-down list: the dialog.
  ui.Click("TFormMain", "BInstall");
  ASSERT_TRUE(ui.WaitBoxWith("doesn't contain enough free space"));
  ui.Answer("Yes");
  ASSERT_TRUE(ui.WaitForm("TFormOptions"));
  ui.Select("TFormOptions", "ComboBox1", 0);
  ui.Click("TFormOptions", "ButtonOK");
  ASSERT_TRUE(ui.WaitGone("TFormOptions"));
  ui.Click("TFormMain", "BInstall");
  ASSERT_TRUE(ui.WaitBoxWith("doesn't contain enough free space"));
  ui.Answer("Yes");
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "text", "&Finish"));
  ui.Click("TFormMain", "BInstall");
  EXPECT_EQ(ui.WaitExit(), 0);
}

}  // namespace

namespace {

TEST_F(UiFlow, ScopeShowsTheShieldForAUserWithoutRights) {
  Product p("uishield");
  const std::string pkg = Package(p, "InstallLevel=3\r\nAltInstallDir={INSTALLDIR} All\r\n");
  RunOptions o;
  o.env = {{"EK_TEST_AS_STANDARD_USER", "1"}};
  UiSession ui(pkg, o);
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
  EXPECT_EQ(ui.Control("TFormMain", "BInstall")["shield"], "0");
  for (const char* item : {"RadioGroup1.1", "RadioGroup1.0"}) {
    SCOPED_TRACE(item);
    ui.Click("TFormMain", "LOptions");
    ASSERT_TRUE(ui.WaitForm("TFormOptions"));
    ui.Click("TFormOptions", item);
    ASSERT_TRUE(ui.Wait("TFormOptions", item, "checked", "1"));
    ui.Click("TFormOptions", "ButtonOK");
    ASSERT_TRUE(ui.WaitGone("TFormOptions"));
    EXPECT_EQ(ui.Control("TFormMain", "BInstall")["shield"], std::string(item) == "RadioGroup1.1" ? "1" : "0");
  }
  ui.Close("TFormMain");
  EXPECT_EQ(ui.WaitExit(), 11);
}

TEST_F(UiFlow, CommandsAtOkStopOrHalt) {
  for (const char* kind : {"STOP", "HALT"}) {
    SCOPED_TRACE(kind);
    Product p("uicommand");
    const std::string pkg = Package(p, "", std::string("[Commands]\r\n0=IF 1=1*?") + kind +
                                               "(Not with this folder)*?HIDE*?AT FOLDER SELECT DIALOG*?NO*?*?NO\r\n");
    UiSession ui(pkg);
    ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
    ui.Click("TFormMain", "LOptions");
    ASSERT_TRUE(ui.WaitForm("TFormOptions"));
    ui.Click("TFormOptions", "ButtonOK");
    ASSERT_TRUE(ui.WaitBoxWith("Not with this folder"));
    ui.Answer("OK");
    if (std::string(kind) == "HALT") {
      EXPECT_EQ(ui.WaitExit(), 9);
      continue;
    }
    // Stopped: the dialog stays open with the user's entries.
    EXPECT_TRUE(ui.WaitForm("TFormOptions", 3000));
    ui.Close("TFormOptions");
    ASSERT_TRUE(ui.WaitGone("TFormOptions"));
    ui.Close("TFormMain");
    EXPECT_EQ(ui.WaitExit(), 11);
  }
}

TEST_F(UiFlow, CustomFieldBrowsingAndNoPrintLink) {
  Product p("uicustom");
  p.AddConfigFile("license.txt", "Text.\r\n");
  const std::string pkg = Package(p,
                                  "DialogUserInfo=1\r\nQueryCustom=1\r\nQueryCustomName=Data folder\r\n"
                                  "QueryCustomType=3\r\nDialogLicense=1\r\nSetupParameters=-hideprint\r\n",
                                  "[License]\r\n(Default)=license.txt\r\n");
  UiSession ui(pkg);
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
  ui.Click("TFormMain", "LLicense");
  ASSERT_TRUE(ui.WaitForm("TFormLicense"));
  EXPECT_EQ(ui.Control("TFormLicense", "LPrint")["visible"], "0");
  ui.Click("TFormLicense", "Button1");
  ASSERT_TRUE(ui.WaitGone("TFormLicense"));
  ui.Click("TFormMain", "LOptions");
  ASSERT_TRUE(ui.WaitForm("TFormOptions"));
  EXPECT_EQ(ui.Control("TFormOptions", "Button3")["visible"], "1");
  ui.SetText("TFormOptions", "ECustomInfo", "C:\\somewhere");
  // Cancelling the folder browser of the custom field empties it.
  ui.Click("TFormOptions", "Button3");
  ASSERT_TRUE(ui.WaitBox());
  ui.Answer("Cancel");
  EXPECT_TRUE(ui.Wait("TFormOptions", "ECustomInfo", "text", ""));
  ui.Close("TFormOptions");
  ASSERT_TRUE(ui.WaitGone("TFormOptions"));
  ui.Close("TFormMain");
  EXPECT_EQ(ui.WaitExit(), 11);
}

}  // namespace

namespace {

TEST_F(UiFlow, InputBoxOfTheVariablesSection) {
  enum class How { Ok, Enter, Escape };
  struct Case {
    const char* what;
    How how;
    const char* value;
  } cases[] = {{"answered", How::Ok, "Grace Hopper"},
               {"answered by Enter", How::Enter, "Ada Lovelace"},
               {"cancelled by Escape", How::Escape, "nobody"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Product p("uiinput");
    const std::string key = "Software\\EkTest\\" + p.guid();
    const std::string pkg =
        Package(p, "", "[Variables]\r\n0=<Typed>*?INPUTBOX*?Your name?*?STRING*?nobody*?DEFAULT\r\n"
                       "[Registry]\r\n0=HKCU\\" + key + "*?Typed*?REG_SZ*?<Typed>*?Yes*?Yes*?Default\r\n");
    UiSession ui(pkg);
    ASSERT_TRUE(ui.WaitForm("TFormInput"));
    const auto box = ui.Controls("TFormInput");
    EXPECT_EQ(box.at("LPrompt").at("text"), "Your name?");
    EXPECT_EQ(ui.Accessibility("TFormInput")["EAnswer"].name, "Your name?");
    ExpectSound(ui, "TFormInput");
    if (c.how == How::Ok) {
      ui.SetText("TFormInput", "EAnswer", c.value);
      ui.Click("TFormInput", "ButtonOK");
    } else if (c.how == How::Enter) {
      // Typed into the field that has the focus, then Enter: OK.
      EXPECT_TRUE(ui.WaitFocus("TFormInput", "EAnswer")) << ui.Focus("TFormInput");
      ASSERT_TRUE(ui.Keys("TFormInput", {std::string("text:") + c.value, "enter"}));
    } else {
      ASSERT_TRUE(ui.Keys("TFormInput", {"escape"}));
    }
    ASSERT_TRUE(ui.WaitGone("TFormInput"));
    ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
    EXPECT_EQ(InstallAndFinish(ui), 0);
    EXPECT_EQ(RegValue("HKCU", key, "Typed"), c.value);
  }
}

}  // namespace

namespace {

// Types a path into the file or folder dialog that the setup shows next (a
// message box before it may still be closing).
bool TypeIntoDialog(UiSession& ui, const std::string& path) {
  for (int i = 0; i < 50; ++i) {
    if (ui.WaitBox(10000) && ui.FileDialog(path)) return true;
    ::usleep(200000);
  }
  return false;
}

TEST_F(UiFlow, FileAndFolderChoosersOfTheVariablesSection) {
  struct Case {
    const char* what;
    bool chosen;
    const char* file;    // what <Picked> holds afterwards
    const char* folder;  // what <Folder> holds afterwards
  } cases[] = {{"chosen", true, "C:\\windows\\win.ini", "C:\\users\\Public"},
               {"declined and cancelled", false, "no file", "C:\\Default dir"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Product p("uichoosers");
    const std::string key = "Software\\EkTest\\" + p.guid();
    regKeys_.push_back("HKCU\\" + key);
    const std::string pkg =
        Package(p, "",
                "[Variables]\r\n"
                "0=<Picked>*?SELECTFILEASK*?Use a settings file of your own?*?STRING*?no file*?DEFAULT\r\n"
                "1=<Folder>*?SELECTDIR*?Choose the data folder.*?STRING*?C:\\Default dir*?DEFAULT\r\n"
                "[Registry]\r\n"
                "0=HKCU\\" + key + "*?Picked*?REG_SZ*?<Picked>*?Yes*?Yes*?Default\r\n"
                "1=HKCU\\" + key + "*?Folder*?REG_SZ*?<Folder>*?Yes*?Yes*?Default\r\n");
    UiSession ui(pkg);
    // The file: a question first, Yes opens the open-file dialog.
    auto box = ui.WaitBoxWith("Use a settings file of your own?");
    ASSERT_TRUE(box);
    EXPECT_EQ(box->buttons, "Yes|No");
    EXPECT_EQ(box->caption, "EkTest uichoosers 1.0.0");
    ASSERT_TRUE(ui.Answer(c.chosen ? "Yes" : "No"));
    if (c.chosen) ASSERT_TRUE(TypeIntoDialog(ui, c.file));
    // The folder: a message first, then the folder picker.
    box = ui.WaitBoxWith("Choose the data folder.");
    ASSERT_TRUE(box);
    EXPECT_EQ(box->buttons, "OK");
    ASSERT_TRUE(ui.Answer("OK"));
    if (c.chosen) {
      ASSERT_TRUE(TypeIntoDialog(ui, c.folder));
      // The picker may first open the folder typed; OK then picks it.
      if (!ui.Wait("TFormMain", "BInstall", "enabled", "1", 4000)) ui.FileDialog("");
    } else {
      ASSERT_TRUE(ui.WaitBox());
      for (int i = 0; i < 50 && !ui.Answer("Cancel"); ++i) ::usleep(200000);
    }
    ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
    EXPECT_EQ(InstallAndFinish(ui), 0);
    EXPECT_EQ(RegValue("HKCU", key, "Picked"), c.file);
    EXPECT_EQ(RegValue("HKCU", key, "Folder"), c.folder);
  }
}

}  // namespace
