#include "actions/system_checks.h"

#include <set>

#include "actions/downloads.h"
#include "actions/prerequisites.h"
#include "actions/process_launch.h"
#include "actions/runtime_detection.h"
#include "base/record_list.h"
#include "base/text.h"
#include "config/language.h"
#include "config/variables.h"
#include "core/host.h"
#include "core/setup_log.h"
#include "core/setup_state.h"
#include "platform/system.h"
#include "platform/ui.h"

namespace ek {
namespace {

using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

MsgResult Ask(const std::wstring& text, MsgIcon icon, MsgButtons buttons, int defaultButton = 1) {
  return MessageOnMain(text, icon, buttons, defaultButton);
}

// The part after a prefix of a package message, without its final ")".
std::wstring MessageBody(const std::wstring& link, size_t prefixLength) {
  std::wstring body = link.substr(prefixLength);
  if (!body.empty() && body.back() == L')') body.pop_back();
  return body;
}

std::wstring CutAtLineEnd(std::wstring text) {
  const size_t lf = text.find(L'\n');
  if (lf != std::wstring::npos) text.resize(lf);
  const size_t cr = text.find(L'\r');
  if (cr != std::wstring::npos) text.resize(cr);
  return text;
}

RemedyResult OfferPackageMessage(const std::wstring& link) {
  enum class Kind { Inform, Retry, Confirm };
  Kind kind;
  size_t prefix;
  if (StartsWithNoCase(link, L"MSG(")) {
    kind = Kind::Inform;
    prefix = 4;
  } else if (StartsWithNoCase(link, L"MSGR(")) {
    kind = Kind::Retry;
    prefix = 5;
  } else if (StartsWithNoCase(link, L"MSGC(")) {
    kind = Kind::Confirm;
    prefix = 5;
  } else {
    return RemedyResult::StaysMissing;
  }
  const std::wstring body = MessageBody(link, prefix);
  const std::wstring target = Switch(L"-noparsse") ? std::wstring() : RemedyTarget(body);
  auto openTarget = [&] {
    if (!target.empty()) RunCommandLine(host().Owner(), target, false, false, false);
  };
  switch (kind) {
    case Kind::Inform:
      Ask(body, MsgIcon::Warning, MsgButtons::Ok);
      openTarget();
      return RemedyResult::StaysMissing;
    case Kind::Retry:
      if (Ask(body, MsgIcon::Warning, MsgButtons::RetryCancel) != MsgResult::Retry) return RemedyResult::StaysMissing;
      break;
    case Kind::Confirm:
      if (Ask(body, MsgIcon::Warning, MsgButtons::OkCancel) != MsgResult::Ok) return RemedyResult::StaysMissing;
      break;
  }
  openTarget();
  return RemedyResult::CheckAgain;
}

enum class PassResult { Done, Again, Refused };

// A running application that must be closed: ended in a silent run, else
// asked about (Retry checks again; Cancel goes on only when allowGoOn).
PassResult CheckClosedApplication(std::wstring_view fileKey, std::wstring_view textKey, bool allowGoOn) {
  auto& s = State();
  const std::wstring file = ExpandVariables(PickLanguageText(SetupString(fileKey)));
  if (!IsProcessRunning(file)) return PassResult::Done;
  WriteLog(L"RunningApplication=" + file);
  if (s.Silent) {
    TerminateFoundProcess(s.FoundProcessId);
    return PassResult::Done;
  }
  std::wstring name = ExpandVariables(PickLanguageText(SetupString(textKey)));
  if (name.empty()) name = file;
  if (Ask(FormatAndExpand(LangText(L"Messages", 6), name), MsgIcon::Warning, MsgButtons::RetryCancel) ==
      MsgResult::Retry)
    return PassResult::Again;
  return allowGoOn ? PassResult::Done : PassResult::Refused;
}

struct RuntimeCheck {
  Runtime runtime;
  const wchar_t* flagKey;
  const wchar_t* requiredKey;
  const wchar_t* linkKey;
};
constexpr RuntimeCheck kRuntimeChecks[] = {
    {Runtime::DotNet, L"dotNET", L"dotNETVersion", L"LinkDN"},
    {Runtime::AcrobatReader, L"AR", L"ARVersion", L"LinkAR"},
    {Runtime::Java, L"Java", L"JavaVersion", L"LinkJR"},
    {Runtime::SqlCompact, L"SQL", L"SQLVersion", L"LinkSQL"},
    {Runtime::SqlExpress, L"SQLE", L"SQLEVersion", L"LinkSQLE"},
    {Runtime::VisualCpp, L"VisualCpp", L"VisualCppVersion", L"LinkVisualCpp"},
};

// The requirement as the [Setup] key states it: an index, or a version text.
std::wstring RequiredVersion(const RuntimeCheck& c) {
  switch (c.runtime) {
    // One default for the requirement and its name: the oldest Reader the
    // check knows of is 5.0.
    case Runtime::AcrobatReader: return SetupString(c.requiredKey, L"5.0");
    case Runtime::Java: return SetupString(c.requiredKey, L"8");
    default: return ToText(SetupInt(c.requiredKey, 0));
  }
}

bool RequirementMet(const RuntimeCheck& c, const std::wstring& required, const MachineRegistry& reg) {
  const int index = ParseInt32Or(required, 0);
  switch (c.runtime) {
    case Runtime::DotNet: return DotNetIndex(reg, Switch(L"-netruntime")) >= index;
    case Runtime::AcrobatReader: return MajorVersionAtLeast(AcrobatReaderVersion(reg), required);
    case Runtime::Java: return MajorVersionAtLeast(JavaVersionText(reg, Switch(L"-jreonly")), required);
    case Runtime::SqlCompact: return SqlCompactIndex(reg) >= index;
    case Runtime::SqlExpress: return SqlExpressIndex(reg) >= index;
    case Runtime::VisualCpp: return VcRuntimeIndex(reg) >= index;
  }
  return true;
}

class ChecksRun {
 public:
  explicit ChecksRun(const SystemProbes& probes) : probes_(probes), allow_(SetupBool(L"AllowInstallIfPrereqFailed")) {}

