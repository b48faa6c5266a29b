#include "actions/completion.h"

#include "actions/process_launch.h"
#include "base/result.h"
#include "base/text.h"
#include "config/language.h"
#include "config/utilities.h"
#include "config/variables.h"
#include "core/host.h"
#include "core/setup_state.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/system.h"
#include "platform/ui.h"

namespace ek {
namespace {

using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

// -apphandle names the framework's hidden application window; this program
// has none, so its started programs then get no owner, as with -nohandle.
platform::WindowHandle StartedProgramOwner() {
  if (Switch(L"-apphandle") || Switch(L"-nohandle")) return nullptr;
  return host().Owner();
}

void Start(platform::WindowHandle owner, const std::wstring& command, bool elevate) {
  if (SetupBool(L"FinishCurrentDir")) Ignore(platform::SetCurrentDir(StartFolderFor(command)));
  RunCommandLine(owner, command, false, false, elevate);
}

void OfferCustomAction(platform::WindowHandle owner) {
  const std::wstring name = PickLanguageText(SetupString(L"CustomActionName"));
  const std::wstring command = ExpandVariables(PickLanguageText(SetupString(L"CustomActionCommand")));
  const std::wstring question = ExpandVariables(LangText(L"Messages", 30) + L" " + name);
  if (MessageOnMain(question, MsgIcon::Question, MsgButtons::YesNo) != MsgResult::Yes) return;
  Start(owner, command, SetupBool(L"CustomActionAdmin"));
}

void LaunchProduct(platform::WindowHandle owner) {
  std::wstring file = ExpandVariables(PickLanguageText(SetupString(L"LaunchFileName")));
  if (file.empty()) file = State().MainExe;
  if (!file.empty()) Start(owner, file, SetupBool(L"LaunchFileAdmin"));
}

void AskForRestart() {
  const std::wstring needed = LangText(L"SetupComplete", 6);
  if (Switch(L"-forcerestart")) {
    MessageOnMain(ExpandVariables(needed + L"\r\n\r\n" + LangText(L"SetupComplete", 10, BuiltInText(L"SetupComplete", 10))),
                  MsgIcon::Warning);
    RestartWindows();
    return;
  }
  const std::wstring question = ExpandVariables(needed + L"\r\n\r\n" + LangText(L"SetupComplete", 7) + L"?");
  if (MessageOnMain(question, MsgIcon::Question, MsgButtons::YesNo, 2) == MsgResult::Yes) RestartWindows();
}

}  // namespace

std::wstring StartFolderFor(const std::wstring& command) {
  const size_t last = command.rfind(L'\\');
  if (last != std::wstring::npos) {
    const std::wstring folder = ExtendedPath(command.substr(0, last));
    if (platform::DirectoryExists(folder)) return folder;
  }
  return ExtendedPath(State().InstallDir);
}

void RunCompletionActions() {
  const auto& s = State();
  if (s.Silent || !s.InstallationCompleted) return;
  const platform::WindowHandle owner = StartedProgramOwner();
  if (SetupBool(L"CustomAction")) OfferCustomAction(owner);
  if (SetupBool(L"LaunchFile")) LaunchProduct(owner);
  if (SetupBool(L"RestartComputer")) AskForRestart();
}

void RestartWindows() {
  if (platform::RequestRestart()) return;
  if (!platform::EnableShutdownPrivilege()) return;
  Ignore(platform::RequestRestart());
}

bool ComponentsSelected() {
  const auto& s = State();
  if (!SetupBool(L"CompoMustSelect")) return true;
  for (const auto& c : s.Options.CheckListBox1)
    if (c.checked) return true;
  if (!s.Silent)
    MessageOnMain(ExpandVariables(LangText(L"Messages", 34, BuiltInText(L"Messages", 34))), MsgIcon::Warning);
  return false;
}

}  // namespace ek
