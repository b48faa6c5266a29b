// Forms and their controls: the window toolkit the windows of src/ui are
// built from. Geometry is in 96-dpi units throughout; a form maps it to
// pixels at its monitor's DPI and maps it again when the window moves to a
// monitor with another DPI. Controls are owned by their form, named (the
// names the tests and screen readers see), and reachable by keyboard.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/picture.h"
#include "platform/process.h"

namespace ek::platform {

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
  [[nodiscard]] int right() const { return x + w; }
  [[nodiscard]] int bottom() const { return y + h; }
  bool operator==(const Rect&) const = default;
};

// 96-dpi units to pixels and back; edges are mapped, so neighbours stay
// neighbours at every scale.
[[nodiscard]] int ScaleValue(int logical, int dpi);
[[nodiscard]] int UnscaleValue(int pixels, int dpi);
[[nodiscard]] Rect ScaleRect(const Rect& logical, int dpi);

namespace anchor {
inline constexpr unsigned kLeft = 1, kTop = 2, kRight = 4, kBottom = 8;
inline constexpr unsigned kDefault = kLeft | kTop;
inline constexpr unsigned kAll = kLeft | kTop | kRight | kBottom;
}  // namespace anchor

// A control's new place when its container grows by dw, dh (pure rule):
// anchored on both sides it stretches, on the far side only it moves.
[[nodiscard]] Rect AnchoredRect(const Rect& r, unsigned anchors, int dw, int dh);

struct FontStyle {
  std::wstring face = L"Verdana";
  int points = 8;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool operator==(const FontStyle&) const = default;
};

// Colours are $00BBGGRR.
inline constexpr uint32_t kNoColor = 0xFFFFFFFFu;
[[nodiscard]] uint32_t SystemColor(int index);  // GetSysColor
inline constexpr int kColorHotLight = 26;
inline constexpr int kColorWindowText = 8;
inline constexpr int kColorBtnFace = 15;

// The colour of links without a colour of their own: the system's hot-light
// colour, or a readable blue where that colour hardly stands out from the
// background (contrast below 3:1).
[[nodiscard]] uint32_t LinkColorOn(uint32_t background, uint32_t hotLight);
[[nodiscard]] double ContrastRatio(uint32_t a, uint32_t b);

enum class TextAlign { Left, Center, Right };

class Form;

class Control {
 public:
  enum class Kind { Label, Link, Button, Edit, CheckBox, GroupBox, RadioGroup, ComboBox, CheckList, Progress,
                    Picture, RichText };
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  [[nodiscard]] Kind kind() const { return kind_; }
  [[nodiscard]] const std::wstring& name() const { return name_; }
  [[nodiscard]] WindowHandle handle() const { return hwnd_; }
  [[nodiscard]] Form& form() const { return *form_; }
  [[nodiscard]] Control* parent() const { return parent_; }

  virtual void SetText(const std::wstring& text);
  [[nodiscard]] std::wstring Text() const;

  // Own visibility; a control inside a hidden group is not on screen either.
  void Show(bool visible);
  [[nodiscard]] bool IsVisible() const { return visible_; }
  [[nodiscard]] bool IsShowing() const;
  virtual void Enable(bool enabled);
  [[nodiscard]] bool IsEnabled() const { return enabled_; }

  // Relative to the parent group (or the form's client area).
  void SetBounds(const Rect& r);
  [[nodiscard]] const Rect& Bounds() const { return bounds_; }
  void SetLeft(int x);
  void SetTop(int y);
  void SetWidth(int w);
  void SetHeight(int h);
  [[nodiscard]] int Left() const { return bounds_.x; }
  [[nodiscard]] int Top() const { return bounds_.y; }
  [[nodiscard]] int Width() const { return bounds_.w; }
  [[nodiscard]] int Height() const { return bounds_.h; }
  // In the form's client area.
  [[nodiscard]] Rect FormBounds() const;
  void SetAnchors(unsigned anchors) { anchors_ = anchors; }
  [[nodiscard]] unsigned Anchors() const { return anchors_; }

  void SetFont(const FontStyle& font);
  [[nodiscard]] const FontStyle& Font() const { return font_; }
  // Text colour; kNoColor is the system's.
  void SetColor(uint32_t color);
  [[nodiscard]] uint32_t Color() const { return color_; }

