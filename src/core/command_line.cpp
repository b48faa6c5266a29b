#include "core/command_line.h"

#include "base/text.h"
#include "platform/file_system.h"
#include "platform/system.h"

namespace ek {

const std::vector<std::wstring>& CommandLineArgs() {
  static const std::vector<std::wstring> args = platform::CommandLineArgs();
  return args;
}

int FindParam(std::wstring_view name) {
  const auto& args = CommandLineArgs();
  for (size_t i = 0; i < args.size(); ++i)
    if (EqualsNoCase(args[i], name)) return static_cast<int>(i + 1);
  return 0;
}

std::wstring ParamValue(std::wstring_view name) {
  const int i = FindParam(name);
  const auto& args = CommandLineArgs();
  if (i == 0 || static_cast<size_t>(i) >= args.size()) return std::wstring();
  return args[static_cast<size_t>(i)];
}

std::wstring CommandLineArgumentsFrom(std::wstring_view full, std::wstring_view ownPath, bool hasArguments) {
  if (!hasArguments) return std::wstring();
  std::wstring text(full);
  // A full path is removed when the line holds one, otherwise the file name.
  std::wstring what = Contains(text, L":\\") ? std::wstring(ownPath) : FileNamePart(ownPath);
  size_t at = FindNoCase(text, what);
  if (!what.empty() && at != npos) text.erase(at, what.size());
  size_t q = text.find(L"\"\"");
  if (q != std::wstring::npos) {
    text.erase(q, 2);
    text = Trim(text);
  }
  return text;
}

std::wstring CommandLineArguments() {
  return CommandLineArgumentsFrom(platform::CommandLineFull(), platform::ModulePath(), !CommandLineArgs().empty());
}

}  // namespace ek
