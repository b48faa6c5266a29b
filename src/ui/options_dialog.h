// TFormOptions: the options dialog. Its controls mirror the options state of
// SetupState (which groups are in use, what is ticked), so a silent run,
// which never shows the dialog, installs with the same choices; the window
// itself is made when it is first opened and lives until the end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui.h"
#include "platform/window.h"

namespace ek {

class OptionsDialog {
 public:
  // Every caption and list of the dialog (LoadOptionsTexts); also sets the
  // drop-down choice, the component texts and, with CalcCompoSize, TotalSize.
  void LoadOptionsTexts();
  // Opens the dialog modally with this caption (the Options link's).
  void Open(const std::wstring& caption);
  // The font the dialog takes over from a main window with its own font.
  void SetFont(const std::wstring& face, int points);

  [[nodiscard]] bool Exists() const { return created_; }
  [[nodiscard]] bool IsOpen() const { return created_ && form_.InModalLoop(); }
  platform::Form& form() { return form_; }

  // What the drop-down list shows: the user's pick once the dialog exists,
  // else the prepared choice.
  [[nodiscard]] int ComboSelection() const;

  // The OK button; false when a check kept the dialog open.
  bool ButtonOKClick();

 private:
  bool EnsureCreated();
  void SyncFromState();
  void ApplyTexts();
  void LayoutGroups();
  void LayoutUserInfo();
  void LayoutComponents();
  void ScopeClick();
  void BrowseFolderClick();
  void BrowseCustomClick();
  void ComponentSelected(int index);
  void ComponentChecked(int index);
  void ComboChanged();
  void UpdateFreeSpace(const std::wstring& folder);
  platform::MsgResult Box(const std::wstring& text, platform::MsgIcon icon, platform::MsgButtons buttons,
                          const std::wstring& caption);

  struct Texts {
    std::wstring radioCaption, radioCurrentUser = L"Current User", radioAllUsers = L"All Users";
    std::wstring folderCaption = L"Installation Folder", required, available;
    std::wstring tasksCaption = L"Additional Tasks", programs, desktop, startup, addTask, associate;
    std::wstring comboCaption = L"Select";
    std::vector<std::wstring> comboItems;
    std::wstring componentsCaption = L"Components", componentsDesc;
    std::wstring userCaption, userIntro, userName, customName;
  } texts_;

  bool created_ = false;
  bool focusOk_ = false;
  platform::FontStyle font_{L"Verdana", 8};
  platform::Form form_;
  platform::RadioGroup* RadioGroup1 = nullptr;
  platform::GroupBox* GroupBox1 = nullptr;
  platform::Edit* EInstallDir = nullptr;
  platform::Button* Button1 = nullptr;
  platform::Label* Label2 = nullptr;
  platform::Label* Label3 = nullptr;
  platform::GroupBox* GroupBox3 = nullptr;
  platform::ComboBox* ComboBox1 = nullptr;
  platform::GroupBox* GroupBox4 = nullptr;
  platform::CheckList* CheckListBox1 = nullptr;
  platform::Label* LCDesc = nullptr;
  platform::GroupBox* GroupBox5 = nullptr;
  platform::Label* Label1 = nullptr;
  platform::Label* LUser = nullptr;
  platform::Edit* EUser = nullptr;
  platform::Label* LCustomInfo = nullptr;
  platform::Edit* ECustomInfo = nullptr;
  platform::Button* Button3 = nullptr;
  platform::GroupBox* GroupBox2 = nullptr;
  platform::CheckBox* CheckDesktop = nullptr;
  platform::CheckBox* CheckPrograms = nullptr;
  platform::CheckBox* CheckStartup = nullptr;
  platform::CheckBox* CheckAddTask = nullptr;
  platform::CheckBox* CheckAssociate = nullptr;
  platform::Button* ButtonOK = nullptr;
};

OptionsDialog& OptionsForm();

// Opens the options dialog from the Install button (the folder, the
// drop-down list, the components or the user information need the user);
// a silent run shows no dialog.
void OpenOptionsDialog();

// The installation folder as OK completes it (the text trimmed, without a
// trailing "\"): a drive letter becomes its root; a path without a drive or
// server is taken below the setup file's folder.
std::wstring CompleteInstallFolder(const std::wstring& text, const std::wstring& setupFolder);
// The field after a folder was chosen in the browser by SelectFolderMode:
// 0 keeps the product folder below the choice, 2 takes only the drive.
// Empty when the choice changes nothing (cancelled, or one character).
std::wstring BrowsedInstallFolder(const std::wstring& old, const std::wstring& chosen, int mode);

// Field n (1 to 5) of component record i: the text between the n-th and the
// next separator; empty for a missing record or a last field.
std::wstring ComponentField(size_t index, int field);
// The bytes shown with a component's description.
int64_t ComponentSize(size_t index);
// The bytes of the checked components; also stored in TotalSize.
int64_t ComponentsSize();

}  // namespace ek