  void Focus();
  [[nodiscard]] bool HasFocus() const;
  // What a screen reader announces; empty: the control's own text.
  void SetAccessibleName(const std::wstring& name);
  [[nodiscard]] std::wstring AccessibleName() const;
  void Repaint();

  // Toolkit internals.
  void AttachWindow(WindowHandle hwnd);
  virtual void ApplyFont();
  virtual void AfterPlacement() {}
  virtual bool Command(int code);                 // WM_COMMAND notification; true: handled
  virtual bool Notify(void* nmhdr, intptr_t* result);  // WM_NOTIFY
  void Place();                                   // pushes the pixel rectangle to the window
  void AddChild(Control* c) { children_.push_back(c); }
  [[nodiscard]] const std::vector<Control*>& children() const { return children_; }
  void SetLogicalParent(Control* p) { parent_ = p; }
  void UpdateVisibility();
  [[nodiscard]] void* fontHandle() const { return fontHandle_; }

 protected:
  Control(Form* form, Kind kind, std::wstring name);
  void RunGuarded(const std::function<void()>& f) const;
  // Labels of fixed width measure their height, auto-sized ones their size.
  virtual void FitToText() {}

  Form* form_;
  Kind kind_;
  std::wstring name_;
  WindowHandle hwnd_ = nullptr;
  Control* parent_ = nullptr;
  std::vector<Control*> children_;
  Rect bounds_;
  unsigned anchors_ = anchor::kDefault;
  FontStyle font_;
  void* fontHandle_ = nullptr;
  uint32_t color_ = kNoColor;
  bool visible_ = true;
  bool enabled_ = true;
  std::wstring accessibleName_;

  friend class Form;
};

struct LabelOptions {
  bool autoSize = true;
  bool wordWrap = false;
  TextAlign align = TextAlign::Left;
  bool showAccelChar = false;  // "&" marks an accelerator; otherwise shown as is
  bool alignBottom = false;    // the text sits at the bottom of a fixed box
};

class Label : public Control {
 public:
  Label(Form* form, std::wstring name, LabelOptions options);
  void SetText(const std::wstring& text) override;
  void SetShowAccelChar(bool on);
  [[nodiscard]] const LabelOptions& options() const { return options_; }
  // Width and height of the text in the label's font, in 96-dpi units.
  [[nodiscard]] Rect TextExtent() const;
  void ApplyFont() override;
  void FitToText() override;
  void Paint(void* dc);

 protected:
  LabelOptions options_;
};

// A label that acts like a link: hand cursor, reachable by Tab, Enter and
// Space click it, and a screen reader announces it as a link.
class Link : public Label {
 public:
  Link(Form* form, std::wstring name, std::function<void()> onClick);
  void SetOnClick(std::function<void()> f) { onClick_ = std::move(f); }
  void Click();
  // Without a target the link looks like text and takes the arrow cursor.
  void SetActive(bool active);
  [[nodiscard]] bool IsActive() const { return active_; }
  bool Command(int code) override;

 private:
  std::function<void()> onClick_;
  bool active_ = true;
};

class Button : public Control {
 public:
  Button(Form* form, std::wstring name, std::function<void()> onClick);
  void SetOnClick(std::function<void()> f) { onClick_ = std::move(f); }
  void Click();
  void SetShield(bool on);
  [[nodiscard]] bool HasShield() const { return shield_; }
  void SetWordWrap(bool on);
  // A picture instead of text (the text stays the accessible name).
  void SetPicture(const Image& image);
  void SetFlat(bool flat) { flat_ = flat; Repaint(); }
  bool Command(int code) override;
  void PaintPicture(void* drawItem);
  [[nodiscard]] bool HasPicture() const { return picture_.valid(); }

 private:
  std::function<void()> onClick_;
  bool shield_ = false;
  bool flat_ = true;
  Image picture_;
};

class Edit : public Control {
 public:
  Edit(Form* form, std::wstring name);
  void SetOnChange(std::function<void()> f) { onChange_ = std::move(f); }
  void SetOnEnter(std::function<void()> f) { onEnter_ = std::move(f); }
  [[nodiscard]] bool HandleEnter();
  void SelectAll();
  bool Command(int code) override;

 private:
  std::function<void()> onChange_;
  std::function<void()> onEnter_;
};

class CheckBox : public Control {
 public:
  CheckBox(Form* form, std::wstring name, bool wordWrap);
  void SetChecked(bool checked);
  [[nodiscard]] bool IsChecked() const;
  void SetOnClick(std::function<void()> f) { onClick_ = std::move(f); }
  bool Command(int code) override;

