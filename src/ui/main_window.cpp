#include "ui/main_window.h"

#include <cwctype>

#include "base/text.h"
#include "config/language.h"
#include "config/variables.h"
#include "core/setup_state.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "ui/flags.h"
#include "ui/license_window.h"
#include "ui/options_dialog.h"
#include "ui/window_rules.h"

namespace ek {
namespace {

using platform::FontStyle;
using platform::Rect;

constexpr int kClientWidth = 494;
constexpr int kClientHeight = 376;
constexpr int kVkL = 'L';

int ReadGuiInt(std::wstring_view key, int fallback) { return Config().ReadInteger(L"GUI", key, fallback); }
std::wstring ReadGuiString(std::wstring_view key) { return Config().ReadString(L"GUI", key); }

void CenterHorizontally(platform::Control* c, int clientWidth) { c->SetLeft(clientWidth / 2 - c->Width() / 2); }

platform::Image FlagImage(int index, int dpi) {
  const int w = platform::ScaleValue(kFlagWidth, dpi), h = platform::ScaleValue(kFlagHeight, dpi);
  return platform::Image::FromPixels(w, h, PaintFlag(index, w, h), true);
}

}  // namespace

MainWindow& MainForm() {
  static MainWindow window;
  return window;
}

bool IsDarkTheme() {
  platform::RegKey k;
  if (!k.Open(platform::RegRoot::CurrentUser, L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
              platform::RegView::View64, false))
    return false;
  return DarkThemeFrom(k.ReadDword(L"AppsUseLightTheme"), k.ReadDword(L"SystemUsesLightTheme"));
}

bool MainWindow::Create(const Events& events) {
  platform::InitCommonControls();
  events_ = events;
  form_.SetFont(FontStyle{L"Verdana", 8});
  if (!form_.Create(L"TFormMain", L"Setup", kClientWidth, kClientHeight, 0xFFFFFF)) return false;
  platform::Form::Handlers h;
  h.closeQuery = events.closeQuery;
  h.closed = events.closed;
  h.activated = events.activated;
  h.keyDown = [this](int key, bool alt, bool ctrl, bool shift) { return FormKeyDown(key, alt, ctrl, shift); };
  h.dpiChanged = [this] {
    if (SpeedButton1->IsVisible()) ShowLanguageFlag();
    Layout();
  };
  form_.SetHandlers(std::move(h));

  // Created in the order of Tab: language, Install, Options, license, publisher.
  Image1 = form_.AddPicture(L"Image1", nullptr, Rect{8, 29, 89, 76});
  Image1->SetOnMouseDown([this](bool left) { LogoMouseDown(left); });
  Image1->Show(false);
  platform::LabelOptions title{false, true, platform::TextAlign::Center, false, false};
  LTitle = form_.AddLabel(L"LTitle", nullptr, L"", Rect{25, 130, 445, 120}, title);
  LTitle->SetFont(FontStyle{L"Verdana", 18});
  LTitle->SetColor(kGrey);
  LTitle->SetAnchors(platform::anchor::kLeft | platform::anchor::kTop | platform::anchor::kRight);
  LDesc = form_.AddLabel(L"LDesc", nullptr, L"", Rect{50, 194, 395, 120}, title);
  LDesc->SetFont(FontStyle{L"Verdana", 9});
  LDesc->SetColor(kGrey);
  LDesc->SetAnchors(platform::anchor::kLeft | platform::anchor::kTop | platform::anchor::kRight);
  SpeedButton1 = form_.AddButton(L"SpeedButton1", nullptr, L"Language", Rect{0, 0, 30, 23}, [this] { LanguageClick(); });
  SpeedButton1->SetPicture(FlagImage(0, form_.Dpi()));
  SpeedButton1->Show(false);
  BInstall = form_.AddButton(L"BInstall", nullptr, L" Install", Rect{157, 240, 180, 40}, [this] {
    if (events_.installClick) events_.installClick();
  });
  BInstall->SetFont(FontStyle{L"Verdana", 12});
  BInstall->Enable(false);
  form_.SetDefaultButton(BInstall);
  LOptions = form_.AddLink(L"LOptions", nullptr, L"Options", 228, 285, [this] { OptionsClick(); });
  LOptions->Show(false);
  LWait = form_.AddLabel(L"LWait", nullptr, L"Please wait", Rect{216, 221, 0, 0});
  LWait->Show(false);
  ProgressBar1 = form_.AddProgressBar(L"ProgressBar1", nullptr, Rect{50, 284, 400, 18});
  ProgressBar1->SetAnchors(platform::anchor::kLeft | platform::anchor::kTop | platform::anchor::kRight);
  ProgressBar1->Show(false);
  LLicenseText = form_.AddLabel(L"LLicenseText", nullptr, L"", Rect{52, 321, 0, 0});
  LLicenseText->SetColor(kGrey);
  LLicenseText->SetAnchors(platform::anchor::kLeft | platform::anchor::kBottom);
  LLicenseText->Show(false);
  LLicense = form_.AddLink(L"LLicense", nullptr, L"", 333, 321, [this] { LicenseClick(); });
  LLicense->SetAnchors(platform::anchor::kLeft | platform::anchor::kBottom);
  LLicense->Show(false);
  LCopyright = form_.AddLabel(L"LCopyright", nullptr, L"", Rect{42, 349, 0, 0});
  LCopyright->SetColor(kGrey);
  LCopyright->Show(false);
  LPublisher = form_.AddLink(L"LPublisher", nullptr, L"", 192, 349, [this] { PublisherClick(); });
  LPublisher->Show(false);
  created_ = true;
  Layout();
  return true;
}

platform::WindowHandle MainWindow::handle() const { return created_ ? form_.handle() : nullptr; }

void MainWindow::PlaceOnMouseMonitor() {
  if (!created_ || Switch(L"-nocurmon") || platform::MonitorCount() <= 1) return;
  platform::Rect m;
  if (!platform::MonitorUnderMouse(m)) return;
  const Rect w = form_.WindowRect();
  int left = w.x, top = w.y;
  PlaceOnMonitor(left, top, w.w, w.h, ScreenBox{m.x, m.y, m.w, m.h});
  if (left != w.x || top != w.y) form_.SetPosition(left, top);
}

void MainWindow::LoadLogo() {
  const std::wstring dir = State().SetupTempDir;
  platform::Image img;
  if (platform::FileExists(dir + L"\\eklogo.ico")) {
    const int size = LogoIconPixels(ReadGuiInt(L"LogoIconSize", 128), form_.Dpi(), Switch(L"-logonoscale"));
    img = platform::LoadIconImage(dir + L"\\eklogo.ico", size);
  } else if (platform::FileExists(dir + L"\\eklogo.png")) {
    img = platform::LoadPngImage(dir + L"\\eklogo.png");
  } else if (platform::FileExists(dir + L"\\eklogo.bmp")) {
    img = platform::LoadBmpImage(dir + L"\\eklogo.bmp");
  }
  logoLoaded_ = img.valid();
  if (logoLoaded_) {
    Image1->SetBounds(Rect{0, 0, form_.Unscale(img.width()), form_.Unscale(img.height())});
    Image1->SetImage(std::move(img));
    Image1->SetAccessibleName(GetConstant(1));
    Image1->Show(true);
  }
}

void MainWindow::LoadLogoAndLayout() {
  if (!created_) return;
  LoadLogo();
  ApplyGuiSettings();
  Layout();
  PlaceLogo();
}

void MainWindow::ApplyGuiSettings() {
  auto& s = State();
  const bool custom = SetupBool(L"CustomTemplate");
  if (custom && !s.Relaunched) {
    const std::wstring file = ReadGuiString(L"FontFile");
    s.UiFontFile.clear();
    const std::wstring path = s.SetupTempDir + L"\\" + file;
    // Only a registered font is removed again at the end.
    if (!file.empty() && platform::FileExists(path) && platform::AddFont(path) > 0) {
      s.UiFontFile = path;
      platform::BroadcastFontChange();
    }
  }
  const std::wstring fontName = Config().ReadString(L"GUI", L"FontName", L"Verdana");
  if (!fontName.empty() && !EqualsNoCase(fontName, L"Verdana")) {
    FontStyle f = form_.Font();
    f.face = fontName;
    form_.SetFont(f);
    for (platform::Control* c : std::initializer_list<platform::Control*>{
             LTitle, LDesc, BInstall, LOptions, LWait, LLicenseText, LLicense, LCopyright, LPublisher}) {
      FontStyle cf = c->Font();
      cf.face = fontName;
      c->SetFont(cf);
    }
  }
  if (!custom) return;

  if (Config().ReadBool(L"GUI", L"FormBorderless", false)) form_.SetBorderless(true);
  const int width = ReadGuiInt(L"FormWidth", 494), height = ReadGuiInt(L"FormHeight", 375);
  if (width != 494 || height != 375)
    form_.SetClientSize(width != 494 ? width : form_.ClientWidth(), height != 375 ? height : form_.ClientHeight());
  const std::wstring formColor = ReadGuiString(L"FormColor");
  if (!formColor.empty()) form_.SetBackground(ParseGuiColor(formColor).value_or(0xFFFFFF));

  auto styled = [](platform::Control* c, std::wstring_view key) {
    if (auto st = ParseTextStyle(ReadGuiString(key))) {
      FontStyle f = c->Font();
      f.bold = st->bold;
      f.italic = st->italic;
      f.underline = st->underline;
      c->SetFont(f);
    }
  };
  auto sized = [](platform::Control* c, int points) {
    FontStyle f = c->Font();
    f.points = points;
    c->SetFont(f);
  };
  const int headerSize = ReadGuiInt(L"HeaderSize", 18);
  if (headerSize != 18) sized(LTitle, headerSize);
  const std::wstring headerColor = ReadGuiString(L"HeaderColor");
  if (!headerColor.empty()) LTitle->SetColor(ParseGuiColor(headerColor).value_or(kGrey));
  if (const int off = ReadGuiInt(L"HeaderOffset", 0)) LTitle->SetTop(LTitle->Top() + off);
  styled(LTitle, L"HeaderStyle");
  LTitle->SetWidth(form_.ClientWidth() * ReadGuiInt(L"HeaderWidth", 90) / 100);

  const int textSize = ReadGuiInt(L"TextSize", 9);
  if (textSize != 9) sized(LDesc, textSize);
  const std::wstring textColor = ReadGuiString(L"TextColor");
  if (!textColor.empty()) LDesc->SetColor(ParseGuiColor(textColor).value_or(kGrey));
  if (const int off = ReadGuiInt(L"TextOffset", 0)) LDesc->SetTop(LDesc->Top() + off);
  styled(LDesc, L"TextStyle");
  LDesc->SetWidth(form_.ClientWidth() * ReadGuiInt(L"TextWidth", 80) / 100);

  if (ReadGuiInt(L"Theme", 0) == 2 && IsDarkTheme()) {
    form_.SetBackground(kDarkWindowColor);
    LTitle->SetColor(kDarkTitleColor);
    LDesc->SetColor(LTitle->Color());
  }
  LWait->SetColor(LTitle->Color());

  const int buttonWidth = ReadGuiInt(L"ButtonWidth", 180);
  if (buttonWidth != 180) BInstall->SetWidth(buttonWidth);
  const int buttonFont = ReadGuiInt(L"ButtonFontSize", 12);
  if (buttonFont != 12) sized(BInstall, buttonFont);
  if (const int off = ReadGuiInt(L"ButtonOffset", 0)) BInstall->SetTop(BInstall->Top() + off);

  const uint32_t licenseColor = ParseGuiColor(ReadGuiString(L"LicenseColor")).value_or(kGrey);
  LLicenseText->SetColor(licenseColor);
  LCopyright->SetColor(licenseColor);
  const uint32_t linkColor = ParseGuiColor(ReadGuiString(L"LinkColor")).value_or(kDefaultLinkColor);
  for (platform::Control* c : std::initializer_list<platform::Control*>{LLicense, LPublisher, LOptions})
    c->SetColor(linkColor);
  const auto bottomSize = ParseInt32(ReadGuiString(L"LicenseFontSize"));
  for (platform::Control* c : std::initializer_list<platform::Control*>{LLicenseText, LLicense, LCopyright, LPublisher, LOptions})
    sized(c, bottomSize && *bottomSize > 0 ? *bottomSize : 8);
}

void MainWindow::PlaceLogo() {
  if (!logoLoaded_) return;
  const int cw = form_.ClientWidth(), c = cw / 2;
  const auto& img = Image1->image();
  const int pw = form_.Unscale(img.width()), ph = form_.Unscale(img.height());
  platform::PictureOptions o;
  switch (ReadGuiInt(L"LogoMode", 0)) {
    case 0:
      Image1->SetBounds(Rect{0, 0, cw, form_.ClientHeight()});
      o.stretch = true;
      o.proportional = true;
      break;
    case 1: {
      int top = LTitle->Top() / 2 - ph / 2;
      if (top < 0 && !Switch(L"-logotop")) top = 0;
      Image1->SetBounds(Rect{c - pw / 2, top, pw, ph});
      break;
    }
    case 2: {
      Rect r = Image1->Bounds();
      r.x = 0;
      r.y = 0;
      if (Config().ReadBool(L"GUI", L"LogoAutoSize", false)) {
        r.w = pw;
        r.h = ph;
      }
      if (Config().ReadBool(L"GUI", L"LogoAlignClient", true)) r = Rect{0, 0, cw, form_.ClientHeight()};
      o.stretch = Config().ReadBool(L"GUI", L"LogoStretch", false);
      o.proportional = Config().ReadBool(L"GUI", L"LogoProportional", false);
      if (Switch(L"-logocenter")) r.x = c - r.w / 2;
      Image1->SetBounds(r);
      break;
    }
    default:
      Image1->SetBounds(Rect{0, 0, pw, ph});
      break;
  }
  o.transparent = Config().ReadBool(L"GUI", L"LogoTransparent", false);
  Image1->SetOptions(o);
  if (Switch(L"-logot0")) Image1->SetTop(0);
  if (const int off = ReadGuiInt(L"LogoOffset", 0)) Image1->SetTop(Image1->Top() + off);
}

void MainWindow::Layout() {
  if (!created_) return;
  const int cw = form_.ClientWidth();
  CenterHorizontally(LTitle, cw);
  CenterHorizontally(LDesc, cw);
  CenterHorizontally(BInstall, cw);
  CenterHorizontally(LOptions, cw);
  const int top = BInstall->Top() + BInstall->Height() + LOptions->Height() / 2;
  LOptions->SetTop(top);
  ProgressBar1->SetTop(top);
  LWait->SetTop(top);
  CenterHorizontally(LWait, cw);
  LayoutBottom();
}

void MainWindow::LayoutBottom() {
  const int cw = form_.ClientWidth(), ch = form_.ClientHeight();
  LineBox c{LCopyright->Left(), LCopyright->Top(), LCopyright->Width(), LCopyright->Height(), LCopyright->IsVisible()};
  LineBox p{LPublisher->Left(), LPublisher->Top(), LPublisher->Width(), LPublisher->Height(), LPublisher->IsVisible()};
  LayoutNoticeLine(cw, ch, c, p);
  LCopyright->SetBounds(Rect{c.left, c.top, c.width, c.height});
  LPublisher->SetBounds(Rect{p.left, p.top, p.width, p.height});
  if (LLicenseText->IsVisible()) {
    LineBox t{0, 0, LLicenseText->Width(), LLicenseText->Height(), true};
    LineBox l{0, 0, LLicense->Width(), LLicense->Height(), true};
    LayoutLicenseLine(cw, c.top, t, l);
    LLicenseText->SetBounds(Rect{t.left, t.top, t.width, t.height});
    LLicense->SetBounds(Rect{l.left, l.top, l.width, l.height});
  }
}

void MainWindow::LoadWindowTexts() {
  auto& s = State();
  if (created_ && Switch(L"-largetext")) {
    LTitle->SetWidth(form_.ClientWidth() * 95 / 100);
    CenterHorizontally(LTitle, form_.ClientWidth());
  }
  if (created_ && !s.Relaunched && LanguageMenuOffered() && !s.Silent) BuildLanguageMenu();
  if (created_ && SpeedButton1->IsVisible()) ShowLanguageFlag();

  const std::wstring name = GetConstant(1), version = GetConstant(2);
  const std::wstring edition = ExpandVariables(PickLanguageText(SetupString(L"AppEdition")));
  if (!edition.empty() && !Switch(L"-noappedition")) s.AppNameVersion = name + L" " + edition + L" " + version;
  else s.AppNameVersion = name + L" " + version;

  std::wstring caption = ExpandVariables(LangText(L"Title", 0, L"Setup"));
  const size_t amp = caption.find(L"&&");
  if (amp != std::wstring::npos) caption.erase(amp, 1);
  if (!created_) return;
  form_.SetCaption(caption);
  const bool accel = Switch(L"-accelkey");
  for (platform::Label* l : std::initializer_list<platform::Label*>{LTitle, LDesc, LPublisher, LLicense})
    l->SetShowAccelChar(accel);
  LWait->SetText(LangText(L"Messages", 38, L"Please wait"));
  CenterHorizontally(LWait, form_.ClientWidth());
  if (s.Relaunched) return;

  std::wstring title = LangText(L"Welcome", 4, L"");
  if (title.empty()) title = LangText(L"Welcome", 0, L"Welcome to <AppName> Setup");
  LTitle->SetText(ExpandVariables(title));
  std::wstring desc = PickLanguageText(SetupString(L"AppDescription"));
  if (desc.empty()) {
    desc = LangText(L"Welcome", 1, L"This will install <AppNameVersion> on your computer.");
    const size_t br = desc.find(L"<#>");
    if (br != std::wstring::npos) desc.resize(br);
  }
  LDesc->SetText(ReplaceAllNoCase(ExpandVariables(desc), L"%n", L"\r\n"));
  BInstall->SetText(ExpandVariables(LangText(L"Buttons", 3, L"Install")));
  LOptions->SetText(ExpandVariables(LangText(L"Welcome", 3, L"Options")));
  CenterHorizontally(LOptions, form_.ClientWidth());

  if (SetupBool(L"ShowPublisher")) {
    LCopyright->Show(true);
    LPublisher->Show(true);
    const std::wstring publisher = GetConstant(5);
    LPublisher->SetText(publisher);
    const bool hasAddress = !GetConstant(23).empty();
    LPublisher->SetActive(hasAddress);
    if (!hasAddress) LPublisher->SetColor(LCopyright->Color());
    const std::wstring year =
        Switch(L"-curyear") ? ToText(platform::Today().year) : SetupString(L"BDID").substr(0, 4);
    const std::wstring notice = ExpandVariables(NoticeWithYear(SetupString(L"Copyright"), year));
    const NoticeParts parts = SplitNotice(notice, publisher);
    if (!parts.showCopyright) LCopyright->Show(false);
    if (!parts.showPublisher) LPublisher->Show(false);
    LCopyright->SetText(ExpandVariables(parts.text) + (NoticeNeedsBlank(parts.text) ? L" " : L""));
    LPublisher->SetAccessibleName(publisher);
  }
  if (SetupBool(L"DialogLicense")) {
    LLicenseText->Show(true);
    LLicense->Show(true);
    LLicenseText->SetText(
        ExpandVariables(LangText(L"LicenseAgreement", 5, L"By installing this product, you agree to our")) + L" ");
    LLicense->SetText(ExpandVariables(LangText(L"LicenseAgreement", 6, L"License Agreement")));
  }
  LayoutBottom();
  if (Switch(L"-updateinstalldir")) ResolveInstallPaths();
}

void MainWindow::BuildLanguageMenu() {
  if (menuBuilt_) return;
  menuBuilt_ = true;
  SpeedButton1->Show(true);
  SpeedButton1->SetFlat((form_.Background() & 0xFFFFFF) == 0xFFFFFF);
  const int dpi = form_.Dpi();
  for (const auto& name : State().LanguageList) {
    // An item that cannot be added is left out.
    (void)MenuLng.AddItem(name, FlagImage(LanguageFlagIndex(name), dpi), [this, name] { ChooseLanguage(name); });
  }
}

void MainWindow::ShowLanguageFlag() {
  SpeedButton1->SetPicture(FlagImage(LanguageFlagIndex(State().LanguageName), form_.Dpi()));
  SpeedButton1->SetAccessibleName(State().LanguageName);
}

void MainWindow::ChooseLanguage(const std::wstring& name) {
  auto& s = State();
  s.LanguageTexts.reset();
  s.LanguageName = name;
  if (!LoadLanguageFile()) {
    if (events_.languageFileMissing) events_.languageFileMissing();
    return;
  }
  LoadWindowTexts();
  OptionsForm().LoadOptionsTexts();
}

void MainWindow::LanguageClick() {
  if (!created_ || !SpeedButton1->IsShowing()) return;
  const Rect w = form_.WindowRect();
  MenuLng.Popup(form_, w.x + form_.Scale(SpeedButton1->Width()) / 2,
                w.y + form_.Scale(SpeedButton1->Height()) + form_.Scale(20));
}

void MainWindow::OptionsClick() {
  if (!created_ || !LOptions->IsShowing()) return;
  OptionsForm().Open(LOptions->Text());
  EnableInstall(true);
}

void MainWindow::LicenseClick() { ShowLicense(); }

void MainWindow::PublisherClick() {
  const std::wstring address = ExpandVariables(GetConstant(23));
  if (!address.empty()) platform::ShellOpen(nullptr, L"", address, L"", platform::kSwShowNormal);
}

void MainWindow::LogoMouseDown(bool left) {
  if (left && Config().ReadBool(L"GUI", L"FormBorderless", false)) form_.StartDrag();
}

bool MainWindow::FormKeyDown(int key, bool alt, bool ctrl, bool shift) {
  if (!created_) return false;
  auto firstKey = [](const std::wstring& caption) {
    return caption.empty() ? -1 : static_cast<int>(std::towupper(caption[0]));
  };
  if (alt && !ctrl && !shift) {
    if (LOptions->IsShowing() && key == firstKey(LOptions->Text())) {
      OptionsClick();
      return true;
    }
    if (LLicense->IsShowing() && key == firstKey(LLicense->Text())) {
      LicenseClick();
      return true;
    }
  }
  if (ctrl && !alt && !shift && key == kVkL && SpeedButton1->IsShowing()) {
    LanguageClick();
    return true;
  }
  return false;
}

std::wstring MainWindow::Caption() const { return created_ ? form_.Caption() : std::wstring(L"Setup"); }
void MainWindow::Show(bool visible) {
  if (created_) form_.Show(visible);
}
void MainWindow::Close() {
  if (created_) form_.Close();
}

void MainWindow::HideWelcomeElements() {
  if (!created_) return;
  for (platform::Control* c : std::initializer_list<platform::Control*>{SpeedButton1, BInstall, LOptions, LLicenseText,
                                                                         LLicense, LCopyright, LPublisher})
    c->Show(false);
}
void MainWindow::SetTitle(const std::wstring& text) {
  if (created_) LTitle->SetText(text);
}
void MainWindow::SetDescription(const std::wstring& text) {
  if (created_) LDesc->SetText(text);
}
void MainWindow::SetProgress(int position) {
  if (!created_ || position == progress_) return;
  progress_ = position;
  ProgressBar1->SetPosition(position);
  ProgressBar1->Repaint();
}
void MainWindow::ShowProgress(bool visible) {
  if (created_) ProgressBar1->Show(visible);
}
void MainWindow::ShowWaitLabel(bool visible) {
  if (created_) LWait->Show(visible);
}
void MainWindow::PlaceWaitLabel(bool outOfSight) {
  if (!created_) return;
  LWait->SetTop(outOfSight ? form_.ClientHeight() + 10 : LOptions->Top());
}
bool MainWindow::WaitLabelVisible() const { return created_ && LWait->IsVisible(); }
std::wstring MainWindow::WaitCaption() const { return created_ ? LWait->Text() : std::wstring(); }
void MainWindow::SetWaitCaption(const std::wstring& text) {
  if (!created_) return;
  LWait->SetText(text);
  CenterHorizontally(LWait, form_.ClientWidth());
}
void MainWindow::CenterWaitLabel() {
  if (created_) CenterHorizontally(LWait, form_.ClientWidth());
}
void MainWindow::SetWaitCursor(bool wait) {
  if (created_) form_.SetWaitCursor(wait);
}
void MainWindow::EnableInstall(bool enabled) {
  if (!created_) return;
  BInstall->Enable(enabled);
  // Once it can be pressed, Enter presses it.
  if (enabled && !installFocused_) {
    installFocused_ = true;
    BInstall->Focus();
  }
}
bool MainWindow::InstallEnabled() const { return created_ && BInstall->IsEnabled(); }
void MainWindow::ShowOptionsLink(bool visible) {
  if (created_) LOptions->Show(visible);
}
bool MainWindow::OptionsLinkVisible() const { return created_ && LOptions->IsVisible(); }
void MainWindow::SetInstallCaption(const std::wstring& text) {
  if (created_) BInstall->SetText(text);
}
void MainWindow::SetInstallShield(bool on) {
  if (created_) BInstall->SetShield(on);
}

void MainWindow::ShowCompletion(const std::wstring& title, const std::wstring& description, const std::wstring& button,
                                bool moveButtonDown, bool launchStyle) {
  if (!created_) return;
  for (platform::Control* c : std::initializer_list<platform::Control*>{SpeedButton1, LOptions, LLicenseText, LLicense,
                                                                         LCopyright, LPublisher, ProgressBar1, LWait})
    c->Show(false);
  LTitle->SetText(title);
  LDesc->SetText(description);
  if (moveButtonDown) BInstall->SetTop(BInstall->Top() + 20);
  if (launchStyle) {
    BInstall->SetWordWrap(true);
    FontStyle f = BInstall->Font();
    f.points = 9;
    BInstall->SetFont(f);
  }
  BInstall->SetText(button);
  BInstall->Enable(true);
  BInstall->Show(true);
  BInstall->Focus();
}

std::wstring MainWindow::FontName() const { return form_.Font().face; }
int MainWindow::BottomFontSize() const { return created_ ? LCopyright->Font().points : 8; }

}  // namespace ek
