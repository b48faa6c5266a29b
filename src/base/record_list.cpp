#include "base/record_list.h"

namespace ek {

std::vector<std::wstring> SplitRecord(std::wstring_view record) { return Split(record, kFieldSeparator); }

size_t RecordCount(const IniDocument& doc, std::wstring_view section) { return doc.KeyCount(section); }

std::wstring ReadRecord(const IniDocument& doc, std::wstring_view section, size_t index) {
  return doc.ReadString(section, ToText(static_cast<int64_t>(index)), L"");
}

bool HasEngineSwitch(const IniDocument& config, std::wstring_view name) {
  const std::wstring* value = config.Find(L"Setup", L"SetupParameters");
  if (!value || name.empty()) return false;
  return ToUpperAscii(*value).find(ToUpperAscii(name)) != std::wstring::npos;
}

}  // namespace ek
