#include "actions/command_list.h"

#include "actions/command_verbs.h"
#include "actions/downloads.h"
#include "actions/process_launch.h"
#include "actions/variables_section.h"
#include "base/record_list.h"
#include "base/result.h"
#include "base/text.h"
#include "base/uninstall_entries.h"
#include "config/archive_extract.h"
#include "config/utilities.h"
#include "config/variables.h"
#include "core/host.h"
#include "core/setup_log.h"
#include "core/setup_state.h"
#include "core/uninstall_journal.h"
#include "platform/file_system.h"
#include "platform/shell.h"
#include "platform/ui.h"

namespace ek {
namespace {

constexpr size_t kFieldCount = 7;

const wchar_t* const kStageTexts[] = {L"", L"BEFORE INSTALLATION", L"AT USER INFORMATION DIALOG",
                                      L"AT FOLDER SELECT DIALOG", L"CLICK INSTALL", L"AFTER INSTALLATION"};

// The moments of a later uninstallation that stage 6 records commands for.
struct UninstallMoment {
  std::wstring_view stageText;
  const uninstall::List<uninstall::ExecEntry>* list;
};
const UninstallMoment kUninstallMoments[] = {
    {L"START UNINSTALLATION", &uninstall::kExecAtUninstallStart},
    {L"BEFORE UNINSTALLATION", &uninstall::kExecBeforeUninstall},
    {L"AFTER UNINSTALLATION", &uninstall::kExecAfterUninstall},
};

// One record at stages 1 to 5: the command and parameters expanded, the
// window, wait and elevate fields read.
struct Command {
  std::wstring command, parameters;
  int show = platform::kSwShowNormal;
  bool wait = false;
  bool elevate = false;
};

bool YesOrPlus(const std::wstring& field) {
  const std::wstring u = ToUpperAscii(field);
  return u == L"YES" || u == L"+";
}

int ShowModeOf(const std::wstring& window) {
  const std::wstring w = ToUpperAscii(window);
  if (w == L"MAXIMIZED") return platform::kSwShowMaximized;
  if (w == L"MINIMIZED") return platform::kSwShowMinimized;
  if (w == L"HIDE") return platform::kSwHide;
  return platform::kSwShowNormal;
}

platform::MsgResult Box(const std::wstring& text, platform::MsgIcon icon, platform::MsgButtons buttons) {
  return MessageOnMain(text, icon, buttons, 1, std::wstring(), true);
}

std::wstring ExpandKeepingExitCode(const std::wstring& field) {
  if (!ContainsNoCase(field, L"<EXITCODE>")) return ExpandVariables(field);
  std::wstring t = ReplaceAllNoCase(field, L"<ExitCode>", L"<ExCo>");
  t = ExpandVariables(t);
  return ReplaceAllNoCase(t, L"<ExCo>", L"<ExitCode>");
}

std::wstring NoQuotes(const std::wstring& t) { return ReplaceAll(t, L"\"", L""); }

// ---- filters -------------------------------------------------------------

bool CommandsSuppressed() {
  const auto& s = State();
  return (s.Silent && Switch(L"-nocmdifsilent")) || (s.UpdateMode && Switch(L"-nocmdifupdate"));
}

// "32" in the bitness field: 32-bit Windows only; "64": 64-bit Windows only.
bool RunsOnThisSystem(const std::wstring& bitness) {
  const bool is64 = State().Is64BitOS;
  return !(Contains(bitness, L"32") && is64) && !(Contains(bitness, L"64") && !is64);
}

// Stage 6: the commands of an uninstallation moment go into the information
// file with their window, wait and elevate fields as written.
void RecordForUninstaller(const std::wstring& stageText, const std::wstring& command, const std::wstring& parameters,
                          const std::vector<std::wstring>& f) {
  for (const auto& moment : kUninstallMoments)
    if (stageText == moment.stageText) AddToUninstallList(*moment.list, {command, parameters, f[2], f[4], f[6]});
}

// ---- the steps, in the order in which they claim a record -----------------
// Each returns true when the record was its own; the record ends there.

// IF left=right / IF left!=right, then EXIT, MSG(...), IFMSG(...)command,
// HALT(...) or STOP(...) in the parameters.
bool ConditionHolds(const std::wstring& condition) {
  const size_t ne = condition.find(L"!=");
  const size_t eq = condition.find(L'=');
  if (ne == std::wstring::npos && eq == std::wstring::npos) return false;
  const bool inequality = ne != std::wstring::npos;
  const size_t at = inequality ? ne : eq;
  const std::wstring left = Trim(ExpandVariables(condition.substr(0, at)));
  const std::wstring right = Trim(ExpandVariables(condition.substr(at + (inequality ? 2 : 1))));
  return EqualsNoCaseAscii(left, right) != inequality;
}

void ShowInformation(const Command&, const std::wstring& text, const std::wstring&) {
  if (!State().Silent) Box(text, platform::MsgIcon::Information, platform::MsgButtons::Ok);
}

void AskThenRun(const Command& c, const std::wstring& text, const std::wstring& commandLine) {
  if (!State().Silent && Box(text, platform::MsgIcon::Question, platform::MsgButtons::YesNo) == platform::MsgResult::Yes)
    RunCommandLine(nullptr, commandLine, c.wait, false, c.elevate);
}

void WarnThen(const std::wstring& text, bool& request) {
  if (!text.empty() && !State().Silent) Box(text, platform::MsgIcon::Warning, platform::MsgButtons::Ok);
  request = true;
}

void Halt(const Command&, const std::wstring& text, const std::wstring&) { WarnThen(text, State().HaltRequested); }
void Stop(const Command&, const std::wstring& text, const std::wstring&) { WarnThen(text, State().StopRequested); }

struct ConditionalForm {
  std::wstring_view prefix;
  // The text between the parentheses (expanded) and what follows the ")".
  void (*act)(const Command& c, const std::wstring& text, const std::wstring& rest);
};
const ConditionalForm kConditionalForms[] = {
    {L"MSG(", &ShowInformation}, {L"IFMSG(", &AskThenRun}, {L"HALT(", &Halt}, {L"STOP(", &Stop}};

bool Condition(const Command& c) {
  if (!(c.command.size() > 5 && c.parameters.size() > 3 && StartsWithNoCase(c.command, L"IF "))) return false;
  if (!ConditionHolds(c.command.substr(3))) return true;
  if (EqualsNoCaseAscii(c.parameters, L"EXIT")) {
    // No further command of this run, at any stage.
    MutableConfig().EraseSection(L"Commands");
    return true;
  }
  for (const auto& form : kConditionalForms) {
    if (!StartsWithNoCase(c.parameters, form.prefix)) continue;
    std::wstring text = c.parameters.substr(c.parameters.find(L'(') + 1);
    const size_t close = text.find(L')');
    const std::wstring rest = close == std::wstring::npos ? std::wstring() : text.substr(close + 1);
    if (close != std::wstring::npos) text.resize(close);
    form.act(c, ExpandVariables(text), rest);
    return true;
  }
  return true;
}

// IFMSG(question) with a command line in the parameters: asked also in a
// silent run.
bool Question(const Command& c) {
  if (!(c.command.size() > 7 && StartsWithNoCase(c.command, L"IFMSG(") && !c.parameters.empty())) return false;
  std::wstring q = c.command.substr(6);
  if (!q.empty() && q.back() == L')') q.pop_back();
  if (Box(ExpandVariables(q), platform::MsgIcon::Question, platform::MsgButtons::YesNo) == platform::MsgResult::Yes)
    RunCommandLine(host().Owner(), c.parameters, c.wait, false, c.elevate);
  return true;
}

// DOWNLOAD:url with the target file in the parameters; the download itself
// logs why it failed.
bool Download(const Command& c) {
  if (!(c.command.size() >= 13 && StartsWithNoCase(c.command, L"DOWNLOAD:") && !c.parameters.empty())) return false;
  const std::wstring url = c.command.substr(c.command.find(L':') + 1);
  if (DownloadFile(url, NoQuotes(c.parameters), true)) return true;
  auto& s = State();
  if (Switch(L"-errorifdwnfail")) s.HadErrors = true;
  if (Switch(L"-haltifdwnfail")) s.HaltRequested = true;
  return true;
}

// CMDVAR: the variables in the lines of a text file are expanded in place.
bool SubstituteVariablesInFile(const Command& c) {
  const std::wstring path = ExtendedPath(NoQuotes(c.parameters));
  if (!platform::FileExists(path)) return true;
  bool ok = false;
  DecodedText d = platform::ReadTextFile(path, TextEncoding::Ansi, &ok);
  if (!ok) return true;
  std::wstring out;
  bool changed = false;
  size_t pos = 0;
  const std::wstring& t = d.text;
  while (pos <= t.size()) {
    size_t end = t.find(L'\n', pos);
    std::wstring line = t.substr(pos, end == std::wstring::npos ? std::wstring::npos : end - pos);
    bool cr = !line.empty() && line.back() == L'\r';
    if (cr) line.pop_back();
    if (line.find(L'<') != std::wstring::npos) {
      line = ExpandVariables(line);
      changed = true;
    }
    out += line;
    if (end == std::wstring::npos) break;
    out += L"\r\n";
    pos = end + 1;
  }
  // A file that cannot be written back keeps its text; nothing reports it.
  if (changed) Ignore(platform::WriteTextFile(path, out, d.encoding));
  return true;
}

// GETVARIABLES: the [Variables] section evaluated afresh; without one the
// record goes on to the next steps.
bool GetVariables(const Command&) { return ReevaluateVariables(); }

// SetCurrentDir: the folder of the parameters, or the installation folder.
bool ChangeCurrentDirectory(const Command& c) {
  const std::wstring folder = ExtendedPath(c.parameters.empty() ? State().InstallDir : NoQuotes(c.parameters));
  // A folder that cannot be entered leaves the current one; nothing reports it.
  if (platform::DirectoryExists(folder)) Ignore(platform::SetCurrentDir(folder));
  return true;
}

// AddUninstall: one more file for the uninstaller; without a path the
// record is no verb.
bool AddFileForUninstaller(const Command& c) {
  if (c.parameters.empty()) return false;
  AddToUninstallList(uninstall::kFiles, {c.parameters});
  return true;
}

// The setup's own verbs; false from a verb: the record goes on to the next steps.
struct SetupVerb {
  std::wstring_view name;
  bool (*run)(const Command& c);
};
const SetupVerb kSetupVerbs[] = {
    {L"CMDVAR", &SubstituteVariablesInFile},
    {L"GETVARIABLES", &GetVariables},
    {L"SETCURRENTDIR", &ChangeCurrentDirectory},
    {L"ADDUNINSTALL", &AddFileForUninstaller},
};

bool SetupVerbStep(const Command& c) {
  for (const auto& verb : kSetupVerbs)
    if (EqualsNoCaseAscii(c.command, verb.name)) return verb.run(c);
  return false;
}

bool SystemVerbStep(const Command& c) {
  const CommandVerb* verb = FindSystemVerb(c.command);
  if (!verb) return false;
  verb->run({c.parameters, State().NoLongPathPrefix});
  return true;
}

// ZIP:archive with the target folder in the parameters.
bool ZipExtraction(const Command& c) {
  if (!(c.command.size() >= 6 && StartsWithNoCase(c.command, L"ZIP:") && !c.parameters.empty())) return false;
  auto& s = State();
  const std::wstring target = NoQuotes(c.parameters);
  // A folder that cannot be made shows in the extraction, which reports it.
  if (!platform::DirectoryExists(ExtendedPath(target))) Ignore(platform::CreateDirectoryTree(ExtendedPath(target)));
  const std::wstring archive = c.command.substr(c.command.find(L':') + 1);
  if (!platform::FileExists(ExtendedPath(archive))) return true;
  if (ExtractArchiveToFolder(archive, target).ok()) return true;
  if (!s.Silent) {
    platform::MessageRequest r;
    r.text = L"Error extracting files";
    r.caption = host().Caption();
    r.icon = platform::MsgIcon::Warning;
    r.topmost = true;
    platform::ShowMessage(r);
  }
  if (Switch(L"-errorifzipfail")) s.HadErrors = true;
  if (Switch(L"-haltifzipfail")) s.HaltRequested = true;
  return true;
}

bool OpenUrl(const Command& c) {
  if (!IsUrlCommand(c.command)) return false;
  platform::ShellOpen(nullptr, L"", c.command, L"", c.show);
  return true;
}

// Whatever is left is a program; when it is waited for, LastExitCode tells
// how it ended.
bool StartProgram(const Command& c) {
  RunProcess(nullptr, ProgramOfCommand(c.command), c.parameters, c.show, c.wait, c.elevate, true);
  return true;
}

using Step = bool (*)(const Command& c);
constexpr Step kSteps[] = {&Condition,     &Question,      &Download, &SetupVerbStep,
                           &SystemVerbStep, &ZipExtraction, &OpenUrl,  &StartProgram};

}  // namespace

std::wstring DescrambleField(std::wstring_view text) {
  std::wstring out(text);
  for (auto& c : out)
    if (c != L'"' && c != L' ') c = static_cast<wchar_t>(c ^ 2);
  for (auto& c : out) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(L'A' + (c - L'A' + 13) % 26);
    else if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(L'a' + (c - L'a' + 13) % 26);
    else if (c >= L'0' && c <= L'9') c = static_cast<wchar_t>(L'0' + (c - L'0' + 5) % 10);
  }
  return out;
}

