// TFormMain: the compact installer window. Everything works without a
// window too (unit tests, early start-up): calls then do nothing.
#pragma once

#include <functional>
#include <string>

#include "platform/process.h"
#include "platform/ui.h"

namespace ek {

class MainWindow {
 public:
  struct Events {
    std::function<void()> installClick;
    std::function<void()> optionsClick;
    std::function<void()> licenseClick;
    std::function<void()> languageClick;
    std::function<void()> publisherClick;
    std::function<bool()> closeQuery;
    std::function<void()> closed;
    std::function<void()> activated;
    std::function<bool(int key, bool alt, bool ctrl, bool shift)> keyDown;
  };

  bool Create(const Events& events);
  bool Exists() const { return created_; }
  platform::WindowHandle handle() const;
  platform::Form& form() { return form_; }

  // Sets every caption from the loaded language file (LoadWindowTexts).
  void LoadWindowTexts();
  // Lays out the controls (after a font or size change).
  void Layout();

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
  void ShowCompletion(const std::wstring& title, const std::wstring& description, const std::wstring& button,
                      bool moveButtonDown);

 private:
  bool created_ = false;
  platform::Form form_;
  platform::Control* LTitle = nullptr;
  platform::Control* LDesc = nullptr;
  platform::Control* BInstall = nullptr;
  platform::Control* LOptions = nullptr;
  platform::Control* LWait = nullptr;
  platform::Control* ProgressBar1 = nullptr;
  platform::Control* LLicenseText = nullptr;
  platform::Control* LLicense = nullptr;
  platform::Control* LCopyright = nullptr;
  platform::Control* LPublisher = nullptr;
  platform::Control* SpeedButton1 = nullptr;
  int progress_ = -1;
};

MainWindow& MainForm();

}  // namespace ek
