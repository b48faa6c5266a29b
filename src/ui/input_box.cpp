#include "ui/input_box.h"

#include "platform/window.h"
#include "ui/main_window.h"

namespace ek {

std::optional<std::wstring> ShowInputBox(platform::WindowHandle, const std::wstring& title, const std::wstring& prompt,
                                         const std::wstring& initial) {
  using platform::Rect;
  platform::Form form;
  platform::FormStyle style;
  style.minimizeBox = false;
  style.appWindow = !MainForm().Exists() || !MainForm().form().IsVisible();
  style.owner = MainForm().Exists() ? &MainForm().form() : nullptr;
  form.SetFont(platform::FontStyle{MainForm().FontName(), 8});
  if (!form.Create(L"TFormInput", title, 360, 120, platform::SystemColor(platform::kColorBtnFace), style))
    return std::nullopt;
  platform::LabelOptions wrap{false, true, platform::TextAlign::Left, false, false};
  const int promptH = std::max(14, form.MeasureText(form.Font(), prompt, 336).h);
  form.AddLabel(L"LPrompt", nullptr, prompt, Rect{12, 12, 336, promptH}, wrap);
  auto* edit = form.AddEdit(L"EAnswer", nullptr, Rect{12, 20 + promptH, 336, 21});
  edit->SetAccessibleName(prompt.empty() ? title : prompt);
  edit->SetText(initial);
  bool ok = false;
  auto* okButton = form.AddButton(L"ButtonOK", nullptr, L"OK", Rect{192, 53 + promptH, 75, 25}, [&] {
    ok = true;
    form.EndModal(1);
  });
  form.AddButton(L"ButtonCancel", nullptr, L"Cancel", Rect{273, 53 + promptH, 75, 25}, [&] { form.EndModal(0); });
  form.SetDefaultButton(okButton);
  form.handlers().cancel = [&] { form.EndModal(0); };
  form.handlers().activated = [&] {
    edit->Focus();
    edit->SelectAll();
  };
  form.SetClientSize(360, 90 + promptH);
  form.CenterOnMonitor();
  form.ShowModal();
  const std::wstring answer = edit->Text();
  form.Destroy();
  if (!ok) return std::nullopt;
  return answer;
}

}  // namespace ek
