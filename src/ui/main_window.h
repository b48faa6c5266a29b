// TFormMain: the compact installer window. Everything works without a
// window too (unit tests, early start-up, silent runs): calls then do
// nothing.
#pragma once

#include <functional>
#include <string>

#include "platform/process.h"
#include "platform/ui.h"
#include "platform/window.h"

namespace ek {

class MainWindow {
 public:
  struct Events {
    std::function<void()> installClick;
    std::function<bool()> closeQuery;
    std::function<void()> closed;
    std::function<void()> activated;
    // The language picked in the menu has no readable file.
    std::function<void()> languageFileMissing;
  };

  bool Create(const Events& events);
  bool Exists() const { return created_; }
  platform::WindowHandle handle() const;
  platform::Form& form() { return form_; }

  // Start-up: the window onto the monitor under the mouse (first instance).
  void PlaceOnMouseMonitor();
  // Start-up, not silent: the logo, [GUI] and the positions of the controls.
  void LoadLogoAndLayout();
  // Sets every caption from the loaded language file (LoadWindowTexts).
  void LoadWindowTexts();
  // The centred controls and the bottom lines, after captions or sizes changed.
  void Layout();

  // What the links, the language button and the keys do.
  void OptionsClick();
  void LicenseClick();
  void PublisherClick();
  void LanguageClick();
  bool FormKeyDown(int key, bool alt, bool ctrl, bool shift);

  std::wstring Caption() const;
  void Show(bool visible);
  void Close();

  // Installation progress screen.
  void HideWelcomeElements();
  void SetTitle(const std::wstring& text);
  void SetDescription(const std::wstring& text);
  void SetProgress(int position);  // repaints only when the position changes
  void ShowProgress(bool visible);
  void ShowWaitLabel(bool visible);
  // The wait text where the Options link is, or out of sight below the window.
  void PlaceWaitLabel(bool outOfSight);
  bool WaitLabelVisible() const;
  std::wstring WaitCaption() const;
  void SetWaitCaption(const std::wstring& text);
  void CenterWaitLabel();
  void SetWaitCursor(bool wait);
  void EnableInstall(bool enabled);
  bool InstallEnabled() const;
  void ShowOptionsLink(bool visible);
  bool OptionsLinkVisible() const;
  void SetInstallCaption(const std::wstring& text);
  void SetInstallShield(bool on);
  // The completion screen: the welcome elements go, the button becomes Finish
  // or Launch (wrapped, 9 pt); after errors it moves 20 pixels down.
  void ShowCompletion(const std::wstring& title, const std::wstring& description, const std::wstring& button,
                      bool moveButtonDown, bool launchStyle);

  // The window's font name and the size of its bottom labels, which the
  // other dialogs take over.
  std::wstring FontName() const;
  int BottomFontSize() const;

 private:
  void ApplyGuiSettings();
  void LoadLogo();
  void PlaceLogo();
  void LayoutBottom();
  void BuildLanguageMenu();
  void ShowLanguageFlag();
  void ChooseLanguage(const std::wstring& name);
  void LogoMouseDown(bool left);

  bool created_ = false;
  Events events_;
  platform::Form form_;
  platform::Picture* Image1 = nullptr;
  platform::Label* LTitle = nullptr;
  platform::Label* LDesc = nullptr;
  platform::Button* SpeedButton1 = nullptr;
  platform::Button* BInstall = nullptr;
  platform::Link* LOptions = nullptr;
  platform::Label* LWait = nullptr;
  platform::ProgressBar* ProgressBar1 = nullptr;
  platform::Label* LLicenseText = nullptr;
  platform::Link* LLicense = nullptr;
  platform::Label* LCopyright = nullptr;
  platform::Link* LPublisher = nullptr;
  platform::PopupMenu MenuLng;
  bool menuBuilt_ = false;
  bool logoLoaded_ = false;
  bool installFocused_ = false;
  int progress_ = -1;
};

MainWindow& MainForm();

// The window's dark-mode question: the current user's Personalize values.
bool IsDarkTheme();

}  // namespace ek