 private:
  std::function<void()> onClick_;
};

// A framed box with a caption that holds other controls.
class GroupBox : public Control {
 public:
  GroupBox(Form* form, std::wstring name, Kind kind = Kind::GroupBox);
};

// A group of radio buttons; items are stacked in the group.
class RadioGroup : public GroupBox {
 public:
  RadioGroup(Form* form, std::wstring name);
  ~RadioGroup() override;
  void SetItems(const std::vector<std::wstring>& items);
  [[nodiscard]] std::vector<std::wstring> Items() const;
  void SetItemIndex(int index);
  [[nodiscard]] int ItemIndex() const { return index_; }
  void SetOnClick(std::function<void()> f) { onClick_ = std::move(f); }
  void Enable(bool enabled) override;
  void AfterPlacement() override;
  void ApplyFont() override;
  void ItemClicked(int index);
  [[nodiscard]] WindowHandle ItemHandle(size_t i) const;

 private:
  std::vector<WindowHandle> buttons_;
  std::vector<std::wstring> items_;
  int index_ = -1;
  std::function<void()> onClick_;
};

// A drop-down list without free text.
class ComboBox : public Control {
 public:
  ComboBox(Form* form, std::wstring name);
  void SetItems(const std::vector<std::wstring>& items);
  [[nodiscard]] const std::vector<std::wstring>& Items() const { return items_; }
  void SetItemIndex(int index);  // outside the list: nothing selected
  [[nodiscard]] int ItemIndex() const;
  void SetOnChange(std::function<void()> f) { onChange_ = std::move(f); }
  bool Command(int code) override;
  void AfterPlacement() override;

 private:
  std::vector<std::wstring> items_;
  std::function<void()> onChange_;
};

// A list whose items carry check boxes; an item may be locked.
class CheckList : public Control {
 public:
  struct Item {
    std::wstring text;
    bool checked = false;
    bool enabled = true;
  };
  CheckList(Form* form, std::wstring name, int itemHeight);
  void SetItems(const std::vector<Item>& items);
  [[nodiscard]] const std::vector<Item>& Items() const { return items_; }
  void SetItemText(size_t i, const std::wstring& text);
  void SetChecked(size_t i, bool checked);
  [[nodiscard]] int SelectedIndex() const;
  void SetOnSelect(std::function<void(int)> f) { onSelect_ = std::move(f); }
  void SetOnCheck(std::function<void(int)> f) { onCheck_ = std::move(f); }
  bool Command(int code) override;
  void ApplyFont() override;
  // Toolkit internals.
  void Toggle(int index);
  void DrawItem(void* drawItem);
  [[nodiscard]] int ItemHeightPixels() const;

 private:
  std::vector<Item> items_;
  int itemHeight_;
  std::function<void(int)> onSelect_;
  std::function<void(int)> onCheck_;
};

class ProgressBar : public Control {
 public:
  ProgressBar(Form* form, std::wstring name);
  void SetPosition(int percent);
  [[nodiscard]] int Position() const { return position_; }

 private:
  int position_ = 0;
};

struct PictureOptions {
  bool stretch = false;
  bool proportional = false;
  bool center = false;
  bool transparent = false;  // pictures without alpha: the bottom-left colour is see-through
};

// A picture. Controls above it show it through their background.
class Picture : public Control {
 public:
  Picture(Form* form, std::wstring name);
  void SetImage(Image image);
  [[nodiscard]] const Image& image() const { return image_; }
  void SetOptions(const PictureOptions& o);
  [[nodiscard]] const PictureOptions& options() const { return options_; }
  void SetOnMouseDown(std::function<void(bool left)> f) { onMouseDown_ = std::move(f); }
  // Draws the part of the picture that lies in `clip` (form pixels).
  void DrawInto(void* dc, int originX, int originY) const;
  void MouseDown(bool left);

 private:
  Image image_;
  PictureOptions options_;
  std::function<void(bool)> onMouseDown_;
};

// A read-only rich-text view; web addresses in the text are links.
class RichText : public Control {
 public:
  RichText(Form* form, std::wstring name);
  // Rich text is shown formatted, anything else as plain text.
  [[nodiscard]] bool LoadFile(const std::wstring& path);
  void SetPlainText(const std::wstring& text);
  void SetOnLink(std::function<void(const std::wstring&)> f) { onLink_ = std::move(f); }
  bool Notify(void* nmhdr, intptr_t* result) override;
  // The text as a reader sees it (formatting dropped).
  [[nodiscard]] std::wstring PlainText() const;

