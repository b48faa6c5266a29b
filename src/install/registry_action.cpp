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
void RecordMissingKeys(const uninstall::RegistryKeyEntry& entry, platform::RegView view) {
  const platform::RegRoot root = platform::RegRootOf(entry.root);
  const std::wstring key = entry.key + L"\\";
  for (size_t p = key.find(L'\\'); p != std::wstring::npos; p = key.find(L'\\', p + 1)) {
    const std::wstring part = key.substr(0, p);
    if (part.empty() || platform::RegKeyExists(root, part, view)) continue;
    AddToUninstallList(uninstall::kRegistryKeys, {entry.mark, entry.root, part});
  }
}

enum class WriteResult { Written, Failed, UnknownType };

// Failed: cause holds the Windows cause, or nothing when the data could not
// be read as the type.
WriteResult WriteData(platform::RegKey& key, const RegistryRecord& r, std::wstring& cause) {
  std::optional<bool> written;
  if (r.type == L"REG_SZ" || r.type == L"REG_EXPAND_SZ") {
    written = key.WriteString(r.name, r.data, r.type == L"REG_EXPAND_SZ");
  } else if (r.type == L"REG_DWORD") {
    const auto v = ParseDwordData(r.data);
    if (!v) return WriteResult::Failed;
    written = key.WriteDword(r.name, *v);
  } else if (r.type == L"REG_BINARY") {
    const auto v = ParseBinaryData(r.data);
    if (!v) return WriteResult::Failed;
    written = key.WriteBinary(r.name, *v);
  } else {
    return WriteResult::UnknownType;
  }
  if (*written) return WriteResult::Written;
  cause = FailureCause();
  return WriteResult::Failed;
}

// The fields of a record, read as ParseRegistryRecord describes.
std::optional<RegistryRecord> ReadRecordFields(std::wstring_view keyPath, std::wstring_view name,
                                               std::wstring_view type, std::wstring_view data,
                                               std::wstring_view overwrite, std::wstring_view record,
                                               std::wstring_view view) {
  const std::wstring path = StripTrailingBackslash(ExpandVariables(keyPath));
  const size_t slash = path.find(L'\\');
  if (slash == std::wstring::npos) return std::nullopt;
  RegistryRecord r;
  r.root = ToUpperAscii(path.substr(0, slash));
  r.key = path.substr(slash + 1);
  r.name = ExpandVariables(name);
  r.type = ToUpperAscii(type);
  r.data = ExpandVariables(data);
  r.overwrite = ToUpperAscii(overwrite) == L"YES";
  r.record = ToUpperAscii(record) == L"YES";
  r.view = ToUpperAscii(view);
  return r;
}

}  // namespace

std::optional<RegistryRecord> ParseRegistryRecord(std::wstring_view record) {
  if (record.empty()) return std::nullopt;
  const auto f = SplitRecord(record);
  if (f.size() != 7) return std::nullopt;
  return ReadRecordFields(f[0], f[1], f[2], f[3], f[4], f[5], f[6]);
}

std::optional<RegistryRecord> SetupRegistryValue(std::wstring_view keyPath, std::wstring_view name,
                                                 std::wstring_view data) {
  return ReadRecordFields(keyPath, name, L"REG_SZ", data, L"Yes", L"Yes", L"Default");
}

std::optional<RegistryTarget> MapRegistryRoot(std::wstring_view root, std::wstring_view key, bool allUsers,
                                              bool isAdmin) {
  // HKEY_DEFAULT is the machine for all users, else the user.
  const std::optional<uninstall::Root> mapped =
      root == L"HKEY_DEFAULT" || root == L"HKDE"
          ? (allUsers ? uninstall::Root::LocalMachine : uninstall::Root::CurrentUser)
          : uninstall::ParseRoot(root);
  if (!mapped) return std::nullopt;
  RegistryTarget t{*mapped, std::wstring(key)};
  if (!allUsers && !isAdmin) {
    if (t.root == uninstall::Root::LocalMachine) {
      t.root = uninstall::Root::CurrentUser;
    } else if (t.root == uninstall::Root::ClassesRoot) {
      t.root = uninstall::Root::CurrentUser;
      t.key = L"Software\\Classes\\" + t.key;
    }
  }
  return t;
}

uninstall::ViewMark ViewMarkOf(std::wstring_view view) {
  if (view == L"32-BIT") return uninstall::ViewMark::View32;
  if (view == L"64-BIT") return uninstall::ViewMark::View64;
  return uninstall::ViewMark::Default;
}

platform::RegView RegistryViewOf(std::wstring_view view, bool is64BitEngine) {
  return platform::RegViewOf(ViewMarkOf(view), is64BitEngine);
}

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

bool ApplyRegistryRecord(const RegistryRecord& r) {
  auto& s = State();
  const auto target = MapRegistryRoot(r.root, r.key, s.AllUsers, s.IsAdmin);
  if (!target) return true;
  const platform::RegRoot root = platform::RegRootOf(target->root);
  const platform::RegView view = RegistryViewOf(r.view, s.Is64BitEngine);
  const uninstall::RegistryKeyEntry entry{ViewMarkOf(r.view), target->root, target->key};
  const std::wstring keyText = std::wstring(uninstall::RootName(target->root)) + L"\\" + target->key;

  bool keysRecorded = false;
  if (s.CreateUninstaller && r.record && !platform::RegKeyExists(root, target->key, view)) {
    keysRecorded = true;
    RecordMissingKeys(entry, view);
  }

  platform::RegKey key;
  if (!key.Create(root, target->key, view)) {
    LogFailure(L"Error creating registry key: " + keyText, FailureCause());
    s.HadErrors = true;
    const bool goOn = AskContinueAfterError(FormatAndExpand(LangText(L"Messages", 17), keyText) + ContinueText());
    // The entries just made name keys that do not exist.
    if (keysRecorded) KeepRegistryKey(entry);
    return goOn;
  }
  if (!r.overwrite && key.ValueExists(r.name)) return true;

  std::wstring cause;
  const WriteResult written = WriteData(key, r, cause);
  if (written == WriteResult::Failed) {
    const std::wstring valueText = keyText + L": " + r.name;
    LogFailure(L"Error writing registry value: " + valueText, cause);
    s.HadErrors = true;
    key.Close();
    return AskContinueAfterError(FormatAndExpand(LangText(L"Messages", 18), valueText) + ContinueText());
  }
  key.Close();
  // A type the engine cannot write leaves the value as it was; recording it
  // would let the uninstaller delete a value this installation never wrote.
  if (written == WriteResult::UnknownType) return true;
  if (s.CreateUninstaller) {
    if (r.record) AddToUninstallList(uninstall::kRegistryValues, {entry, r.name});
    else KeepRegistryKey(entry);
  }
  host().Pump();
  return true;
}

bool ApplyRegistryRecord(std::wstring_view text) {
  const auto r = ParseRegistryRecord(text);
  return r ? ApplyRegistryRecord(*r) : true;
}

}  // namespace ek
