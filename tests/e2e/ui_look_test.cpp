// How [GUI] restyles the main window, the logo's modes, the dark theme and
// the layout at another dpi, read back from the running window.
#include <gtest/gtest.h>

#include "ui_test.h"

using namespace e2e;

namespace {

class UiLook : public UiTest {
 protected:
  // A BMP of w x h pixels of one colour.
  static std::string Bmp(int w, int h, uint32_t bgr) {
    std::string s = "BM";
    auto put32 = [&](uint32_t v) { s.append(reinterpret_cast<const char*>(&v), 4); };
    auto put16 = [&](uint16_t v) { s.append(reinterpret_cast<const char*>(&v), 2); };
    put32(static_cast<uint32_t>(54 + w * h * 4));
    put32(0);
    put32(54);
    put32(40);
    put32(static_cast<uint32_t>(w));
    put32(static_cast<uint32_t>(h));
    put16(1);
    put16(32);
    for (int i = 0; i < 6; ++i) put32(0);
    for (int i = 0; i < w * h; ++i) put32(bgr);
    return s;
  }
  // The user's display setting at 144 dpi for as long as the object lives.
  struct At144Dpi {
    At144Dpi() { Reg({"add", kDesktop, "/v", "LogPixels", "/t", "REG_DWORD", "/d", "144", "/f"}); }
    ~At144Dpi() { Reg({"delete", kDesktop, "/v", "LogPixels", "/f"}); }
    static constexpr const char* kDesktop = "HKCU\\Control Panel\\Desktop";
  };
  static void Reg(const std::vector<std::string>& args) {
    std::vector<std::string> a = {"reg"};
    a.insert(a.end(), args.begin(), args.end());
    WineOutput(a);
  }
};

// "x,y,w,h" of a control.
std::vector<int> RectOf(const std::string& r) {
  std::vector<int> out;
  size_t start = 0;
  for (int i = 0; i < 4; ++i) {
    const size_t comma = r.find(',', start);
    out.push_back(std::atoi(r.substr(start, comma - start).c_str()));
    start = comma + 1;
  }
  return out;
}

TEST_F(UiLook, TemplateKeysRestyleTheWindow) {
  Product p("uitemplate");
  p.AddConfigFile("eklogo.bmp", Bmp(40, 30, 0x0000C000));
  const std::string pkg = Package(p, "CustomTemplate=1\r\nShowPublisher=1\r\nCopyright=Ek Test Ltd\r\n",
                                  "[GUI]\r\nFontName=Tahoma\r\nFormBorderless=1\r\nFormWidth=560\r\nFormHeight=400\r\n"
                                  "FormColor=$00F0E0D0\r\nHeaderSize=20\r\nHeaderColor=255\r\nHeaderStyle=Bold Italic\r\n"
                                  "HeaderOffset=10\r\nHeaderWidth=80\r\nTextSize=10\r\nTextStyle=bold\r\n"
                                  "ButtonWidth=200\r\nButtonFontSize=14\r\nButtonOffset=5\r\nLinkColor=$00008000\r\n"
                                  "LicenseFontSize=9\r\nLogoMode=1\r\n");
  UiSession ui(pkg);
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
  const Facts form = ui.Form("TFormMain");
  EXPECT_EQ(form.at("client"), "560x400");
  EXPECT_EQ(form.at("caption"), "0");
  EXPECT_EQ(form.at("color"), "F0E0D0");
  auto c = ui.Controls("TFormMain");
  EXPECT_EQ(c["LTitle"]["font"], "Tahoma,20,bold,italic");
  EXPECT_EQ(c["LTitle"]["color"], "0000FF");
  EXPECT_EQ(c["LTitle"]["rect"], "56,140,448,120");
  // Lower-case "bold" is no style; the width is 80 % of the new client width.
  EXPECT_EQ(c["LDesc"]["font"], "Tahoma,10");
  EXPECT_EQ(c["LDesc"]["rect"], "56,194,448,120");
  EXPECT_EQ(c["BInstall"]["rect"], "180,245,200,40");
  EXPECT_EQ(c["BInstall"]["font"], "Tahoma,14");
  EXPECT_EQ(c["LOptions"]["color"], "008000");
  EXPECT_EQ(c["LOptions"]["font"], "Tahoma,9");
  EXPECT_EQ(c["LPublisher"]["color"], "008000");
  EXPECT_EQ(c["LPublisher"]["font"], "Tahoma,9");
  EXPECT_EQ(c["LWait"]["color"], "0000FF");
  // The logo keeps its size, centred above the title.
  EXPECT_EQ(c["Image1"]["visible"], "1");
  EXPECT_EQ(c["Image1"]["rect"], "260,55,40,30");
  // The notice line sits two heights above the new bottom.
  const auto pub = RectOf(c["LPublisher"]["rect"]);
  EXPECT_EQ(pub[1], 400 - 2 * pub[3]);
  ExpectSound(ui, "TFormMain");
  ui.Close("TFormMain");
  EXPECT_EQ(ui.WaitExit(), 11);
}

TEST_F(UiLook, DesignedHeightAndUnknownValues) {
  Product p("uidesigned");
  const std::string pkg =
      Package(p, "CustomTemplate=1\r\n",
              "[GUI]\r\nFormHeight=375\r\nHeaderColor=reddish\r\nFormColor=none\r\nHeaderStyle=Heavy\r\nButtonWidth=wide\r\n");
  UiSession ui(pkg);
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
  const Facts form = ui.Form("TFormMain");
  EXPECT_EQ(form.at("client"), "494x376");
  EXPECT_EQ(form.at("caption"), "1");
  EXPECT_EQ(form.at("color"), "FFFFFF");
  auto c = ui.Controls("TFormMain");
  EXPECT_EQ(c["LTitle"]["color"], "808080");
  EXPECT_EQ(c["LTitle"]["font"], "Verdana,18");
  EXPECT_EQ(c["BInstall"]["rect"], "157,240,180,40");
  EXPECT_EQ(c["Image1"]["visible"], "0");
  ui.Close("TFormMain");
  EXPECT_EQ(ui.WaitExit(), 11);
}

TEST_F(UiLook, DarkThemeFollowsTheUsersSetting) {
  const std::string key = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
  Product p("uidark");
  const std::string pkg = Package(p, "CustomTemplate=1\r\nDialogLicense=1\r\n", "[GUI]\r\nTheme=2\r\n");
  struct Restore {
    std::string key;
    ~Restore() { WineOutput({"reg", "delete", key, "/v", "AppsUseLightTheme", "/f"}); }
  } restore{key};
  for (const char* light : {"0", "1"}) {
    SCOPED_TRACE(light);
    Reg({"add", key, "/v", "AppsUseLightTheme", "/t", "REG_DWORD", "/d", light, "/f"});
    UiSession ui(pkg);
    ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
    auto c = ui.Controls("TFormMain");
    if (std::string(light) == "0") {
      EXPECT_EQ(ui.Form("TFormMain").at("color"), "23211C");
      EXPECT_EQ(c["LTitle"]["color"], "CDCDCB");
      EXPECT_EQ(c["LDesc"]["color"], "CDCDCB");
      EXPECT_EQ(c["LWait"]["color"], "CDCDCB");
    } else {
      EXPECT_EQ(ui.Form("TFormMain").at("color"), "FFFFFF");
      EXPECT_EQ(c["LTitle"]["color"], "808080");
    }
    ExpectSound(ui, "TFormMain");
    ui.Close("TFormMain");
    EXPECT_EQ(ui.WaitExit(), 11);
  }
}

TEST_F(UiLook, EveryWindowHoldsItsLayoutAt144Dpi) {
  At144Dpi dpi;
  Product p("ui144");
  p.AddConfigFile("license.txt", "License text.\r\n");
  p.AddConfigFile("eklogo.bmp", Bmp(60, 60, 0x00C06020));
  const std::string pkg = Package(
      p,
      "DialogLicense=1\r\nShowPublisher=1\r\nCopyright=Ek Test Ltd\r\nInstallLevel=2\r\nCustomComponents=1\r\n"
      "InfoCustomBox=1\r\nInfoCustomBoxName=A custom task whose caption wraps onto a second line in the dialog\r\n"
      "DialogUserInfo=1\r\nQueryText=1\r\nQueryTextName=Name\r\nQueryCustom=1\r\nQueryCustomName=Folder\r\n"
      "QueryCustomType=3\r\n",
      "[License]\r\n(Default)=license.txt\r\n[GUI]\r\nLogoMode=1\r\n"
      "[Components]\r\n0=Program*?The program.*?$ALLFILES*?$SIZE*?NO*?YES\r\n1=Extras*?More.*?x*?100*?YES*?NO\r\n");
  UiSession ui(pkg);
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
  EXPECT_EQ(ui.Form("TFormMain").at("client"), "741x564");
  EXPECT_EQ(ui.Control("TFormMain", "BInstall")["rect"], "236,360,270,60");
  ExpectSound(ui, "TFormMain");
  // Every group of the dialog at 144 dpi is taller than this screen: the
  // dialog scrolls, and Tab brings the last control into view.
  ui.Click("TFormMain", "LOptions");
  ASSERT_TRUE(ui.WaitForm("TFormOptions"));
  EXPECT_EQ(ui.Form("TFormOptions").at("scrolls"), "1");
  ExpectSound(ui, "TFormOptions");
  ASSERT_TRUE(ui.Keys("TFormOptions", {"shift+tab"}));
  ASSERT_TRUE(ui.WaitFocus("TFormOptions", "CheckAddTask"));
  const auto seen = RectOf(ui.Control("TFormOptions", "CheckAddTask")["rect"]);
  const std::string client = ui.Form("TFormOptions").at("client");
  EXPECT_LE(seen[1] + seen[3], std::atoi(client.substr(client.find('x') + 1).c_str()));
  EXPECT_GE(seen[1], 0);
  ui.Close("TFormOptions");
  ASSERT_TRUE(ui.WaitGone("TFormOptions"));
  ui.Click("TFormMain", "LLicense");
  ASSERT_TRUE(ui.WaitForm("TFormLicense"));
  ExpectSound(ui, "TFormLicense");
  ui.Close("TFormLicense");
  ASSERT_TRUE(ui.WaitGone("TFormLicense"));
  ui.Close("TFormMain");
  EXPECT_EQ(ui.WaitExit(), 11);
}

TEST_F(UiLook, InputBoxProgressAndCompletionHoldTheirLayoutAt144Dpi) {
  At144Dpi dpi;
  Product p("ui144b");
  const std::string pkg = Package(
      p, "",
      "[Variables]\r\n0=<Typed>*?INPUTBOX*?Type the name of the person this copy is registered to:*?STRING*?x*?DEFAULT\r\n"
      "[Commands]\r\n0=" + WinPath(UiDriverPath()) + "*?sleep - 4000*?HIDE*?AFTER INSTALLATION*?YES*?*?NO\r\n");
  UiSession ui(pkg);
  ASSERT_TRUE(ui.WaitForm("TFormInput"));
  ExpectSound(ui, "TFormInput");
  ui.Click("TFormInput", "ButtonOK");
  ASSERT_TRUE(ui.WaitGone("TFormInput"));
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
  ui.Click("TFormMain", "BInstall");
  ASSERT_TRUE(ui.Wait("TFormMain", "LTitle", "text", "Finishing setup..."));
  EXPECT_EQ(ui.Form("TFormMain").at("client"), "741x564");
  ExpectSound(ui, "TFormMain");
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "visible", "1"));
  EXPECT_EQ(ui.Control("TFormMain", "BInstall")["text"], "&Finish");
  ExpectSound(ui, "TFormMain");
  ui.Click("TFormMain", "BInstall");
  EXPECT_EQ(ui.WaitExit(), 0);
}

}  // namespace

