#include "core/uninstall_journal.h"

#include "base/record_list.h"
#include "base/text.h"
#include "core/setup_state.h"

namespace ek {
namespace {

ListChangeObserver g_observer = nullptr;

void WriteEntry(IniDocument& ini, std::wstring_view section, std::wstring_view key, std::wstring_view value) {
  ini.WriteString(section, key, value);
  if (g_observer) g_observer(section, key, value);
}

}  // namespace

void ObserveListChanges(ListChangeObserver observer) { g_observer = observer; }

int64_t NextListKey(const IniDocument& doc, std::wstring_view section) {
  const IniDocument::Section* s = doc.GetSection(section);
  if (!s || s->entries.empty()) return 0;
  auto last = ParseUnsignedDecimal(s->entries.back().key);
  if (last && *last < (1ull << 62)) return static_cast<int64_t>(*last) + 1;
  return static_cast<int64_t>(s->entries.size());
}

void AddToUninstallList(std::wstring_view section, std::wstring_view value) {
  auto& s = State();
  if (!s.UninstallIni) return;
  IniDocument& ini = *s.UninstallIni;
  const bool files = EqualsNoCase(section, uninstall::kFiles.section);
  const bool values = EqualsNoCase(section, uninstall::kRegistryValues.section);
  // A line break cannot be stored on one line; it is kept as a blank.
  std::wstring v = ReplaceAll(ReplaceAll(value, L"\r\n", L" "), L"\n", L" ");
  v = ReplaceAll(v, L"\r", L" ");

  int64_t n = 0;
  if (s.UpdateMode) n = files ? s.FilesBase : values ? s.RegistryValuesBase : NextListKey(ini, section);
  if (s.UpdateMode && s.CheckUninstallDuplicates && (!s.LimitDuplicateCheck || n < 1000)) {
    for (int64_t i = 0; i < n; ++i) {
      const std::wstring* old = ini.Find(section, ToText(i));
      const std::wstring oldValue = old ? *old : std::wstring();
      const bool same = s.ExactDuplicateCompare ? oldValue == v : EqualsNoCaseAscii(oldValue, v);
      if (same) return;
    }
  }
  int64_t key;
  if (files) {
    key = s.UpdateMode ? s.FilesBase + s.FilesAdded : s.FilesAdded;
    ++s.FilesAdded;
  } else if (values) {
    key = s.UpdateMode ? s.RegistryValuesBase + s.RegistryValuesAdded : s.RegistryValuesAdded;
    ++s.RegistryValuesAdded;
  } else {
    key = s.UpdateMode ? n : static_cast<int64_t>(ini.KeyCount(section));
  }
  WriteEntry(ini, section, ToText(key), v);
}

void KeepRegistryKey(const uninstall::RegistryKeyEntry& key) {
  auto& s = State();
  if (!s.UninstallIni || Switch(L"-nocheckregkeys")) return;
  IniDocument& ini = *s.UninstallIni;
  const std::wstring_view section = uninstall::kRegistryKeys.section;
  const IniDocument::Section* sec = ini.GetSection(section);
  if (!sec) return;
  const std::wstring path = key.Format();
  std::vector<std::wstring> emptied;
  for (const auto& e : sec->entries)
    if (!e.value.empty() && path.find(e.value) != std::wstring::npos) emptied.push_back(e.key);
  for (const auto& k : emptied) WriteEntry(ini, section, k, L"");
}

}  // namespace ek
