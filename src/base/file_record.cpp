#include "base/file_record.h"

namespace ek {
namespace {

constexpr wchar_t kFlagsSeparator = L'?';

}  // namespace

std::wstring FileRecord::Format() const { return destination + kFlagsSeparator + flags; }

std::optional<FileRecord> FileRecord::Parse(std::wstring_view text) {
  const size_t q = text.find(kFlagsSeparator);
  if (text.empty() || q == std::wstring_view::npos) return std::nullopt;
  return FileRecord{std::wstring(text.substr(0, q)), std::wstring(text.substr(q + 1))};
}

OverwriteMode FileRecord::Overwrite() const {
  const wchar_t c = flags[0];
  if (c < L'0' || c > L'9') return OverwriteMode::Replace;
  switch (c) {
    case L'0': return OverwriteMode::Ask;
    case L'1': return OverwriteMode::Replace;
    case L'2': return OverwriteMode::ReplaceIfNewer;
    case L'3': return OverwriteMode::Keep;
    default: return OverwriteMode::ReplaceWithoutBackup;
  }
}

bool FileRecord::RecordForUninstall() const { return flags[1] == L'1'; }

}  // namespace ek
