// The [Files] records of the configuration: one record per payload file,
// written by the package builder and read by the file stage. A record is the
// destination, "?", and at least two flag characters: the overwrite mode and
// the uninstall flag ("<InstallDir>\bin\tool.dll?11"). Record i installs the
// entry named i of the data archive. Pure.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ek {

inline constexpr std::wstring_view kFilesSection = L"Files";

// What happens to a file that is already there.
enum class OverwriteMode {
  Ask,                   // "0": the user decides (a silent run replaces it)
  Replace,               // "1", and any character that is not a digit
  ReplaceIfNewer,        // "2": by version resources, else by the entry's time
  Keep,                  // "3"
  ReplaceWithoutBackup,  // "4" to "9": replaced in place, without the backup copy
};

struct FileRecord {
  std::wstring destination;  // with variables; a folder record ends with "\"
  std::wstring flags;        // the characters after the first "?"

  [[nodiscard]] std::wstring Format() const;
  // Nothing for an empty record or one without "?".
  [[nodiscard]] static std::optional<FileRecord> Parse(std::wstring_view text);

  // Both flags are there; a record with fewer is skipped.
  [[nodiscard]] bool HasFlags() const { return flags.size() >= 2; }
  // From the first flag; only when HasFlags().
  [[nodiscard]] OverwriteMode Overwrite() const;
  // The second flag is "1": the file and the folders made for it are recorded
  // for the uninstaller. Only when HasFlags().
  [[nodiscard]] bool RecordForUninstall() const;
};

}  // namespace ek
