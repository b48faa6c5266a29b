#include "install/registry_action.h"

#include "core/setup_log.h"
#include "core/host.h"
#include "core/setup_state.h"
#include "config/language.h"
#include "base/record_list.h"
#include "base/text.h"
#include "config/variables.h"
#include "core/failure_report.h"
#include "install/uninstall_info.h"
#include "platform/ui.h"

namespace ek {
namespace {

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

std::wstring ContinueText() { return L"\r\n\r\n" + LangText(L"Messages", 36, L"Continue anyway?"); }

// Every missing ancestor of the key and the key itself, shortest first, so
// that the uninstaller can remove exactly what this record creates.
void RecordMissingKeys(const RegistryTarget& t, platform::RegView view, const std::wstring& mark) {
  const std::wstring key = t.key + L"\\";
  for (size_t p = key.find(L'\\'); p != std::wstring::npos; p = key.find(L'\\', p + 1)) {
    const std::wstring part = key.substr(0, p);
    if (part.empty() || platform::RegKeyExists(t.root, part, view)) continue;
    AddToUninstallList(L"RegistryKeys", mark + t.rootName + L"\\" + part);
  }
}

enum class WriteResult { Written, Failed, UnknownType };

WriteResult WriteData(platform::RegKey& key, const RegistryRecord& r) {
  if (r.type == L"REG_SZ" || r.type == L"REG_EXPAND_SZ")
    return key.WriteString(r.name, r.data, r.type == L"REG_EXPAND_SZ") ? WriteResult::Written : WriteResult::Failed;
  if (r.type == L"REG_DWORD") {
    const auto v = ParseDwordData(r.data);
    return v && key.WriteDword(r.name, *v) ? WriteResult::Written : WriteResult::Failed;
  }
  if (r.type == L"REG_BINARY") {
    const auto v = ParseBinaryData(r.data);
    return v && key.WriteBinary(r.name, *v) ? WriteResult::Written : WriteResult::Failed;
  }
  return WriteResult::UnknownType;
}

}  // namespace

std::optional<RegistryRecord> ParseRegistryRecord(std::wstring_view record) {
  if (record.empty()) return std::nullopt;
  const auto f = SplitRecord(record);
  if (f.size() != 7) return std::nullopt;
  const std::wstring path = StripTrailingBackslash(ExpandVariables(f[0]));
  const size_t slash = path.find(L'\\');
  if (slash == std::wstring::npos) return std::nullopt;
  RegistryRecord r;
  r.root = ToUpperAscii(path.substr(0, slash));
  r.key = path.substr(slash + 1);
  r.name = ExpandVariables(f[1]);
  r.type = ToUpperAscii(f[2]);
  r.data = ExpandVariables(f[3]);
  r.overwrite = ToUpperAscii(f[4]) == L"YES";
  r.record = ToUpperAscii(f[5]) == L"YES";
  r.view = ToUpperAscii(f[6]);
  return r;
}

std::optional<RegistryTarget> MapRegistryRoot(std::wstring_view root, std::wstring_view key, bool allUsers,
                                              bool isAdmin) {
  std::wstring name(root);
  std::wstring path(key);
  if (name.size() < 5) {
    if (name == L"HKCU") name = L"HKEY_CURRENT_USER";
    else if (name == L"HKLM") name = L"HKEY_LOCAL_MACHINE";
    else if (name == L"HKCR") name = L"HKEY_CLASSES_ROOT";
    else if (name == L"HKU") name = L"HKEY_USERS";
    else if (name == L"HKDE") name = L"HKEY_DEFAULT";
  }
  if (name == L"HKEY_DEFAULT") name = allUsers ? L"HKEY_LOCAL_MACHINE" : L"HKEY_CURRENT_USER";
  if (!allUsers && !isAdmin) {
    if (name == L"HKEY_LOCAL_MACHINE") {
      name = L"HKEY_CURRENT_USER";
    } else if (name == L"HKEY_CLASSES_ROOT") {
      name = L"HKEY_CURRENT_USER";
      path = L"Software\\Classes\\" + path;
    }
  }
  RegistryTarget t;
  if (name == L"HKEY_CURRENT_USER") t.root = platform::RegRoot::CurrentUser;
  else if (name == L"HKEY_LOCAL_MACHINE") t.root = platform::RegRoot::LocalMachine;
  else if (name == L"HKEY_CLASSES_ROOT") t.root = platform::RegRoot::ClassesRoot;
  else if (name == L"HKEY_USERS") t.root = platform::RegRoot::Users;
  else return std::nullopt;
  t.rootName = name;
  t.key = path;
  return t;
}

platform::RegView RegistryViewOf(std::wstring_view view, bool is64BitEngine) {
  if (view == L"32-BIT") return platform::RegView::View32;
  if (view == L"64-BIT") return platform::RegView::View64;
  return is64BitEngine ? platform::RegView::View64 : platform::RegView::View32;
}

wchar_t ViewMarkOf(std::wstring_view view) { return view.empty() ? L'D' : view[0]; }

std::optional<uint32_t> ParseDwordData(std::wstring_view data) {
  const auto v = ParseInt64(data);
  if (!v) return std::nullopt;
  return static_cast<uint32_t>(static_cast<uint64_t>(*v) & 0xFFFFFFFFu);
}

std::optional<std::vector<unsigned char>> ParseBinaryData(std::wstring_view data) {
  // No upper bound: the bytes are built as they are read.
  std::vector<unsigned char> out;
  while (data.size() > 1) {
    const int hi = HexDigit(data[0]), lo = HexDigit(data[1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out.push_back(static_cast<unsigned char>(hi * 16 + lo));
    data.remove_prefix(data.size() >= 3 ? 3 : 2);
  }
  return out;
}

bool ApplyRegistryRecord(std::wstring_view text) {
  const auto r = ParseRegistryRecord(text);
  if (!r) return true;
  auto& s = State();
  const auto target = MapRegistryRoot(r->root, r->key, s.AllUsers, s.IsAdmin);
  if (!target) return true;
  const platform::RegView view = RegistryViewOf(r->view, s.Is64BitEngine);
  const std::wstring mark(1, ViewMarkOf(r->view));
  const std::wstring keyText = target->rootName + L"\\" + target->key;

  bool keysRecorded = false;
  if (s.CreateUninstaller && r->record && !platform::RegKeyExists(target->root, target->key, view)) {
    keysRecorded = true;
    RecordMissingKeys(*target, view, mark);
  }

  platform::RegKey key;
  if (!key.Create(target->root, target->key, view)) {
    WriteLog(L"Error creating registry key: " + keyText);
    s.HadErrors = true;
    const bool goOn = AskContinueAfterError(FormatAndExpand(LangText(L"Messages", 17), keyText) + ContinueText());
    // The entries just made name keys that do not exist.
    if (keysRecorded) KeepRegistryKey(mark + keyText);
    return goOn;
  }
  if (!r->overwrite && key.ValueExists(r->name)) return true;

  const WriteResult written = WriteData(key, *r);
  if (written == WriteResult::Failed) {
    const std::wstring valueText = keyText + L": " + r->name;
    WriteLog(L"Error writing registry value: " + valueText);
    s.HadErrors = true;
    key.Close();
    return AskContinueAfterError(FormatAndExpand(LangText(L"Messages", 18), valueText) + ContinueText());
  }
  key.Close();
  // A type the engine cannot write leaves the value as it was; recording it
  // would let the uninstaller delete a value this installation never wrote.
  if (written == WriteResult::UnknownType) return true;
  if (s.CreateUninstaller) {
    if (r->record) AddToUninstallList(L"RegistryValues", mark + keyText + L"*?" + r->name);
    else KeepRegistryKey(mark + keyText);
  }
  host().Pump();
  return true;
}

}  // namespace ek
