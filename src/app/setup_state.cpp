#include "app/setup_state.h"

#include "config/record_list.h"

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

}  // namespace ek
