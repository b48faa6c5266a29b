#include "core/setup_state.h"

#include "base/record_list.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/shell.h"
#include "platform/system.h"

namespace ek {

SetupState& State() {
  static SetupState state;
  return state;
}

const IniDocument& Config() {
  static const IniDocument empty;
  const auto& s = State();
  return s.SetupConfig ? *s.SetupConfig : empty;
}

IniDocument& MutableConfig() {
  auto& s = State();
  if (!s.SetupConfig) s.SetupConfig = std::make_unique<IniDocument>();
  return *s.SetupConfig;
}

const IniDocument& Language() {
  static const IniDocument empty;
  const auto& s = State();
  return s.LanguageTexts ? *s.LanguageTexts : empty;
}

bool Switch(std::wstring_view name) { return HasEngineSwitch(Config(), name); }

std::wstring SetupString(std::wstring_view key, std::wstring_view fallback) {
  return Config().ReadString(L"Setup", key, fallback);
}
int32_t SetupInt(std::wstring_view key, int32_t fallback) { return Config().ReadInteger(L"Setup", key, fallback); }
bool SetupBool(std::wstring_view key, bool fallback) { return Config().ReadBool(L"Setup", key, fallback); }

void ReleaseDocuments() {
  auto& s = State();
  s.SetupConfig.reset();
  s.LanguageTexts.reset();
  s.ScratchKeyList.clear();
}

bool IsProcessRunning(std::wstring_view fileName) {
  if (fileName.empty()) return false;
  auto pid = platform::FindProcessByExeName(std::wstring(fileName));
  if (!pid) return false;
  State().FoundProcessId = *pid;
  return true;
}

bool TerminateFoundProcess(uint32_t processId) {
  const bool ok = platform::TerminateProcessById(processId);
  platform::SleepMs(1000);
  return ok;
}

std::wstring GetTempFolder() { return platform::TempFolder(); }
std::wstring GetShellFolder(int csidl) { return platform::ShellFolder(csidl); }

}  // namespace ek