void RunCommandRecord(int stage, std::wstring_view record) {
  auto& s = State();
  if (record.empty() || CommandsSuppressed()) return;
  std::vector<std::wstring> f = SplitRecord(record);
  if (f.size() < kFieldCount) return;
  if (SetupBool(L"DataSens"))
    for (size_t i = 0; i < kFieldCount; ++i) f[i] = DescrambleField(f[i]);
  if (!RunsOnThisSystem(f[5])) return;
  const std::wstring stageText = ToUpperAscii(f[3]);
  if (stage >= kBeforeInstallation && stage <= kAfterInstallation && stageText != kStageTexts[stage]) return;

  // At stage 6 "<ExitCode>" stays for the uninstaller, unless "-exitcodeun"
  // asks for the code known now.
  const bool keepExitCode = stage == kUninstallRegistration && !Switch(L"-exitcodeun");
  Command c;
  c.command = keepExitCode ? ExpandKeepingExitCode(f[0]) : ExpandVariables(f[0]);
  c.parameters = keepExitCode ? ExpandKeepingExitCode(f[1]) : ExpandVariables(f[1]);
  if (stage == kUninstallRegistration) {
    RecordForUninstaller(stageText, c.command, c.parameters, f);
    return;
  }

  c.show = ShowModeOf(f[2]);
  c.wait = YesOrPlus(f[4]);
  c.elevate = YesOrPlus(f[6]);
  s.HaltRequested = false;
  s.StopRequested = false;
  for (Step step : kSteps)
    if (step(c)) return;
}

void BeginCommandStage() {
  auto& s = State();
  s.HaltRequested = false;
  s.StopRequested = false;
}

void RunCommandStage(int stage) {
  auto& s = State();
  if (!Config().SectionExists(L"Commands")) return;
  BeginCommandStage();
  const size_t n = RecordCount(Config(), L"Commands");
  for (size_t i = 0; i < n; ++i) {
    RunCommandRecord(stage, ReadRecord(Config(), L"Commands", i));
    if (stage == kBeforeInstallation && s.HaltRequested) ExitSetup(5);
  }
}

}  // namespace ek
