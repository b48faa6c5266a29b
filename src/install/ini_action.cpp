#include "install/ini_action.h"

#include "core/setup_log.h"
#include "core/setup_state.h"
#include "config/language.h"
#include "base/record_list.h"
#include "base/text.h"
#include "base/uninstall_entries.h"
#include "config/utilities.h"
#include "config/variables.h"
#include "core/failure_report.h"
#include "install/folder_tree.h"
#include "install/ini_file_editor.h"
#include "install/uninstall_info.h"
#include "platform/file_system.h"

namespace ek {
namespace {

// A value holds one line; a line break from "<#>" would split the file's
// structure.
std::wstring OneLine(const std::wstring& text) { return ReplaceAll(ReplaceAll(text, L"\r\n", L" "), L"\n", L" "); }

// The file's later records are skipped until an edit succeeds.
void EditFailed(const std::wstring& file, const std::wstring& messageArgument, const std::wstring& cause) {
  State().FailedIniFile = file;
  ReportFailure(L"Error editing INI file: " + file, cause, FormatAndExpand(LangText(L"Messages", 19), messageArgument));
}

}  // namespace

void ApplyIniRecord(std::wstring_view record) {
  const auto f = SplitRecord(record);
  if (f.size() != 7) return;
  auto& s = State();
  const std::wstring file = ExpandVariables(PickLanguageText(f[0]));
  if (file == s.FailedIniFile) return;  // also an empty path
  const std::wstring section = ExpandVariables(f[1]);
  const std::wstring key = ExpandVariables(f[2]);
  const std::wstring value = OneLine(ExpandVariables(f[3]));
  const bool overwrite = ToUpperAscii(f[4]) == L"YES";
  const bool recordIt = ToUpperAscii(f[5]) == L"YES";
  const bool existingOnly = ToUpperAscii(f[6]) == L"YES";
  if (Trim(section).empty() || Trim(key).empty()) return;

  const std::wstring path = ExtendedPath(file);
  const bool existed = platform::FileExists(path);
  if (existingOnly && !existed) return;
  if (!existed && !platform::DirectoryExists(ExtendedPath(FolderPart(file)))) {
    const auto failed = CreateMissingFolders(file, FolderScanStart(file), [&](const std::wstring& folder) {
      if (s.CreateUninstaller && recordIt) AddToUninstallList(uninstall::kFolders, {folder});
    });
    if (failed) {
      // The folder's line says what failed; the file's line follows it.
      WriteLog(L"Error creating directory: " + *failed);
      EditFailed(file, file, {});
      return;
    }
  }

  IniFileText text;
  if (!LoadIniFile(path, text)) {
    EditFailed(file, file + L"<#>" + key, FailureCause());
    return;
  }
  IniFileEditor editor;
  editor.SetText(text.text);
  if (!overwrite && editor.KeyExists(section, key)) return;
  editor.Write(section, key, value);
  text.text = editor.Text();
  if (!SaveIniFile(path, text)) {
    EditFailed(file, file + L"<#>" + key, FailureCause());
    return;
  }
  s.FailedIniFile.clear();
  if (s.CreateUninstaller && recordIt) {
    // A file this installation created goes as a whole.
    if (existed) AddToUninstallList(uninstall::kIniValues, {file, section, key});
    else AddToUninstallList(uninstall::kFiles, {file});
  }
}

}  // namespace ek
