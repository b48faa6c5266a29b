#include "ui/license_window.h"

#include "base/text.h"
#include "config/language.h"
#include "config/variables.h"
#include "core/setup_state.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/ui.h"
#include "platform/window.h"
#include "ui/main_window.h"

namespace ek {
namespace {

using platform::Rect;
namespace anchor = platform::anchor;

void Plain(const std::wstring& text) {
  platform::MessageRequest r;
  r.owner = MainForm().handle();
  r.text = text;
  r.caption = MainForm().Caption();
  platform::ShowMessage(r);
}

class LicenseWindow {
 public:
  void Run(const std::wstring& path) {
    platform::FormStyle style;
    style.resizable = true;
    style.minimizeBox = false;
    style.appWindow = false;
    style.owner = MainForm().Exists() ? &MainForm().form() : nullptr;
    form_.SetFont(platform::FontStyle{MainForm().FontName(), MainForm().BottomFontSize()});
    if (!form_.Create(L"TFormLicense", L"License", 538, 461, platform::SystemColor(platform::kColorBtnFace), style))
      return;
    form_.SetMinClientSize(300, 300);
    platform::Form::Handlers h;
    h.cancel = [this] { form_.EndModal(0); };
    form_.SetHandlers(std::move(h));
    form_.SetCaption(ExpandVariables(LangText(L"LicenseAgreement", 0, L"License Agreement")));

    auto* rich = form_.AddRichText(L"RichEdit1", nullptr, Rect{12, 12, 514, 404});
    rich->SetAnchors(anchor::kAll);
    rich->SetFont(platform::FontStyle{L"Tahoma", 8});
    rich->SetAccessibleName(form_.Caption());
    rich->SetOnLink([this](const std::wstring& url) {
      platform::ShellOpen(form_.handle(), L"open", url, L"", platform::kSwShowNormal);
    });
    auto* print = form_.AddLink(L"LPrint", nullptr, L"Print", 12, 431, [this] {
      if (platform::FileExists(path_)) platform::ShellOpen(form_.handle(), L"print", path_, L"", platform::kSwShowNormal);
    });
    print->SetAnchors(anchor::kLeft | anchor::kBottom);
    print->SetFont(platform::FontStyle{L"Tahoma", 10});
    auto* ok = form_.AddButton(L"Button1", nullptr, L"OK", Rect{450, 426, 75, 25}, [this] { form_.EndModal(1); });
    ok->SetAnchors(anchor::kRight | anchor::kBottom);
    form_.SetDefaultButton(ok);
    auto* pathLabel = form_.AddLabel(L"Label1", nullptr, L"", Rect{208, 431, 0, 0});
    pathLabel->Show(false);

    rich->SetPlainText(L"");
    if (Switch(L"-hideprint")) print->Show(false);
    else print->SetText(LangText(L"Buttons", 12, L"Print"));
    path_ = path;
    pathLabel->SetText(path);
    if (!rich->LoadFile(path)) rich->SetPlainText(L"Error loading file");
    form_.CenterOnMonitor();
    ok->Focus();
    form_.ShowModal();
    form_.Destroy();
  }

 private:
  platform::Form form_;
  std::wstring path_;
};

}  // namespace

std::wstring LicenseEntry(const std::wstring& languageName) {
  std::wstring n = Config().ReadString(L"License", languageName);
  if (n.empty()) n = Config().ReadString(L"License", L"(Default)");
  return n;
}

void ShowLicense() {
  auto& s = State();
  std::wstring n = LicenseEntry(s.LanguageName);
  if (n.empty()) {
    Plain(L"License is not specified.");
    return;
  }
  n = ExpandVariables(n);
  if (Contains(n, L"://")) {
    platform::ShellOpen(nullptr, L"", n, L"", platform::kSwShowNormal);
    return;
  }
  const std::wstring path = s.SetupTempDir + L"\\" + n;
  if (!platform::FileExists(path)) {
    Plain(L"License file not found.");
    return;
  }
  LicenseWindow window;
  window.Run(path);
}

}  // namespace ek
