#include "install/action_report.h"

#include "core/setup_state.h"
#include "platform/ui.h"
#include "core/host.h"

namespace ek {
namespace {

platform::MsgResult ErrorBox(const std::wstring& text, platform::MsgButtons buttons) {
  return MessageOnMain(text, platform::MsgIcon::Error, buttons, 1, L"Setup");
}

}  // namespace

void ShowActionError(const std::wstring& text) {
  if (!State().Silent) ErrorBox(text, platform::MsgButtons::Ok);
}

bool AskContinueAfterError(const std::wstring& text) {
  if (State().Silent) return true;
  return ErrorBox(text, platform::MsgButtons::YesNo) != platform::MsgResult::No;
}

}  // namespace ek
