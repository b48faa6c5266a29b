#include "actions/completion.h"

#include "actions/process_launch.h"
#include "core/setup_state.h"
#include "config/language.h"
#include "config/utilities.h"
#include "config/variables.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/ui.h"
#include "core/host.h"

namespace ek {

void RunCompletionActions() {
  auto& s = State();
  if (s.Silent || !s.InstallationCompleted) return;
  if (SetupBool(L"LaunchFile")) {
    std::wstring file = ExpandVariables(PickLanguageText(SetupString(L"LaunchFileName")));
    if (file.empty()) file = s.MainExe;
    if (!file.empty()) RunCommandLine(host().Owner(), file, false, false, SetupBool(L"LaunchFileAdmin"));
  }
}

bool ComponentsChoiceValid() {
  const auto& s = State();
  if (!SetupBool(L"CompoMustSelect")) return true;
  for (const auto& c : s.Options.CheckListBox1)
    if (c.checked) return true;
  if (!s.Silent) {
    MessageOnMain(ExpandVariables(LangText(L"Messages", 34, L"Please select at least one component.")),
                  platform::MsgIcon::Warning);
  }
  return false;
}

}  // namespace ek
