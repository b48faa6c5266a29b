#include "install/others_action.h"

#include "app/setup_state.h"
#include "config/variables.h"
#include "platform/file_system.h"

namespace ek {

std::wstring FindRegAsm() {
  auto& s = State();
  if (!s.RegAsmPath.empty()) return s.RegAsmPath;
  const std::wstring w = GetConstant(17);
  std::wstring found;
  const wchar_t* const kCandidates[] = {
      L"\\Microsoft.NET\\Framework\\v2.0.50727\\RegAsm.exe", L"\\Microsoft.NET\\Framework\\v4.0.30319\\RegAsm.exe",
      L"\\Microsoft.NET\\Framework64\\v2.0.50727\\RegAsm.exe", L"\\Microsoft.NET\\Framework64\\v4.0.30319\\RegAsm.exe"};
  for (int i = 0; i < 4; ++i) {
    if (i >= 2 && !s.Is64BitEngine) break;
    if (platform::FileExists(w + kCandidates[i])) found = w + kCandidates[i];
  }
  s.RegAsmPath = found;
  return found;
}

void ApplyOthersRecord(std::wstring_view) {}

}  // namespace ek
