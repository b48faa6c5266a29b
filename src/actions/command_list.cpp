#include "actions/command_list.h"

#include "actions/process_launch.h"
#include "core/setup_log.h"
#include "core/setup_state.h"
#include "base/record_list.h"
#include "base/text.h"
#include "config/utilities.h"
#include "config/variables.h"
#include "config/archive_extract.h"
#include "core/uninstall_journal.h"
#include "platform/file_system.h"
#include "platform/shell.h"
#include "platform/ui.h"
#include "core/host.h"

namespace ek {
namespace {

const wchar_t* const kStageTexts[] = {L"", L"BEFORE INSTALLATION", L"AT USER INFORMATION DIALOG",
                                      L"AT FOLDER SELECT DIALOG", L"CLICK INSTALL", L"AFTER INSTALLATION"};

bool YesOrPlus(const std::wstring& field) {
  const std::wstring u = ToUpperAscii(field);
  return u == L"YES" || u == L"+";
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
  if (record.empty()) return;
  if ((s.Silent && Switch(L"-nocmdifsilent")) || (s.UpdateMode && Switch(L"-nocmdifupdate"))) return;
  std::vector<std::wstring> f = SplitRecord(record);
  if (f.size() < 7) return;
  if (SetupBool(L"DataSens"))
    for (int i = 0; i < 7; ++i) f[static_cast<size_t>(i)] = DescrambleField(f[static_cast<size_t>(i)]);
  if (Contains(f[5], L"32") && s.Is64BitOS) return;
  if (Contains(f[5], L"64") && !s.Is64BitOS) return;
  const std::wstring stageText = ToUpperAscii(f[3]);
  if (stage >= 1 && stage <= 5 && stageText != kStageTexts[stage]) return;

  std::wstring command, params;
  if (Switch(L"-exitcodeun")) {
    command = ExpandVariables(f[0]);
    params = ExpandVariables(f[1]);
  } else if (stage == kUninstallRegistration) {
    command = ExpandKeepingExitCode(f[0]);
    params = ExpandKeepingExitCode(f[1]);
  } else {
    command = ExpandVariables(f[0]);
    params = ExpandVariables(f[1]);
  }

  if (stage == kUninstallRegistration) {
    const wchar_t* section = nullptr;
    if (stageText == L"START UNINSTALLATION") section = L"ExecAtUninstallStart";
    else if (stageText == L"BEFORE UNINSTALLATION") section = L"ExecBeforeUninstall";
    else if (stageText == L"AFTER UNINSTALLATION") section = L"ExecAfterUninstall";
    if (section && s.UninstallIni)
      AddToUninstallList(section, command + L"*?" + params + L"*?" + f[2] + L"*?" + f[4] + L"*?" + f[6]);
    return;
  }

  const std::wstring window = ToUpperAscii(f[2]);
  int show = platform::kSwShowNormal;
  if (window == L"MAXIMIZED") show = platform::kSwShowMaximized;
  else if (window == L"MINIMIZED") show = platform::kSwShowMinimized;
  else if (window == L"HIDE") show = platform::kSwHide;
  const bool wait = YesOrPlus(f[4]);
  const bool elevate = YesOrPlus(f[6]);
  s.HaltRequested = false;
  s.StopRequested = false;
  const std::wstring upper = ToUpperAscii(command);

  // A: condition.
  if (command.size() > 5 && params.size() > 3 && StartsWithNoCase(command, L"IF ")) {
    const std::wstring cond = command.substr(3);
    bool truth = false;
    size_t ne = cond.find(L"!=");
    size_t eq = cond.find(L'=');
    if (ne != std::wstring::npos || eq != std::wstring::npos) {
      const bool inequality = ne != std::wstring::npos;
      const size_t at = inequality ? ne : eq;
      const std::wstring left = Trim(ExpandVariables(cond.substr(0, at)));
      const std::wstring right = Trim(ExpandVariables(cond.substr(at + (inequality ? 2 : 1))));
      truth = EqualsNoCaseAscii(left, right) != inequality;
    }
    if (!truth) return;
    if (EqualsNoCaseAscii(params, L"EXIT")) {
      MutableConfig().EraseSection(L"Commands");
      return;
    }
    const bool msg = StartsWithNoCase(params, L"MSG("), halt = StartsWithNoCase(params, L"HALT("),
               stop = StartsWithNoCase(params, L"STOP("), ifmsg = StartsWithNoCase(params, L"IFMSG(");
    if (!(msg || halt || stop || ifmsg)) return;
    std::wstring text = params.substr(params.find(L'(') + 1);
    size_t close = text.find(L')');
    const std::wstring rest = close == std::wstring::npos ? std::wstring() : text.substr(close + 1);
    if (close != std::wstring::npos) text.resize(close);
    text = ExpandVariables(text);
    if (msg) {
      if (!s.Silent) Box(text, platform::MsgIcon::Information, platform::MsgButtons::Ok);
    } else if (ifmsg) {
      if (!s.Silent && Box(text, platform::MsgIcon::Question, platform::MsgButtons::YesNo) == platform::MsgResult::Yes)
        RunCommandLine(nullptr, rest, wait, false, elevate);
    } else {
      if (!text.empty() && !s.Silent) Box(text, platform::MsgIcon::Warning, platform::MsgButtons::Ok);
      if (halt) s.HaltRequested = true;
      else s.StopRequested = true;
    }
    return;
  }
  // B: question.
  if (command.size() > 7 && StartsWithNoCase(command, L"IFMSG(") && !params.empty()) {
    std::wstring q = command.substr(6);
    if (!q.empty() && q.back() == L')') q.pop_back();
    if (Box(ExpandVariables(q), platform::MsgIcon::Question, platform::MsgButtons::YesNo) == platform::MsgResult::Yes)
      RunCommandLine(host().Owner(), params, wait, false, elevate);
    return;
  }
  // C: download (the downloader module is not part of this build: a failure).
  if (command.size() >= 13 && StartsWithNoCase(command, L"DOWNLOAD:") && !params.empty()) {
    if (Switch(L"-errorifdwnfail")) s.HadErrors = true;
    if (Switch(L"-haltifdwnfail")) s.HaltRequested = true;
    return;
  }
  if (upper == L"CMDVAR") {
    const std::wstring path = NoQuotes(params);
    if (!platform::FileExists(ExtendedPath(path))) return;
    bool ok = false;
    DecodedText d = platform::ReadTextFile(ExtendedPath(path), TextEncoding::Ansi, &ok);
    if (!ok) return;
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
    if (changed) platform::WriteTextFile(ExtendedPath(path), out, d.encoding);
    return;
  }
  if (upper == L"SETCURRENTDIR") {
    std::wstring folder = params.empty() ? s.InstallDir : NoQuotes(params);
    if (platform::DirectoryExists(ExtendedPath(folder))) platform::SetCurrentDir(ExtendedPath(folder));
    return;
  }
  if (upper == L"ADDUNINSTALL" && !params.empty()) {
    if (s.UninstallIni) AddToUninstallList(L"Files", params);
    return;
  }
  if (upper == L"SHCNE_ASSOCCHANGED") {
    platform::NotifyAssociationsChanged(false);
    return;
  }
  if (upper == L"SPI_SETDESKWALLPAPER") {
    platform::RefreshWallpaper();
    return;
  }
  if (upper == L"REGFONT" || upper == L"UNREGFONT") {
    const std::wstring font = NoQuotes(params);
    if (!platform::FileExists(ExtendedPath(font))) return;
    const bool ok = upper == L"REGFONT" ? platform::AddFont(ExtendedPath(font)) != 0 : platform::RemoveFont(ExtendedPath(font));
    if (ok) platform::BroadcastFontChange();
    return;
  }
  if (upper == L"WM_FONTCHANGE") {
    platform::BroadcastFontChange();
    return;
  }
  if (upper == L"WM_SETTINGCHANGE") {
    platform::BroadcastEnvironmentChange();
    return;
  }
  if (command.size() >= 6 && StartsWithNoCase(command, L"ZIP:") && !params.empty()) {
    const std::wstring target = NoQuotes(params);
    if (!platform::DirectoryExists(ExtendedPath(target))) platform::CreateDirectoryTree(ExtendedPath(target));
    const std::wstring archive = command.substr(command.find(L':') + 1);
    if (!platform::FileExists(ExtendedPath(archive))) return;
    if (!ExtractArchiveToFolder(archive, target).ok()) {
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
    }
    return;
  }
  if (command.find(L"://") != std::wstring::npos) {
    platform::ShellOpen(nullptr, L"", command, L"", show);
    return;
  }
  std::wstring program = command;
  if (program.size() > 2 && program.front() == L'"' && program.back() == L'"') program = program.substr(1, program.size() - 2);
  RunProcess(nullptr, program, params, show, wait, elevate, true);
}

void RunCommandStage(int stage) {
  auto& s = State();
  if (!Config().SectionExists(L"Commands")) return;
  const size_t n = RecordCount(Config(), L"Commands");
  for (size_t i = 0; i < n; ++i) {
    RunCommandRecord(stage, ReadRecord(Config(), L"Commands", i));
    if (stage == kBeforeInstallation && s.HaltRequested) ExitSetup(5);
  }
}

}  // namespace ek