  PassResult Pass() {
    if (SetupBool(L"Internet") && !probes_.internetAvailable()) {
      const PassResult r = Offline();
      if (r != PassResult::Done) return r;
    }
    if (SetupBool(L"CloseApp") && closeTries_ < 3) {
      const PassResult r = CheckClosedApplication(L"CloseAppFile", L"CloseAppText", allow_);
      if (r == PassResult::Again) ++closeTries_;
      if (r != PassResult::Done) return r;
    }
    if (SetupBool(L"CloseApp2")) {
      const PassResult r = CheckClosedApplication(L"CloseAppFile2", L"CloseAppText2", false);
      if (r != PassResult::Done) return r;
    }
    for (const auto& c : kRuntimeChecks) {
      if (!SetupBool(c.flagKey)) continue;
      const PassResult r = Runtime(c);
      if (r != PassResult::Done) return r;
    }
    return PassResult::Done;
  }

 private:
  PassResult Offline() {
    WriteLog(L"Internet=0");
    if (State().Silent) return PassResult::Refused;
    const std::wstring message = LangText(L"Messages", 5);
    const std::wstring text = FormatAndExpand(message, L"");
    // A message that asks lets the user go on; one that only states the
    // problem offers to try again.
    if (message.find(L'?') != std::wstring::npos)
      return Ask(text, MsgIcon::Warning, MsgButtons::YesNo, 2) == MsgResult::Yes ? PassResult::Done
                                                                                 : PassResult::Refused;
    if (Ask(text, MsgIcon::Warning, MsgButtons::RetryCancel) == MsgResult::Retry) return PassResult::Again;
    return allow_ ? PassResult::Done : PassResult::Refused;
  }

