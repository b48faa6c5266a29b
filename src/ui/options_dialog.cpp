#include "ui/options_dialog.h"

#include "actions/command_list.h"
#include "actions/variables_section.h"
#include "base/record_list.h"
#include "base/text.h"
#include "config/language.h"
#include "config/utilities.h"
#include "config/variables.h"
#include "core/command_line.h"
#include "core/setup_log.h"
#include "core/setup_state.h"
#include "platform/common_dialogs.h"
#include "platform/file_system.h"
#include "ui/main_window.h"

namespace ek {
namespace {

using platform::Rect;
namespace anchor = platform::anchor;

constexpr int kClientWidth = 390;
constexpr int kClientHeight = 531;
constexpr int kWideWidth = 512;
constexpr unsigned kStretch = anchor::kLeft | anchor::kTop | anchor::kRight;
constexpr unsigned kRightEdge = anchor::kTop | anchor::kRight;
constexpr int kCheckGlyph = 20;  // the box and its gap before a check box's text

std::wstring Picked(std::wstring_view key) { return ExpandVariables(PickLanguageText(SetupString(key))); }

// "%s" filled without expanding the rest.
std::wstring FormatOnly(const std::wstring& text, const std::wstring& argument) {
  const size_t p = text.find(L"%s");
  if (p == std::wstring::npos) return text;
  return text.substr(0, p) + argument + text.substr(p + 2);
}

std::wstring RequiredText(int64_t bytes) { return FormatAndExpand(LangText(L"DestinationFolder", 5), SizeText(bytes)); }
std::wstring AvailableText(const std::wstring& folder) {
  return FormatOnly(LangText(L"DestinationFolder", 6), SizeText(static_cast<int64_t>(DriveFreeSpace(folder))));
}

std::wstring TrimFolder(const std::wstring& text) {
  std::wstring t = Trim(text);
  if (!t.empty() && t.back() == L'\\') t.pop_back();
  return t;
}

bool IsInteger(const std::wstring& text) {
  if (text.empty()) return false;
  size_t i = (text[0] == L'-' || text[0] == L'+') ? 1 : 0;
  if (i >= text.size()) return false;
  for (; i < text.size(); ++i)
    if (text[i] < L'0' || text[i] > L'9') return false;
  return ParseInt32(text).has_value();
}

}  // namespace

std::wstring CompleteInstallFolder(const std::wstring& text, const std::wstring& setupFolder) {
  std::wstring dir = text;
  if (dir.size() == 2 && dir[1] == L':') dir += L"\\";
  if (!Contains(dir, L":\\") && dir.rfind(L"\\\\", 0) != 0) {
    if (!dir.empty() && dir[0] == L'\\') dir.erase(0, 1);
    dir = setupFolder + L"\\" + dir;
  }
  return dir;
}

OptionsDialog& OptionsForm() {
  static OptionsDialog dialog;
  return dialog;
}

void OpenOptionsDialog() {
  if (State().Silent) return;
  OptionsForm().Open(ExpandVariables(LangText(L"Welcome", 3, L"Options")));
  MainForm().EnableInstall(true);
}

std::wstring ComponentField(size_t index, int field) {
  const std::wstring record = ReadRecord(Config(), L"Components", index);
  if (record.empty()) return {};
  size_t pos = 0;
  for (int k = 0; k < field; ++k) {
    pos = record.find(kFieldSeparator, pos);
    if (pos == std::wstring::npos) return {};
    pos += kFieldSeparator.size();
  }
  const size_t end = record.find(kFieldSeparator, pos);
  if (end == std::wstring::npos) return {};
  return record.substr(pos, end - pos);
}

namespace {

// The package's own total, as the builder wrote it: the "$SIZE" of a record
// that stands for all files.
int64_t PackageTotalSize() { return ParseInt64(SetupString(L"TotalSize", L"0")).value_or(0); }

int64_t Number(std::wstring_view text) { return ParseInt64(text).value_or(0); }

}  // namespace

int64_t ComponentSize(size_t index) {
  const auto& s = State();
  const std::wstring f3 = ComponentField(index, 3);
  if (f3.empty()) return 0;
  if (!EqualsNoCase(f3, L"$SIZE")) return Number(f3);
  const std::wstring record = ReadRecord(Config(), L"Components", index);
  if (ContainsNoCase(record, L"$ALLFILES") || ContainsNoCase(record, L"$TOTALFILES")) return PackageTotalSize();
  if (ContainsNoCase(record, L"$SOURCEDIR")) return s.SourceSize;
  if (ContainsNoCase(record, L"$ADDONFILES")) return s.AddonSize;
  if (ContainsNoCase(record, L"$DATAFILE")) return PackageTotalSize();
  return 0;
}

int64_t ComponentsSize() {
  auto& s = State();
  int64_t r = 0;
  const auto& items = s.Options.CheckListBox1;
  for (size_t i = 0; i < items.size(); ++i) {
    if (!items[i].checked) continue;
    const std::wstring t = ReadRecord(Config(), L"Components", i);
    if (t.empty()) continue;
    const std::wstring f3 = ComponentField(i, 3);
    const bool derived = ContainsNoCase(f3, L"$SIZE");
    if (ContainsNoCase(t, L"$ALLFILES") || ContainsNoCase(t, L"TOTALFILES")) r = derived ? PackageTotalSize() : Number(f3);
    else if (ContainsNoCase(t, L"$SOURCEDIR")) r += derived ? s.SourceSize : Number(f3);
    else if (ContainsNoCase(t, L"$ADDONFILES")) r += derived ? s.AddonSize : Number(f3);
    else if (!f3.empty() && !EqualsNoCase(f3, L"$SIZE")) r += Number(f3);
  }
  s.TotalSize = r;
  return r;
}

void OptionsDialog::LoadOptionsTexts() {
  auto& s = State();
  auto& o = s.Options;
  if (o.RadioGroup1.visible) {
    texts_.radioCaption = ExpandVariables(LangText(L"AdditionalTasks", 10));
    texts_.radioCurrentUser = ExpandVariables(LangText(L"AdditionalTasks", 12));
    texts_.radioAllUsers = ExpandVariables(LangText(L"AdditionalTasks", 11));
  }
  texts_.folderCaption = ExpandVariables(LangText(L"DestinationFolder", 4));
  texts_.required = RequiredText(s.TotalSize);
  texts_.available = AvailableText(s.InstallDir);
  if (o.GroupBox4.visible && SetupBool(L"CalcCompoSize")) texts_.required = RequiredText(ComponentsSize());
  texts_.tasksCaption = ExpandVariables(LangText(L"AdditionalTasks", 0));
  texts_.programs = ExpandVariables(LangText(L"AdditionalTasks", 3));
  texts_.desktop = ExpandVariables(LangText(L"AdditionalTasks", 4));
  texts_.startup = ExpandVariables(LangText(L"AdditionalTasks", 9, L"Launch on Windows startup"));
  if (o.CheckAddTask.visible) texts_.addTask = Picked(L"InfoCustomBoxName");
  if (o.CheckAssociate.visible) {
    std::wstring list;
    if (const auto* section = Config().GetSection(L"Extensions"))
      for (const auto& e : section->entries) list += L" ." + SplitRecord(e.value)[0] + L",";
    if (!list.empty() && list.back() == L',') list.pop_back();
    texts_.associate = ExpandVariables(FormatAndExpand(LangText(L"AdditionalTasks", 6), list));
  }
  if (o.GroupBox3.visible) {
    texts_.comboCaption = Picked(L"CustomComboBoxName");
    texts_.comboItems.clear();
    for (const auto& item : Split(SetupString(L"CustomComboBoxItems"), L"##"))
      texts_.comboItems.push_back(ExpandVariables(PickLanguageText(item)));
    const auto& items = texts_.comboItems;
    if (!s.ComboBox.empty()) {
      for (size_t i = 0; i < items.size(); ++i)
        if (EqualsNoCase(items[i], s.ComboBox)) {
          s.ComboBoxIndex = static_cast<int32_t>(i);
          break;
        }
    }
    if (s.ComboBoxIndex >= 0 && static_cast<size_t>(s.ComboBoxIndex) < items.size())
      s.ComboBox = items[static_cast<size_t>(s.ComboBoxIndex)];
  }
  if (SetupBool(L"CustomComponents")) {
    o.GroupBox4.visible = true;
    texts_.componentsCaption = Picked(L"CustomComponentsText");
    texts_.componentsDesc = Picked(L"CustomComponentsDesc");
    for (size_t i = 0; i < o.CheckListBox1.size(); ++i) {
      const auto fields = SplitRecord(ReadRecord(Config(), L"Components", i));
      if (!fields[0].empty()) o.CheckListBox1[i].text = ExpandVariables(PickLanguageText(fields[0]));
    }
  }
  if (o.GroupBox5.visible) {
    texts_.userCaption = ExpandVariables(LangText(L"UserInformation", 0));
    texts_.userIntro = ExpandVariables(LangText(L"UserInformation", 2));
    if (o.EUser.visible) texts_.userName = Picked(L"QueryTextName") + (SetupBool(L"QueryTextReq") ? L"*" : L"");
    if (o.ECustomInfo.visible)
      texts_.customName = Picked(L"QueryCustomName") + (SetupBool(L"QueryCustomReq") ? L"*" : L"");
  }
  if (Switch(L"-updateinstalldir")) ResolveInstallPaths();
  if (created_) {
    SyncFromState();
    ApplyTexts();
    LayoutGroups();
  }
}

int OptionsDialog::ComboSelection() const {
  const int prepared = State().ComboBoxIndex;
  if (!created_) return prepared >= 0 && static_cast<size_t>(prepared) < texts_.comboItems.size() ? prepared : -1;
  return ComboBox1->ItemIndex();
}

void OptionsDialog::SetFont(const std::wstring& face, int points) {
  font_ = platform::FontStyle{face, points};
  if (!created_) return;
  form_.SetFont(font_);
  for (auto& c : form_.controls()) c->SetFont(font_);
  LayoutGroups();
}

bool OptionsDialog::EnsureCreated() {
  if (created_) return true;
  form_.SetFont(font_);
  platform::FormStyle style;
  style.resizable = true;
  style.minimizeBox = false;
  style.appWindow = false;
  style.owner = MainForm().Exists() ? &MainForm().form() : nullptr;
  if (!form_.Create(L"TFormOptions", L"Options", kClientWidth, kClientHeight, platform::SystemColor(platform::kColorBtnFace),
                    style))
    return false;
  platform::Form::Handlers h;
  h.cancel = [this] { form_.EndModal(0); };
  h.closed = [this] { form_.EndModal(0); };
  h.activated = [this] {
    if (focusOk_) {
      focusOk_ = false;
      ButtonOK->Focus();
    }
  };
  h.resized = [this] { ButtonOK->SetLeft(form_.ClientWidth() / 2 - ButtonOK->Width() / 2); };
  h.dpiChanged = [this] { LayoutGroups(); };
  form_.SetHandlers(std::move(h));

  // In the order of Tab, which is the order on screen after the layout.
  RadioGroup1 = form_.AddRadioGroup(L"RadioGroup1", nullptr, L"", Rect{16, 12, 360, 74}, {L"Current User", L"All Users"});
  RadioGroup1->SetAnchors(kStretch);
  RadioGroup1->SetOnClick([this] { ScopeClick(); });
  RadioGroup1->Show(false);

  GroupBox1 = form_.AddGroupBox(L"GroupBox1", nullptr, L"Installation Folder", Rect{16, 12, 360, 113});
  GroupBox1->SetAnchors(kStretch);
  EInstallDir = form_.AddEdit(L"EInstallDir", GroupBox1, Rect{16, 26, 298, 21});
  EInstallDir->SetAnchors(kStretch);
  EInstallDir->SetOnEnter([this] { ButtonOKClick(); });
  EInstallDir->SetOnChange([this] {
    if (EInstallDir->HasFocus()) UpdateFreeSpace(EInstallDir->Text());
  });
  Button1 = form_.AddButton(L"Button1", GroupBox1, L"...", Rect{323, 25, 23, 23}, [this] { BrowseFolderClick(); });
  Button1->SetAnchors(kRightEdge);
  Label2 = form_.AddLabel(L"Label2", GroupBox1, L"", Rect{16, 64, 0, 0});
  Label3 = form_.AddLabel(L"Label3", GroupBox1, L"", Rect{16, 86, 0, 0});

  GroupBox3 = form_.AddGroupBox(L"GroupBox3", nullptr, L"Select", Rect{16, 134, 360, 64});
  GroupBox3->SetAnchors(kStretch);
  GroupBox3->Show(false);
  ComboBox1 = form_.AddComboBox(L"ComboBox1", GroupBox3, Rect{16, 26, 329, 21});
  ComboBox1->SetAnchors(kStretch);
  ComboBox1->SetOnChange([this] { ComboChanged(); });

  GroupBox4 = form_.AddGroupBox(L"GroupBox4", nullptr, L"Components", Rect{16, 352, 360, 137});
  GroupBox4->SetAnchors(kStretch);
  GroupBox4->Show(false);
  CheckListBox1 = form_.AddCheckList(L"CheckListBox1", GroupBox4, Rect{16, 24, 329, 74}, 17);
  CheckListBox1->SetAnchors(kStretch);
  CheckListBox1->SetOnSelect([this](int i) { ComponentSelected(i); });
  CheckListBox1->SetOnCheck([this](int i) { ComponentChecked(i); });
  platform::LabelOptions wrap{false, true, platform::TextAlign::Left, false, false};
  LCDesc = form_.AddLabel(L"LCDesc", GroupBox4, L"", Rect{16, 104, 329, 26}, wrap);
  LCDesc->SetAnchors(kStretch);

  GroupBox5 = form_.AddGroupBox(L"GroupBox5", nullptr, L"", Rect{16, 164, 360, 272});
  GroupBox5->SetAnchors(kStretch);
  GroupBox5->Show(false);
  Label1 = form_.AddLabel(L"Label1", GroupBox5, L"", Rect{16, 22, 329, 92}, wrap);
  Label1->SetAnchors(kStretch);
  LUser = form_.AddLabel(L"LUser", GroupBox5, L"", Rect{16, 70, 329, 14}, wrap);
  LUser->SetAnchors(kStretch);
  EUser = form_.AddEdit(L"EUser", GroupBox5, Rect{16, 90, 329, 21});
  EUser->SetAnchors(kStretch);
  platform::LabelOptions bottom{false, true, platform::TextAlign::Left, false, true};
  LCustomInfo = form_.AddLabel(L"LCustomInfo", GroupBox5, L"", Rect{16, 120, 329, 28}, bottom);
  LCustomInfo->SetAnchors(kStretch);
  ECustomInfo = form_.AddEdit(L"ECustomInfo", GroupBox5, Rect{16, 151, 297, 21});
  ECustomInfo->SetAnchors(kStretch);
  Button3 = form_.AddButton(L"Button3", GroupBox5, L"...", Rect{323, 150, 23, 23}, [this] { BrowseCustomClick(); });
  Button3->SetAnchors(kRightEdge);

  GroupBox2 = form_.AddGroupBox(L"GroupBox2", nullptr, L"Additional Tasks", Rect{16, 142, 360, 187});
  GroupBox2->SetAnchors(kStretch);
  auto check = [&](const wchar_t* name, int top, int height, bool wordWrap) {
    auto* c = form_.AddCheckBox(name, GroupBox2, L"", Rect{16, top, 325, height}, wordWrap);
    c->SetAnchors(kStretch);
    c->Show(false);
    return c;
  };
  CheckDesktop = check(L"CheckDesktop", 26, 17, false);
  CheckPrograms = check(L"CheckPrograms", 56, 17, false);
  CheckStartup = check(L"CheckStartup", 86, 17, false);
  CheckAddTask = check(L"CheckAddTask", 112, 29, true);
  CheckAssociate = check(L"CheckAssociate", 139, 38, true);
  auto& o = State().Options;
  CheckDesktop->SetOnClick([this, &o] { o.CheckDesktop.checked = CheckDesktop->IsChecked(); });
  CheckPrograms->SetOnClick([this, &o] { o.CheckPrograms.checked = CheckPrograms->IsChecked(); });
  CheckStartup->SetOnClick([this, &o] { o.CheckStartup.checked = CheckStartup->IsChecked(); });
  CheckAddTask->SetOnClick([this, &o] { o.CheckAddTask.checked = CheckAddTask->IsChecked(); });
  CheckAssociate->SetOnClick([this, &o] { o.CheckAssociate.checked = CheckAssociate->IsChecked(); });

  ButtonOK = form_.AddButton(L"ButtonOK", nullptr, L"OK", Rect{169, 495, 75, 25}, [this] { ButtonOKClick(); });
  ButtonOK->SetAnchors(anchor::kLeft | anchor::kBottom);
  form_.SetDefaultButton(ButtonOK);
  created_ = true;
  return true;
}

// The options state into the controls: which are in use, clickable, ticked.
void OptionsDialog::SyncFromState() {
  const auto& s = State();
  const auto& o = s.Options;
  RadioGroup1->Show(o.RadioGroup1.visible);
  RadioGroup1->Enable(o.RadioGroup1.enabled);
  RadioGroup1->SetItemIndex(o.RadioGroup1.checked ? 1 : 0);
  EInstallDir->Enable(o.EInstallDirEnabled);
  Button1->Enable(o.EInstallDirEnabled);
  GroupBox3->Show(o.GroupBox3.visible);
  ComboBox1->Enable(o.ComboBox1.enabled);
  GroupBox4->Show(o.GroupBox4.visible);
  std::vector<platform::CheckList::Item> items;
  for (const auto& c : o.CheckListBox1) items.push_back({c.text, c.checked, c.enabled});
  CheckListBox1->SetItems(items);
  GroupBox5->Show(o.GroupBox5.visible);
  Label1->Show(o.Label1Visible);
  LUser->Show(o.EUser.visible);
  EUser->Show(o.EUser.visible);
  EUser->Enable(o.EUser.enabled);
  LCustomInfo->Show(o.ECustomInfo.visible);
  ECustomInfo->Show(o.ECustomInfo.visible);
  ECustomInfo->Enable(o.ECustomInfo.enabled);
  const int type = SetupInt(L"QueryCustomType", 0);
  Button3->Show(o.ECustomInfo.visible && type >= 2);
  Button3->Enable(o.ECustomInfo.enabled);
  auto sync = [](platform::CheckBox* box, const OptionControl& c) {
    box->Show(c.visible);
    box->Enable(c.enabled);
    box->SetChecked(c.checked);
  };
  sync(CheckDesktop, o.CheckDesktop);
  sync(CheckPrograms, o.CheckPrograms);
  sync(CheckStartup, o.CheckStartup);
  sync(CheckAddTask, o.CheckAddTask);
  sync(CheckAssociate, o.CheckAssociate);
}

void OptionsDialog::ApplyTexts() {
  const auto& o = State().Options;
  RadioGroup1->SetText(texts_.radioCaption);
  RadioGroup1->SetItems({texts_.radioCurrentUser, texts_.radioAllUsers});
  GroupBox1->SetText(texts_.folderCaption);
  EInstallDir->SetAccessibleName(texts_.folderCaption);
  Button1->SetAccessibleName(texts_.folderCaption + L" ...");
  Label2->SetText(texts_.required);
  Label3->SetText(texts_.available);
  GroupBox2->SetText(texts_.tasksCaption);
  CheckPrograms->SetText(texts_.programs);
  CheckDesktop->SetText(texts_.desktop);
  CheckStartup->SetText(texts_.startup);
  CheckAddTask->SetText(texts_.addTask);
  CheckAssociate->SetText(texts_.associate);
  GroupBox3->SetText(texts_.comboCaption);
  ComboBox1->SetAccessibleName(texts_.comboCaption.empty() ? L"Select" : texts_.comboCaption);
  ComboBox1->SetItems(texts_.comboItems);
  ComboBox1->SetItemIndex(State().ComboBoxIndex);
  GroupBox4->SetText(texts_.componentsCaption);
  // Without a caption of its own the list is still the list of components.
  CheckListBox1->SetAccessibleName(texts_.componentsCaption.empty() ? L"Components" : texts_.componentsCaption);
  for (size_t i = 0; i < o.CheckListBox1.size(); ++i) CheckListBox1->SetItemText(i, o.CheckListBox1[i].text);
  LCDesc->SetText(texts_.componentsDesc);
  GroupBox5->SetText(texts_.userCaption);
  Label1->SetText(texts_.userIntro);
  LUser->SetText(texts_.userName);
  EUser->SetAccessibleName(ReplaceAll(texts_.userName, L"*", L""));
  LCustomInfo->SetText(texts_.customName);
  ECustomInfo->SetAccessibleName(ReplaceAll(texts_.customName, L"*", L""));
  Button3->SetAccessibleName(ReplaceAll(texts_.customName, L"*", L"") + L" ...");
}

void OptionsDialog::LayoutComponents() {
  const int items = static_cast<int>(CheckListBox1->Items().size());
  // More than five items: the list gets three times the room.
  const int listHeight = items > 5 ? 74 + 2 * 137 : 74;
  CheckListBox1->SetHeight(listHeight);
  // Room for the longest description, so that none is cut.
  int descHeight = 26;
  auto fit = [&](const std::wstring& text) {
    descHeight = std::max(descHeight, form_.MeasureText(LCDesc->Font(), text, LCDesc->Width()).h);
  };
  fit(texts_.componentsDesc);
  for (size_t i = 0; i < CheckListBox1->Items().size(); ++i) {
    std::wstring d = ExpandVariables(PickLanguageText(ComponentField(i, 1)));
    const int64_t size = ComponentSize(i);
    if (size != 0) d = d.empty() ? SizeText(size) : d + L" (" + SizeText(size) + L")";
    fit(d);
  }
  LCDesc->SetBounds(Rect{16, CheckListBox1->Top() + listHeight + 6, LCDesc->Width(), descHeight});
  GroupBox4->SetHeight(LCDesc->Top() + descHeight + 7);
}

void OptionsDialog::LayoutUserInfo() {
  const int width = GroupBox5->Width() - 31;
  int y = 22;
  if (Label1->IsVisible() && !Label1->Text().empty()) {
    const int h = form_.MeasureText(Label1->Font(), Label1->Text(), width).h;
    Label1->SetBounds(Rect{16, y, width, h});
    y += h + 8;
  } else {
    Label1->Show(false);
  }
  if (EUser->IsVisible()) {
    const int h = form_.MeasureText(LUser->Font(), LUser->Text(), width).h;
    LUser->SetBounds(Rect{16, y, width, h});
    y += h + 3;
    EUser->SetBounds(Rect{16, y, width, 21});
    y += 21 + 10;
  }
  if (ECustomInfo->IsVisible()) {
    const int h = form_.MeasureText(LCustomInfo->Font(), LCustomInfo->Text(), width).h;
    LCustomInfo->SetBounds(Rect{16, y, width, h});
    y += h + 3;
    const bool browse = Button3->IsVisible();
    ECustomInfo->SetBounds(Rect{16, y, browse ? width - 32 : width, 21});
    Button3->SetBounds(Rect{16 + width - 23, y - 1, 23, 23});
    y += 21 + 10;
  }
  GroupBox5->SetHeight(y + 2);
}

void OptionsDialog::LayoutGroups() {
  if (!created_) return;
  LayoutComponents();
  LayoutUserInfo();
  int b = GroupBox1->Top();
  if (RadioGroup1->IsVisible()) GroupBox1->SetTop(RadioGroup1->Top() + RadioGroup1->Height() + 10);
  b = GroupBox1->Top() + GroupBox1->Height();
  for (platform::Control* g : std::initializer_list<platform::Control*>{GroupBox3, GroupBox4, GroupBox5}) {
    if (!g->IsVisible()) continue;
    g->SetTop(b + 10);
    b = g->Top() + g->Height();
  }
  const int okRoom = 2 * ButtonOK->Height();
  int height = 0;
  const bool anyTask = CheckDesktop->IsVisible() || CheckPrograms->IsVisible() || CheckStartup->IsVisible() ||
                       CheckAddTask->IsVisible() || CheckAssociate->IsVisible();
  if (!anyTask) {
    GroupBox2->Show(false);
    height = b + okRoom;
  } else {
    GroupBox2->Show(true);
    GroupBox2->SetTop(b + 12);
    // Stacked, so that hidden tasks leave no gaps; wrapped captions get the
    // height their text needs.
    const int textWidth = CheckAddTask->Width() - kCheckGlyph;
    int y = 26;
    for (platform::CheckBox* c : {CheckDesktop, CheckPrograms, CheckStartup}) {
      if (!c->IsVisible()) continue;
      c->SetTop(y);
      y = c->Top() + 2 * c->Height();
    }
    for (platform::CheckBox* c : {CheckAddTask, CheckAssociate}) {
      if (!c->IsVisible()) continue;
      const int designed = c == CheckAddTask ? 29 : 38;
      const int needed = form_.MeasureText(c->Font(), c->Text(), textWidth).h + 4;
      c->SetBounds(Rect{16, y - 10, c->Width(), std::max(designed, needed)});
      y = c->Top() + c->Height() + 10;
    }
    GroupBox2->SetHeight(y);
    height = GroupBox2->Top() + GroupBox2->Height() + okRoom;
  }
  ButtonOK->SetTop(height - okRoom / 2 - ButtonOK->Height() / 2);
  form_.SetClientSize(form_.ClientWidth(), height);
  ButtonOK->SetTop(height - okRoom / 2 - ButtonOK->Height() / 2);
  ButtonOK->SetLeft(form_.ClientWidth() / 2 - ButtonOK->Width() / 2);
  form_.SetMinClientSize(kClientWidth, height);
  const platform::Rect w = form_.WindowRect();
  form_.SetPosition(w.x, platform::ScreenHeight() / 2 - w.h / 2);
}

void OptionsDialog::Open(const std::wstring& caption) {
  auto& s = State();
  if (!EnsureCreated()) return;
  form_.SetCaption(caption);
  SyncFromState();
  ApplyTexts();
  EInstallDir->SetText(s.InstallDir);
  if (EUser->IsVisible()) EUser->SetText(s.QueryText);
  if (ECustomInfo->IsVisible()) ECustomInfo->SetText(s.QueryCustom);
  if (Switch(L"-wideoptions")) form_.SetClientSize(kWideWidth, form_.ClientHeight());
  LayoutGroups();
  form_.CenterOnMonitor();
  focusOk_ = true;
  form_.ShowModal();
  // Escape or the close box keep the state fields but not the ticks: the
  // controls as the user left them are what the installation reads.
}

platform::MsgResult OptionsDialog::Box(const std::wstring& text, platform::MsgIcon icon, platform::MsgButtons buttons,
                                       const std::wstring& caption) {
  if (State().Silent) return platform::MsgResult::None;
  platform::MessageRequest r;
  r.owner = form_.handle();
  r.text = text;
  r.caption = caption;
  r.icon = icon;
  r.buttons = buttons;
  return platform::ShowMessage(r);
}

void OptionsDialog::UpdateFreeSpace(const std::wstring& folder) {
  texts_.available = AvailableText(folder);
  Label3->SetText(texts_.available);
}

void OptionsDialog::ScopeClick() {
  auto& s = State();
  s.Options.RadioGroup1.checked = RadioGroup1->ItemIndex() == 1;
  if (!EInstallDir->IsEnabled() || FindParam(L"/D") != 0) return;
  const int level = SetupInt(L"InstallLevel", 1);
  const bool allUsers = RadioGroup1->ItemIndex() == 1;
  if (level == 2) EInstallDir->SetText(allUsers ? s.InstallDir : Picked(L"AltInstallDir"));
  else if (level == 3) EInstallDir->SetText(allUsers ? Picked(L"AltInstallDir") : s.InstallDir);
  UpdateFreeSpace(EInstallDir->Text());
}

std::wstring BrowsedInstallFolder(const std::wstring& old, const std::wstring& chosen, int mode) {
  std::wstring c = chosen;
  if (c == old || c.size() <= 1) return {};
  if (mode == 0) {
    c = c + L"\\" + FileNamePart(old);
  } else if (mode == 2) {
    const size_t colon = c.find(L':');
    c = colon == std::wstring::npos ? std::wstring() : c.substr(0, colon + 1);
  }
  if (c.size() == 2 && c[1] == L':') c += L"\\";
  return c;
}

void OptionsDialog::BrowseFolderClick() {
  const std::wstring old = TrimFolder(EInstallDir->Text());
  EInstallDir->SetText(old);
  const std::wstring c = BrowsedInstallFolder(old, BrowseForFolder(old, false), SetupInt(L"SelectFolderMode", 0));
  if (c.empty()) return;
  EInstallDir->SetText(c);
  UpdateFreeSpace(c);
}

void OptionsDialog::BrowseCustomClick() {
  const int type = SetupInt(L"QueryCustomType", 0);
  if (type == 2) {
    platform::OpenFileRequest r;
    r.owner = form_.handle();
    r.filterName = L"Any Files (*.*)";
    r.patterns = L"*.*";
    r.initialPath = ECustomInfo->Text();
    if (auto f = platform::ChooseFile(r)) ECustomInfo->SetText(*f);
  } else if (type == 3) {
    ECustomInfo->SetText(BrowseForFolder(ECustomInfo->Text(), true));
  }
}

void OptionsDialog::ComponentSelected(int index) {
  if (index < 0) return;
  const size_t i = static_cast<size_t>(index);
  std::wstring d = ExpandVariables(PickLanguageText(ComponentField(i, 1)));
  const int64_t size = ComponentSize(i);
  if (size != 0) d = d.empty() ? SizeText(size) : d + L" (" + SizeText(size) + L")";
  LCDesc->SetText(d);
}

void OptionsDialog::ComponentChecked(int index) {
  auto& items = State().Options.CheckListBox1;
  if (index >= 0 && static_cast<size_t>(index) < items.size())
    items[static_cast<size_t>(index)].checked = CheckListBox1->Items()[static_cast<size_t>(index)].checked;
  if (SetupBool(L"CalcCompoSize")) {
    texts_.required = RequiredText(ComponentsSize());
    Label2->SetText(texts_.required);
  }
}

void OptionsDialog::ComboChanged() {
  auto& s = State();
  if (!SetupBool(L"ComboBoxUpdateInstallDir")) return;
  s.ComboBoxIndex = ComboBox1->ItemIndex();
  if (s.ComboBoxIndex != -1) s.ComboBox = ComboBox1->Items()[static_cast<size_t>(s.ComboBoxIndex)];
  if (s.UpdateMode) return;
  std::wstring dir = Trim(Picked(L"InstallDir"));
  const int d = FindParam(L"/D");
  if (d != 0) {
    const auto& args = CommandLineArgs();
    if (static_cast<size_t>(d) < args.size() && !args[static_cast<size_t>(d)].empty())
      dir = Trim(ExpandVariables(PickLanguageText(args[static_cast<size_t>(d)])));
  }
  EInstallDir->SetText(dir);
  s.MainExe = Trim(Picked(L"MainExe"));
}

bool OptionsDialog::ButtonOKClick() {
  auto& s = State();
  auto& o = s.Options;
  const std::wstring mainCaption = MainForm().Caption();
  s.CheckBoxValue = CheckAddTask->IsChecked();

  std::wstring dir = TrimFolder(EInstallDir->Text());
  EInstallDir->SetText(dir);
  if (dir.size() < 2) {
    Box(ExpandVariables(LangText(L"DestinationFolder", 1)), platform::MsgIcon::Warning, platform::MsgButtons::Ok,
        mainCaption);
    EInstallDir->Focus();
    return false;
  }
  dir = CompleteInstallFolder(dir, FolderPart(platform::ModulePath()));
  EInstallDir->SetText(dir);
  if (!SetupBool(L"UpgradeMode") && SetupInt(L"IfInstalled", 0) == 3 && platform::DirectoryExists(ExtendedPath(dir)) &&
      !Contains(dir, ExpandVariables(L"<AppVersion>"))) {
    const std::wstring question = L"Are you sure you want to install \"" + s.AppNameVersion + L"\" in folder:\r\n" + dir;
    if (!s.Silent && Box(question, platform::MsgIcon::Warning, platform::MsgButtons::YesNo, mainCaption) ==
                         platform::MsgResult::No) {
      EInstallDir->SetText(s.InstallDir);
      return false;
    }
  }
  s.InstallDir = dir;
  if (!s.UpdateMode) s.MainExe = Picked(L"MainExe");

  if (RadioGroup1->IsVisible() && !s.Relaunched) {
    const int item = RadioGroup1->ItemIndex();
    if (item == 1 && !s.AllUsers && !s.IsAdmin && !s.NeedsElevation) {
      s.NeedsElevation = true;
      s.AllUsers = true;
      MainForm().SetInstallShield(true);
    } else if (item == 0 && s.AllUsers && s.NeedsElevation) {
      s.NeedsElevation = false;
      s.AllUsers = false;
      MainForm().SetInstallShield(false);
    }
  }

  if (GroupBox3->IsVisible()) {
    if (ComboBox1->IsEnabled() && ComboBox1->ItemIndex() == -1) {
      Box(GroupBox3->Text(), platform::MsgIcon::Information, platform::MsgButtons::Ok, mainCaption);
      ComboBox1->Focus();
      return false;
    }
    s.ComboBoxIndex = ComboBox1->ItemIndex();
    if (s.ComboBoxIndex != -1) s.ComboBox = ComboBox1->Items()[static_cast<size_t>(s.ComboBoxIndex)];
  }

  if (GroupBox4->IsVisible() && SetupBool(L"CompoMustSelect")) {
    bool any = false;
    for (const auto& item : CheckListBox1->Items()) any = any || item.checked;
    if (!any) {
      Box(ExpandVariables(LangText(L"Messages", 34, L"Please select at least one component.")),
          platform::MsgIcon::Warning, platform::MsgButtons::Ok, mainCaption);
      return false;
    }
  }

  if (GroupBox5->IsVisible()) {
    s.QueryText = EUser->Text();
    s.QueryCustom = ECustomInfo->Text();
    const bool strict = Switch(L"-noallowifdisabledcustom");
    const std::wstring required = LangText(L"UserInformation", 7, L"Please fill in all the required fields.");
    if (EUser->IsVisible() && SetupBool(L"QueryTextReq") && Trim(EUser->Text()).empty() &&
        (EUser->IsEnabled() || strict)) {
      Box(required, platform::MsgIcon::Information, platform::MsgButtons::Ok, s.AppNameVersion);
      EUser->Focus();
      return false;
    }
    if (ECustomInfo->IsVisible()) {
      const std::wstring text = Trim(ECustomInfo->Text());
      ECustomInfo->SetText(text);
      s.QueryCustom = text;
      if (SetupBool(L"QueryCustomReq") && (ECustomInfo->IsEnabled() || strict)) {
        const int type = SetupInt(L"QueryCustomType", 0);
        const bool mustExist = SetupBool(L"QueryCustomMustExists");
        std::wstring refusal;
        platform::MsgIcon icon = platform::MsgIcon::Warning;
        if (text.empty()) {
          refusal = required;
          icon = platform::MsgIcon::Information;
        } else if (type == 1 && !IsInteger(text)) {
          refusal = LangText(L"UserInformation", 8, L"Only numbers are allowed in this field.");
        } else if (mustExist && type == 2 && !platform::FileExists(ExtendedPath(text))) {
          refusal = LangText(L"UserInformation", 9, L"File does not exist.");
        } else if (mustExist && type == 3 && !platform::DirectoryExists(ExtendedPath(text))) {
          refusal = LangText(L"UserInformation", 10, L"Folder does not exist.");
        }
        if (!refusal.empty()) {
          Box(refusal, icon, platform::MsgButtons::Ok, s.AppNameVersion);
          ECustomInfo->Focus();
          return false;
        }
      }
    }
  }

  if (Config().SectionExists(L"Commands")) {
    const size_t n = RecordCount(Config(), L"Commands");
    for (size_t i = 0; i < n; ++i) {
      const std::wstring record = ReadRecord(Config(), L"Commands", i);
      // Each stage's outcome is looked at before the next stage runs.
      for (int stage : {static_cast<int>(kAtUserInformationDialog), static_cast<int>(kAtFolderSelectDialog)}) {
        RunCommandRecord(stage, record);
        if (s.HaltRequested) ExitSetup(9);
        if (s.StopRequested) return false;
      }
    }
  }
  if (GroupBox5->IsVisible()) s.UserInfoHidden = true;
  o.RadioGroup1.checked = RadioGroup1->ItemIndex() == 1;
  form_.EndModal(1);
  return true;
}

}  // namespace ek