namespace {

// An icon file with one 32-bit image of size x size in one colour.
std::string Ico(int size, uint32_t argb) {
  std::string s;
  auto put32 = [&](uint32_t v) { s.append(reinterpret_cast<const char*>(&v), 4); };
  auto put16 = [&](uint16_t v) { s.append(reinterpret_cast<const char*>(&v), 2); };
  put16(0);
  put16(1);
  put16(1);
  s.push_back(static_cast<char>(size));
  s.push_back(static_cast<char>(size));
  s.push_back(0);
  s.push_back(0);
  put16(1);
  put16(32);
  const uint32_t bytes = 40 + static_cast<uint32_t>(size * size * 4 + size * 4);
  put32(bytes);
  put32(22);
  put32(40);
  put32(static_cast<uint32_t>(size));
  put32(static_cast<uint32_t>(2 * size));
  put16(1);
  put16(32);
  for (int i = 0; i < 6; ++i) put32(0);
  for (int i = 0; i < size * size; ++i) put32(argb);
  s.append(static_cast<size_t>(size) * 4, '\0');
  return s;
}

TEST_F(UiLook, LogoModesAndKinds) {
  struct Case {
    const char* what;
    const char* file;
    std::string bytes;
    const char* gui;
    const char* setup;
    const char* rect;
  } cases[] = {
      {"icon at its configured size", "eklogo.ico", Ico(48, 0xFF2060C0), "LogoIconSize=48\r\nLogoMode=1\r\n", "",
       "223,41,48,48"},
      {"background picture", "eklogo.bmp", Bmp(50, 40, 0x00FF8000), "LogoMode=0\r\n", "", "0,0,494,376"},
      {"own size at the top, centred", "eklogo.bmp", Bmp(50, 40, 0x00FF8000),
       "LogoMode=2\r\nLogoAlignClient=0\r\nLogoAutoSize=1\r\nLogoOffset=5\r\n",
       "SetupParameters=-logocenter\r\n", "222,5,50,40"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Product p("uilogo");
    p.AddConfigFile(c.file, c.bytes);
    const std::string pkg = Package(p, c.setup, std::string("[GUI]\r\n") + c.gui);
    UiSession ui(pkg);
    ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
    auto logo = ui.Control("TFormMain", "Image1");
    EXPECT_EQ(logo["visible"], "1");
    EXPECT_EQ(logo["rect"], c.rect);
    ExpectSound(ui, "TFormMain");
    ui.Close("TFormMain");
    EXPECT_EQ(ui.WaitExit(), 11);
  }
}

TEST_F(UiLook, BorderlessWindowIsDraggedByItsLogo) {
  for (const char* borderless : {"1", "0"}) {
    SCOPED_TRACE(borderless);
    Product p("uidrag");
    p.AddConfigFile("eklogo.bmp", Bmp(80, 60, 0x00406080));
    const std::string pkg =
        Package(p, "CustomTemplate=1\r\n", std::string("[GUI]\r\nLogoMode=1\r\nFormBorderless=") + borderless + "\r\n");
    UiSession ui(pkg);
    ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
    EXPECT_EQ(ui.Form("TFormMain").at("caption"), std::string(borderless) == "1" ? "0" : "1");
    const std::string before = ui.Position("TFormMain");
    const std::string after = ui.Drag("TFormMain", "Image1", -60, 40);
    // Only a window without a border follows the mouse from its logo.
    if (std::string(borderless) == "1") {
      const int bx = std::atoi(before.c_str()), by = std::atoi(before.c_str() + before.find(',') + 1);
      EXPECT_EQ(after, std::to_string(bx - 60) + "," + std::to_string(by + 40)) << before;
    } else {
      EXPECT_EQ(after, before);
    }
    ui.Close("TFormMain");
    EXPECT_EQ(ui.WaitExit(), 11);
  }
}

TEST_F(UiLook, FontFileServesTheWindowForTheRun) {
  // Eight letters, as the name it replaces in the font file.
  const std::string face = "EkF" + std::to_string(10000 + ::getpid() % 90000);
  Product p("uifont");
  p.AddConfigFile("ekfont.ttf", UniqueFont(face));
  const std::string pkg = Package(p, "CustomTemplate=1\r\n", "[GUI]\r\nFontFile=ekfont.ttf\r\nFontName=" + face + "\r\n");
  UiSession ui(pkg);
  ASSERT_TRUE(ui.Wait("TFormMain", "BInstall", "enabled", "1"));
  EXPECT_EQ(ui.Control("TFormMain", "LTitle")["font"], face + ",18");
  EXPECT_EQ(Probe({"font", face})["found"], "1");
  ui.Close("TFormMain");
  EXPECT_EQ(ui.WaitExit(), 11);
  // Removed again at the end, with the temporary folder.
  EXPECT_EQ(Probe({"font", face})["found"], "0");
}

}  // namespace
