#include "base/record_list.h"

#include <unordered_map>

namespace ek {

std::vector<std::wstring> SplitRecord(std::wstring_view record) { return Split(record, kFieldSeparator); }

size_t RecordCount(const IniDocument& doc, std::wstring_view section) { return doc.KeyCount(section); }

std::wstring ReadRecord(const IniDocument& doc, std::wstring_view section, size_t index) {
  return doc.ReadString(section, ToText(static_cast<int64_t>(index)), L"");
}

bool HasEngineSwitch(const IniDocument& config, std::wstring_view name) {
  // Asked hundreds of times in a run, some of them for every record of a
  // list: the answers are kept while the configuration stays the same, so a
  // long SetupParameters value is searched once per switch, not per question.
  struct Answers {
    const IniDocument* document = nullptr;
    uint64_t revision = 0;
    std::wstring parameters;  // upper case; empty when the key is missing
    std::unordered_map<std::wstring, bool> found;
  };
  thread_local Answers answers;
  if (answers.document != &config || answers.revision != config.Revision()) {
    const std::wstring* value = config.Find(L"Setup", L"SetupParameters");
    answers.document = &config;
    answers.revision = config.Revision();
    answers.parameters = value ? ToUpperAscii(*value) : std::wstring();
    answers.found.clear();
  }
  if (name.empty()) return false;
  std::wstring key = ToUpperAscii(name);
  if (auto it = answers.found.find(key); it != answers.found.end()) return it->second;
  const bool present = answers.parameters.find(key) != std::wstring::npos;
  answers.found.emplace(std::move(key), present);
  return present;
}

}  // namespace ek