 private:
  std::function<void(const std::wstring&)> onLink_;
};

struct FormStyle {
  bool resizable = false;
  bool minimizeBox = true;
  bool appWindow = true;  // own taskbar button
  Form* owner = nullptr;
};

class Form {
 public:
  struct Handlers {
    std::function<bool()> closeQuery;  // true allows the close
    std::function<void()> closed;      // after the close was allowed
    std::function<void()> activated;   // every activation, after it finished
    std::function<bool(int key, bool alt, bool ctrl, bool shift)> keyDown;  // true: handled
    std::function<void()> resized;     // the client area changed size
    std::function<void()> dpiChanged;  // after controls and fonts were scaled
    std::function<void()> cancel;      // Escape
  };

  Form();
  ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  // Client size in 96-dpi units; the window is centred on its monitor.
  [[nodiscard]] bool Create(const std::wstring& name, const std::wstring& caption, int clientWidth, int clientHeight,
                            uint32_t color, const FormStyle& style = {});
  [[nodiscard]] bool Exists() const;
  [[nodiscard]] WindowHandle handle() const;
  [[nodiscard]] const std::wstring& name() const { return name_; }
  void SetHandlers(Handlers handlers);
  Handlers& handlers() { return handlers_; }
  void SetCaption(const std::wstring& text);
  [[nodiscard]] std::wstring Caption() const;
  void Show(bool visible);
  [[nodiscard]] bool IsVisible() const;
  void Close();  // runs the close query like the system menu does
  void Destroy();

  // Logical client size.
  [[nodiscard]] int ClientWidth() const { return clientW_; }
  [[nodiscard]] int ClientHeight() const { return clientH_; }
  void SetClientSize(int width, int height);
  void SetMinClientSize(int width, int height);
  // Outer window in screen pixels.
  void GetPosition(int& left, int& top) const;
  void SetPosition(int left, int top);
  [[nodiscard]] Rect WindowRect() const;
  void CenterOnMonitor();
  void SetBorderless(bool borderless);
  [[nodiscard]] bool IsBorderless() const { return borderless_; }
  void StartDrag();  // the window follows the mouse as if dragged by its caption

  void SetWaitCursor(bool wait);
  void Flash();
  [[nodiscard]] bool IsForeground() const;
  void BringToFront();
  void SetBackground(uint32_t color);
  [[nodiscard]] uint32_t Background() const { return color_; }
  void SetFont(const FontStyle& font) { font_ = font; }
  [[nodiscard]] const FontStyle& Font() const { return font_; }

  [[nodiscard]] int Dpi() const { return dpi_; }
  [[nodiscard]] int Scale(int logical) const { return ScaleValue(logical, dpi_); }
  [[nodiscard]] int Unscale(int pixels) const { return UnscaleValue(pixels, dpi_); }
  // The size of a text in a font (96-dpi units); wrapped at wrapWidth when
  // that is above 0.
  [[nodiscard]] Rect MeasureText(const FontStyle& font, const std::wstring& text, int wrapWidth);
  // Screen pixels of a point of the client area given in 96-dpi units.
  void ClientToScreenPixels(int x, int y, int& sx, int& sy) const;

  // Controls. `parent` is a group of this form or nullptr for the client
  // area; controls are shown unless hidden later, in the order of Tab.
  Label* AddLabel(const std::wstring& name, Control* parent, const std::wstring& text, const Rect& r,
                  const LabelOptions& options = {});
  Link* AddLink(const std::wstring& name, Control* parent, const std::wstring& text, int x, int y,
                std::function<void()> onClick);
  Button* AddButton(const std::wstring& name, Control* parent, const std::wstring& text, const Rect& r,
                    std::function<void()> onClick);
  Edit* AddEdit(const std::wstring& name, Control* parent, const Rect& r);
  CheckBox* AddCheckBox(const std::wstring& name, Control* parent, const std::wstring& text, const Rect& r,
                        bool wordWrap = false);
  GroupBox* AddGroupBox(const std::wstring& name, Control* parent, const std::wstring& caption, const Rect& r);
  RadioGroup* AddRadioGroup(const std::wstring& name, Control* parent, const std::wstring& caption, const Rect& r,
                            const std::vector<std::wstring>& items);
  ComboBox* AddComboBox(const std::wstring& name, Control* parent, const Rect& r);
  CheckList* AddCheckList(const std::wstring& name, Control* parent, const Rect& r, int itemHeight);
  ProgressBar* AddProgressBar(const std::wstring& name, Control* parent, const Rect& r);
  Picture* AddPicture(const std::wstring& name, Control* parent, const Rect& r);
  RichText* AddRichText(const std::wstring& name, Control* parent, const Rect& r);
  [[nodiscard]] Control* Find(const std::wstring& name) const;
  [[nodiscard]] const std::vector<std::unique_ptr<Control>>& controls() const { return controls_; }

