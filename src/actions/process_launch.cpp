#include "actions/process_launch.h"

#include "core/setup_state.h"
#include "config/language.h"
#include "base/text.h"
#include "config/utilities.h"
#include "config/variables.h"
#include "platform/file_system.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "core/host.h"

namespace ek {

void AnimateWaitLabel(bool sleepFirst) {
  if (sleepFirst) platform::SleepMs(500);
  if (State().Silent) return;
  std::wstring caption = host().WaitCaption();
  if (caption.find(L"...") != std::wstring::npos && caption.size() >= 3) caption.resize(caption.size() - 3);
  else caption += L".";
  host().SetWaitCaption(caption);
}

bool RunProcess(platform::WindowHandle owner, const std::wstring& file, const std::wstring& parameters, int show,
                bool wait, bool elevate, bool showWaitLabel) {
  auto& s = State();
  platform::ShellStartRequest r{owner, file, parameters, show, wait, elevate};
  bool shown = false;
  auto poll = [&]() {
    if (showWaitLabel && host().WaitLabelVisible()) AnimateWaitLabel(true);
    return host().Pump();
  };
  uint32_t code = 0;
  bool started;
  if (wait) {
    started = platform::ShellStart(r, [&]() {
      if (!shown) {
        shown = true;
        if (showWaitLabel && !s.Silent && !s.InstallRunning) {
          host().ShowWaitLabel(true);
          host().Pump();
        }
      }
      return poll();
    }, &code);
    s.LastExitCode = started ? ToTextUnsigned(code) : std::wstring(L"-1");
  } else {
    started = platform::ShellStart(r, nullptr, nullptr);
  }
  if (showWaitLabel && host().WaitLabelVisible()) host().ShowWaitLabel(false);
  return started;
}

std::wstring ChooseBitnessAlternative(std::wstring_view text, bool is64) {
  std::wstring t(text);
  if (t.find(L'[') == std::wstring::npos || t.find(L']') == std::wstring::npos) return t;
  auto pick = [&](std::wstring_view marker) {
    size_t at = FindNoCase(t, marker);
    if (at == npos) return;
    size_t start = at + marker.size();
    size_t end = t.find(L']', start);
    t = t.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
  };
  if (!is64 && ContainsNoCase(t, L"X86[")) pick(L"X86[");
  if (!is64 && ContainsNoCase(t, L"X32[")) pick(L"X32[");
  if (is64 && ContainsNoCase(t, L"X64[")) pick(L"X64[");
  return t;
}

CommandLineSplit SplitCommandLine(std::wstring_view text, bool noSplit) {
  CommandLineSplit out;
  size_t at = text.find(L" /");
  if (at == std::wstring_view::npos) at = text.find(L" \"");
  if (at != std::wstring_view::npos && !noSplit) {
    out.program = ReplaceAll(text.substr(0, at), L"\"", L"");
    out.parameters = std::wstring(text.substr(at + 1));
  } else {
    out.program = std::wstring(text);
  }
  return out;
}

bool RunCommandLine(platform::WindowHandle owner, std::wstring_view commandLine, bool wait, bool askRetry, bool elevate) {
  auto& s = State();
  if ((s.Silent && Switch(L"-nocmdifsilent")) || (s.UpdateMode && Switch(L"-nocmdifupdate"))) return false;
  std::wstring text(commandLine);
  if (!Switch(L"-nocmdbitness")) text = ChooseBitnessAlternative(text, s.Is64BitOS);
  const CommandLineSplit split = SplitCommandLine(text, Switch(L"-nocmdprocess"));
  int show = platform::kSwShowNormal;
  if (s.Silent && !Switch(L"-cmdnohideifsilent")) show = platform::kSwHide;
  if (split.program.find(L"://") == std::wstring::npos && platform::FileExists(ExtendedPath(split.program)))
    return RunProcess(owner, split.program, split.parameters, show, wait, elevate, true);
  platform::ShellOpen(owner, L"", split.program, L"", show);
  if (!askRetry) return true;
  return MessageOnMain(FormatAndExpand(LangText(L"Messages", 37, L"Click Retry to continue, or Cancel to exit."), L""),
                       platform::MsgIcon::Warning, platform::MsgButtons::RetryCancel) != platform::MsgResult::Cancel;
}

}  // namespace ek
