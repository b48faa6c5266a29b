#include "ui/main_window.h"

#include "core/setup_state.h"
#include "config/language.h"
#include "base/text.h"
#include "config/variables.h"

namespace ek {

MainWindow& MainForm() {
  static MainWindow window;
  return window;
}

bool MainWindow::Create(const Events& events) {
  platform::InitCommonControls();
  if (!form_.Create(L"Setup", 494, 376, 0xFFFFFF)) return false;
  platform::Form::Handlers h;
  h.closeQuery = events.closeQuery;
  h.closed = events.closed;
  h.activated = events.activated;
  h.keyDown = events.keyDown;
  form_.SetHandlers(std::move(h));

  const uint32_t grey = 0x808080;
  LTitle = form_.AddLabel(L"", 25, 130, 445, 60, false);
  LTitle->SetFont(L"Verdana", 18);
  LTitle->SetColor(grey);
  LTitle->Show(true);
  LDesc = form_.AddLabel(L"", 50, 194, 395, 40, false);
  LDesc->SetFont(L"Verdana", 9);
  LDesc->SetColor(grey);
  LDesc->Show(true);
  BInstall = form_.AddButton(L" Install", 157, 240, 180, 40, events.installClick);
  BInstall->SetFont(L"Verdana", 12);
  BInstall->Enable(false);
  LOptions = form_.AddLink(L"Options", 228, 285, events.optionsClick);
  LOptions->SetFont(L"Verdana", 8);
  LWait = form_.AddLabel(L"Please wait", 216, 285, 80, 14, true);
  LWait->SetFont(L"Verdana", 8);
  ProgressBar1 = form_.AddProgressBar(50, 284, 400, 18);
  LLicenseText = form_.AddLabel(L"", 52, 321, 200, 14, true);
  LLicenseText->SetFont(L"Verdana", 8);
  LLicenseText->SetColor(grey);
  LLicense = form_.AddLink(L"", 333, 321, events.licenseClick);
  LLicense->SetFont(L"Verdana", 8);
  LCopyright = form_.AddLabel(L"", 42, 349, 150, 14, true);
  LCopyright->SetFont(L"Verdana", 8);
  LCopyright->SetColor(grey);
  LPublisher = form_.AddLink(L"", 192, 349, events.publisherClick);
  LPublisher->SetFont(L"Verdana", 8);
  SpeedButton1 = form_.AddButton(L"", 0, 0, 30, 23, events.languageClick);
  SpeedButton1->Show(false);
  created_ = true;
  Layout();
  return true;
}

platform::WindowHandle MainWindow::handle() const { return created_ ? form_.handle() : nullptr; }

namespace {
// Halves with the remainder dropped, as the window's own layout does.
void CenterHorizontally(platform::Control* c, int clientWidth) {
  if (!c) return;
  int x, y, w, h;
  c->GetBounds(x, y, w, h);
  c->SetBounds(clientWidth / 2 - w / 2, y, w, h);
}
}  // namespace

void MainWindow::Layout() {
  if (!created_) return;
  const int cw = form_.ClientWidth();
  CenterHorizontally(LTitle, cw);
  CenterHorizontally(LDesc, cw);
  CenterHorizontally(BInstall, cw);
  CenterHorizontally(LOptions, cw);
  int x, y, w, h, ox, oy, ow, oh;
  BInstall->GetBounds(x, y, w, h);
  LOptions->GetBounds(ox, oy, ow, oh);
  const int top = y + h + oh / 2;
  LOptions->SetBounds(ox, top, ow, oh);
  ProgressBar1->GetBounds(x, y, w, h);
  ProgressBar1->SetBounds(x, top, w, h);
  LWait->GetBounds(x, y, w, h);
  LWait->SetBounds(cw / 2 - w / 2, top, w, h);
}

void MainWindow::LoadWindowTexts() {
  auto& s = State();
  std::wstring name = GetConstant(1), version = GetConstant(2);
  std::wstring edition = ExpandVariables(PickLanguageText(SetupString(L"AppEdition")));
  if (!edition.empty() && !Switch(L"-noappedition")) s.AppNameVersion = name + L" " + edition + L" " + version;
  else s.AppNameVersion = name + L" " + version;

  std::wstring caption = ExpandVariables(LangText(L"Title", 0, L"Setup"));
  size_t amp = caption.find(L"&&");
  if (amp != std::wstring::npos) caption.erase(amp, 1);
  if (created_) form_.SetCaption(caption);
  if (created_) {
    LWait->SetText(LangText(L"Messages", 38, L"Please wait"));
    Layout();
  }
  if (s.Relaunched || !created_) return;

  std::wstring title = LangText(L"Welcome", 4, L"");
  if (title.empty()) title = LangText(L"Welcome", 0, L"Welcome to <AppName> Setup");
  LTitle->SetText(ExpandVariables(title));
  std::wstring desc = PickLanguageText(SetupString(L"AppDescription"));
  if (desc.empty()) {
    desc = LangText(L"Welcome", 1, L"This will install <AppNameVersion> on your computer.");
    size_t br = desc.find(L"<#>");
    if (br != std::wstring::npos) desc.resize(br);
  }
  LDesc->SetText(ReplaceAllNoCase(ExpandVariables(desc), L"%n", L"\r\n"));
  BInstall->SetText(ExpandVariables(LangText(L"Buttons", 3, L"Install")));
  LOptions->SetText(ExpandVariables(LangText(L"Welcome", 3, L"Options")));
  if (SetupBool(L"DialogLicense")) {
    LLicenseText->SetText(ExpandVariables(LangText(L"LicenseAgreement", 5, L"By installing this product, you agree to our")) + L" ");
    LLicense->SetText(ExpandVariables(LangText(L"LicenseAgreement", 6, L"License Agreement")));
    LLicenseText->Show(true);
    LLicense->Show(true);
  }
  if (SetupBool(L"ShowPublisher")) {
    LPublisher->SetText(GetConstant(5));
    LCopyright->SetText(ExpandVariables(SetupString(L"Copyright")) + L" ");
    LCopyright->Show(true);
    LPublisher->Show(true);
  }
  Layout();
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
  for (auto* c : {SpeedButton1, BInstall, LOptions, LLicenseText, LLicense, LCopyright, LPublisher}) c->Show(false);
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
bool MainWindow::WaitLabelVisible() const { return created_ && LWait->IsVisible(); }
std::wstring MainWindow::WaitCaption() const { return created_ ? LWait->Text() : std::wstring(); }
void MainWindow::SetWaitCaption(const std::wstring& text) {
  if (!created_) return;
  LWait->SetText(text);
  LWait->Repaint();
}
void MainWindow::CenterWaitLabel() {
  if (created_) CenterHorizontally(LWait, form_.ClientWidth());
}
void MainWindow::SetWaitCursor(bool wait) {
  if (created_) form_.SetWaitCursor(wait);
}
void MainWindow::EnableInstall(bool enabled) {
  if (created_) BInstall->Enable(enabled);
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
                                bool moveButtonDown) {
  if (!created_) return;
  for (auto* c : {SpeedButton1, LOptions, LLicenseText, LLicense, LCopyright, LPublisher, ProgressBar1}) c->Show(false);
  LWait->Show(false);
  LTitle->SetText(title);
  LDesc->SetText(description);
  if (moveButtonDown) {
    int x, y, w, h;
    BInstall->GetBounds(x, y, w, h);
    BInstall->SetBounds(x, y + form_.Scale(20), w, h);
  }
  BInstall->SetText(button);
  BInstall->Enable(true);
  BInstall->Show(true);
}

}  // namespace ek