  // Enter outside an edit box that handles it clicks this button.
  void SetDefaultButton(Button* b) { defaultButton_ = b; }
  [[nodiscard]] Button* DefaultButton() const { return defaultButton_; }

  // Shows the form and runs a message loop until EndModal; the owner form is
  // disabled meanwhile. Returns the value given to EndModal (0 when the
  // program ends meanwhile).
  int ShowModal();
  void EndModal(int result);
  [[nodiscard]] bool InModalLoop() const { return modal_; }

  // Toolkit internals.
  struct Impl;
  void PaintBackground(void* dc, const Rect& pixels, int originX, int originY);
  void RelayoutForDpi(int dpi, const Rect* suggestedWindow);
  [[nodiscard]] Control* FindByHandle(WindowHandle h) const;
  [[nodiscard]] void* FontHandle(const FontStyle& style);
  [[nodiscard]] bool PreviewKey(int key, bool alt, bool ctrl, bool shift);
  void ClientResized(int pixelW, int pixelH);
  void Activated();
  void ClosedByUser();
  void SetDpiForTesting(int dpi);
  void RestoreFocus();
  void ResizeWindowForClient(const Rect* position);
  // Pixels in the client area of a rectangle of the content (a form taller
  // than its monitor scrolls).
  [[nodiscard]] Rect PixelRect(const Rect& logical) const;
  [[nodiscard]] bool IsScrolling() const { return scrolling_; }
  void ScrollTo(int logicalY);
  void EnsureVisible(const Control* c);
  void UpdateScrollBar();

 private:
  template <typename T>
  T* Adopt(std::unique_ptr<T> c, Control* parent, const Rect& r, const std::wstring& text);
  void ApplyAnchors(Control* c, int dw, int dh);
  void PlaceAll();

  std::wstring name_;
  WindowHandle hwnd_ = nullptr;
  Handlers handlers_;
  std::vector<std::unique_ptr<Control>> controls_;
  struct FontCacheEntry {
    FontStyle style;
    int dpi;
    void* font;
  };
  std::vector<FontCacheEntry> fonts_;
  uint32_t color_ = 0xFFFFFF;
  void* brush_ = nullptr;
  FontStyle font_;
  int dpi_ = 96;
  int clientW_ = 0, clientH_ = 0;
  int minW_ = 0, minH_ = 0;
  bool borderless_ = false;
  bool resizable_ = false;
  bool waitCursor_ = false;
  bool modal_ = false;
  int modalResult_ = 0;
  bool modalDone_ = false;
  bool inSizeChange_ = false;
  Form* owner_ = nullptr;
  Button* defaultButton_ = nullptr;
  WindowHandle lastFocus_ = nullptr;
  bool scrolling_ = false;
  int scrollY_ = 0;  // the view's offset into the content
  int viewH_ = 0;    // the visible height of the content
};

// A pop-up menu whose items may carry a picture.
class PopupMenu {
 public:
  PopupMenu();
  ~PopupMenu();
  PopupMenu(const PopupMenu&) = delete;
  PopupMenu& operator=(const PopupMenu&) = delete;
  void Clear();
  // False when the item could not be added.
  [[nodiscard]] bool AddItem(const std::wstring& caption, const Image& picture, std::function<void()> onClick);
  [[nodiscard]] size_t Count() const;
  // Opens at a screen point (pixels) and runs the chosen item's handler.
  void Popup(const Form& owner, int screenX, int screenY);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace ek::platform

namespace ek::platform {

// Monitors of the desktop; the one nearest to the mouse pointer in screen
// pixels (false when it cannot be found out).
[[nodiscard]] int MonitorCount();
[[nodiscard]] int ScreenHeight();  // the primary monitor's, in pixels
[[nodiscard]] bool MonitorUnderMouse(Rect& monitor);

}  // namespace ek::platform
