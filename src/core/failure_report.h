// How failures reach the user and the log. The log line is the system's own
// exact text; the Windows cause follows it on a line of its own. Boxes are
// error boxes with the caption "Setup", never shown in a silent run.
#pragma once

#include <string>
#include <string_view>

namespace ek {

// The text of the calling thread's last Windows error; take it right after
// the call that failed, before anything else can overwrite it.
[[nodiscard]] std::wstring FailureCause();
// The line, then "Cause=<cause>" when a cause is known.
void LogFailure(std::wstring_view line, std::wstring_view cause);
// A failure the run goes on after: the log line (and cause), the error box
// unless silent, and the run marked as having errors.
void ReportFailure(std::wstring_view line, std::wstring_view cause, const std::wstring& boxText);

void ShowActionError(const std::wstring& text);
// The same box with Yes and No; false only when the user answers No (a silent
// run always goes on).
[[nodiscard]] bool AskContinueAfterError(const std::wstring& text);

}  // namespace ek