  PassResult Runtime(const RuntimeCheck& c) {
    const auto& s = State();
    const std::wstring required = RequiredVersion(c);
    if (RequirementMet(c, required, probes_.runtimes)) return PassResult::Done;
    const std::wstring name = RuntimeDisplayName(c.runtime, required, s.Is64BitEngine, Switch(L"-noplatform"));
    WriteLog(L"MissingPrerequisite=" + name);
    RemedyResult r = RemedyResult::StaysMissing;
    // Unattended, an installer that did not bring the runtime is not run again.
    if (!(s.Silent && remedied_.count(c.runtime))) {
      r = HandleMissingPrerequisite(name, SetupString(c.linkKey), 7);
      if (s.Silent && r == RemedyResult::CheckAgain) remedied_.insert(c.runtime);
    }
    if (r == RemedyResult::EndSetup) return PassResult::Refused;
    if (r == RemedyResult::CheckAgain) return PassResult::Again;
    if (!allow_) return PassResult::Refused;
    if (!s.Silent) Ask(FormatAndExpand(LangText(L"Messages", 33), name), MsgIcon::Warning, MsgButtons::Ok);
    return PassResult::Done;
  }

  const SystemProbes& probes_;
  const bool allow_;
  int closeTries_ = 0;
  std::set<ek::Runtime> remedied_;
};

}  // namespace

std::wstring RemedyTarget(std::wstring_view text) {
  const std::wstring t(text);
  std::wstring target;
  const size_t http = FindNoCase(t, L"HTTP");
  if (http != npos && Contains(t, L"://")) target = CutAtLineEnd(t.substr(http));
  const size_t drive = t.find(L":\\");
  if (drive != std::wstring::npos)
    target = ReplaceAll(CutAtLineEnd(t.substr(drive == 0 ? 0 : drive - 1)), L"\"", L"");
  return target;
}

std::wstring WithoutFinalQuestion(std::wstring_view message) {
  const size_t question = message.find(L'?');
  if (question == std::wstring_view::npos) return std::wstring(message);
  for (size_t i = question; i-- > 0;) {
    if (message[i] == L'>') return std::wstring(message.substr(0, i + 1));
    if (message[i] == L'\\') return std::wstring(message.substr(0, i));
  }
  return std::wstring(message);
}

RemedyResult HandleMissingPrerequisite(const std::wstring& name, const std::wstring& rawLink, int messageIndex) {
  const auto& s = State();
  const std::wstring link = ExpandVariables(PickLanguageText(rawLink));
  const bool packageMessage = StartsWithNoCase(link, L"MSG");
  const bool elevate = Switch(L"-padmin");
  if (s.Silent) {
    // Only an installer can run unattended.
    if (link.empty() || StartsWithNoCase(link, L"HTTP") || packageMessage) return RemedyResult::EndSetup;
    WriteLog(L"PrerequisiteInstaller=" + link);
    return RunCommandLine(nullptr, link, true, false, elevate) ? RemedyResult::CheckAgain : RemedyResult::StaysMissing;
  }
  const std::wstring message = LangText(L"Messages", messageIndex);
  if (link.empty()) {
    Ask(TrimRight(FormatAndExpand(WithoutFinalQuestion(message), name)), MsgIcon::Warning, MsgButtons::Ok);
    return RemedyResult::StaysMissing;
  }
  if (packageMessage) return OfferPackageMessage(link);
  if (Ask(FormatAndExpand(message, name), MsgIcon::Warning, MsgButtons::YesNo) != MsgResult::Yes)
    return RemedyResult::StaysMissing;
  return RunCommandLine(host().Owner(), link, true, true, elevate) ? RemedyResult::CheckAgain
                                                                   : RemedyResult::StaysMissing;
}

SystemProbes MachineProbes() {
  return SystemProbes{[] { return InternetAvailable(); }, MachineRegistry({}, State().Is64BitEngine)};
}

ChecksResult CheckSystem(const SystemProbes& probes) {
  ChecksRun run(probes);
  for (bool first = true;; first = false) {
    if (!first) platform::SleepMs(500);
    host().Pump();
    const PassResult r = run.Pass();
    if (r == PassResult::Refused) return ChecksResult::Refused;
    if (r == PassResult::Done) break;
  }
  const size_t n = RecordCount(Config(), L"Prerequisites");
  for (size_t i = 0; i < n; ++i)
    if (EvaluatePrerequisite(ReadRecord(Config(), L"Prerequisites", i)) == PrerequisiteOutcome::Refused)
      return ChecksResult::Refused;
  return ChecksResult::Passed;
}

void RunSystemChecks() {
  if (CheckSystem(MachineProbes()) == ChecksResult::Refused) ExitSetup(5);
}

}  // namespace ek
