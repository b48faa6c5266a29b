#include "core/failure_report.h"

#include "base/result.h"
#include "core/host.h"
#include "core/setup_log.h"
#include "core/setup_state.h"
#include "platform/system.h"

namespace ek {
namespace {

platform::MsgResult ErrorBox(const std::wstring& text, platform::MsgButtons buttons) {
  return MessageOnMain(text, platform::MsgIcon::Error, buttons, 1, L"Setup");
}

}  // namespace

std::wstring FailureCause() { return platform::LastErrorText(); }

void LogFailure(std::wstring_view line, std::wstring_view cause) {
  WriteLog(line);
  if (!cause.empty()) WriteLog(L"Cause=" + std::wstring(cause));
}

void ReportFailure(std::wstring_view line, std::wstring_view cause, const std::wstring& boxText) {
  LogFailure(line, cause);
  ShowActionError(boxText);
  State().HadErrors = true;
}

void ShowActionError(const std::wstring& text) {
  if (!State().Silent) Ignore(ErrorBox(text, platform::MsgButtons::Ok));
}

bool AskContinueAfterError(const std::wstring& text) {
  if (State().Silent) return true;
  return ErrorBox(text, platform::MsgButtons::YesNo) != platform::MsgResult::No;
}

}  // namespace ek
