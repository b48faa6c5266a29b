#include "install/install_journal.h"

#include <optional>

#include "actions/process_launch.h"
#include "base/ini_document.h"
#include "base/result.h"
#include "base/text.h"
#include "base/uninstall_entries.h"
#include "config/utilities.h"
#include "core/setup_log.h"
#include "core/setup_state.h"
#include "core/uninstall_journal.h"
#include "install/file_install.h"
#include "install/install_driver.h"
#include "install/uninstall_info.h"
#include "platform/file_system.h"
#include "platform/process.h"

namespace ek {
namespace {

// The picture of the information file when the journal starts, with what
// the journal is for in its own section; then the changes, which the running
// setup holds open for writing: a journal that can be opened for writing
// has lost its setup.
constexpr std::wstring_view kPictureName = L"ekjournal.ini";
constexpr std::wstring_view kChangesName = L"ekjournal.log";
constexpr std::wstring_view kJournalSection = L"ekjournal";
// In the changes: "file=" and "folder=" name what is about to be made.
constexpr std::wstring_view kAheadSection = L"ekahead";
constexpr std::wstring_view kGuidKey = L"GUID";
constexpr std::wstring_view kUpdateKey = L"Update";
constexpr std::wstring_view kInformationFileKey = L"InformationFile";
constexpr std::wstring_view kUninstallIndexKey = L"UninstallIndex";

std::wstring InFolder(const std::wstring& folder, std::wstring_view name) { return folder + L"\\" + std::wstring(name); }

class Journal {
 public:
  bool Open() const { return changes_.IsOpen(); }

  void Start(const std::wstring& folder, const std::wstring& header, const IniDocument& info) {
    folder_ = folder;
    // Without its journal the installation goes on as it always could; only
    // a kill would then leave its traces.
    if (!WriteInformationFile(InFolder(folder, kPictureName), info, header)) return;
    if (!changes_.Create(InFolder(folder, kChangesName))) return;
    lastSection_.clear();
    pending_.clear();
  }

  void Add(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
    if (!Open()) return;
    if (section != lastSection_) {
      pending_ += L"[";
      pending_ += section;
      pending_ += L"]\r\n";
      lastSection_ = section;
    }
    pending_ += key;
    pending_ += L"=";
    pending_ += value;
    pending_ += L"\r\n";
    if (!batch_) Flush();
  }

  void Flush() {
    if (!Open() || pending_.empty()) return;
    const std::string bytes = WideToUtf8(pending_);
    pending_.clear();
    // A journal that cannot be written only weakens the recovery after a kill.
    Ignore(changes_.Write(bytes.data(), bytes.size()));
  }

  void Batch(bool batch) {
    batch_ = batch;
    if (!batch) Flush();
  }

  void End() {
    if (!Open()) return;
    changes_.Close();
    Ignore(platform::DeleteFileAt(InFolder(folder_, kChangesName)));
    Ignore(platform::DeleteFileAt(InFolder(folder_, kPictureName)));
    pending_.clear();
  }

 private:
  std::wstring folder_;
  platform::File changes_;
  std::wstring pending_;      // written with the next flush
  std::wstring lastSection_;  // the section of the last line written or pending
  bool batch_ = false;
};

Journal g_journal;

void Observe(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
  g_journal.Add(section, key, value);
}

// ---- the recovery ------------------------------------------------------------

struct Interrupted {
  std::wstring folder;
  platform::File changes;  // held while it is completed: no other setup takes it meanwhile
  IniDocument info;        // the information file as it was when the setup died
  std::wstring fileAhead, folderAhead;
  std::wstring guid, informationFile;
  bool update = false;
  int uninstallIndex = -1;
};

// Applies the lines of the changes. The last line may have been cut by the
// kill: a line counts only with its line break.
void Replay(std::wstring_view text, Interrupted& j) {
  std::wstring section;
  size_t pos = 0;
  while (true) {
    const size_t end = text.find(L"\r\n", pos);
    if (end == std::wstring_view::npos) break;
    const std::wstring_view line = text.substr(pos, end - pos);
    pos = end + 2;
    if (line.size() >= 2 && line.front() == L'[' && line.back() == L']') {
      section = std::wstring(line.substr(1, line.size() - 2));
      continue;
    }
    const size_t eq = line.find(L'=');
    if (eq == std::wstring_view::npos || section.empty()) continue;
    const std::wstring_view key = line.substr(0, eq), value = line.substr(eq + 1);
    if (section == kAheadSection) {
      if (key == L"file") j.fileAhead = value;
      else if (key == L"folder") j.folderAhead = value;
    } else {
      j.info.WriteString(section, key, value);
    }
  }
}

// The journal of a setup that has died, or nothing: no journal, one that a
// running setup holds, or one that cannot be read.
std::optional<Interrupted> ReadInterrupted(const std::wstring& folder) {
  const std::wstring changesPath = InFolder(folder, kChangesName);
  if (!platform::FileExists(changesPath)) return std::nullopt;
  Interrupted j;
  j.folder = folder;
  if (!j.changes.OpenReadWrite(changesPath)) return std::nullopt;
  bool ok = false;
  const DecodedText picture = platform::ReadTextFile(InFolder(folder, kPictureName), TextEncoding::Utf8, &ok);
  if (!ok) return std::nullopt;
  j.info.Parse(picture.text);
  j.guid = j.info.ReadString(kJournalSection, kGuidKey);
  j.update = j.info.ReadBool(kJournalSection, kUpdateKey, false);
  j.informationFile = j.info.ReadString(kJournalSection, kInformationFileKey);
  j.uninstallIndex = j.info.ReadInteger(kJournalSection, kUninstallIndexKey, -1);
  j.info.EraseSection(kJournalSection);
  const uint64_t size = j.changes.Size();
  std::string bytes(static_cast<size_t>(size), '\0');
  if (size && !j.changes.ReadAt(0, bytes.data(), bytes.size())) return std::nullopt;
  Replay(Utf8ToWide(bytes), j);
  return j;
}

// Whether the installation recorded anything that a roll-back would undo.
bool HasListEntries(const IniDocument& info) {
  for (const auto& section : info.Sections()) {
    if (EqualsNoCase(section.name, uninstall::kGeneral) || EqualsNoCase(section.name, uninstall::kMessages) ||
        EqualsNoCase(section.name, uninstall::kUpdater))
      continue;
    if (!section.entries.empty()) return true;
  }
  return false;
}

void Complete(Interrupted& j) {
  // The file being written when the setup died is cut short: it goes,
  // whatever the lists say, so that no run keeps it for a complete file.
  if (!j.fileAhead.empty()) {
    const std::wstring file = ExtendedPath(j.fileAhead);
    if (platform::IsReadOnly(file)) Ignore(platform::SetAttributes(file, platform::kAttrNormal));
    Ignore(platform::DeleteFileAt(file));  // what cannot go is replaced by the new installation
  }
  // A folder made but not yet recorded: listed, it goes when it is empty.
  if (!j.folderAhead.empty()) {
    const auto listed = uninstall::ListValues(j.info, uninstall::kFolders.section);
    bool known = false;
    for (const auto& f : listed) known = known || EqualsNoCase(f, j.folderAhead);
    if (!known)
      j.info.WriteString(uninstall::kFolders.section, ToText(NextListKey(j.info, uninstall::kFolders.section)),
                         j.folderAhead);
  }
  if (j.update) {
    // An aborted update stays installed: its information file is the
    // picture of the installed version with what the update added.
    if (!j.informationFile.empty() && WriteInformationFile(ExtendedPath(j.informationFile), j.info))
      WriteLog(L"Interrupted update recorded: " + j.informationFile);
  } else if (HasListEntries(j.info)) {
    const std::wstring uninstaller = InFolder(j.folder, L"Uninstall.exe");
    const bool ready =
        WriteInformationFile(InFolder(j.folder, uninstall::kInfoFileName), j.info) &&
        j.uninstallIndex >= 0 &&
        UnpackArchiveEntry(InFolder(j.folder, L"ekdatafile.zip"), static_cast<size_t>(j.uninstallIndex), uninstaller);
    if (ready) {
      RunProcess(nullptr, uninstaller, L"/T /S /R", platform::kSwShowNormal, true, false, true);
      WriteLog(L"Interrupted installation rolled back: " + j.folder);
    } else {
      WriteLog(L"Interrupted installation could not be rolled back: " + j.folder);
    }
  }
  j.changes.Close();
  DeleteFolderTree(j.folder);
  if (platform::DirectoryExists(j.folder)) Ignore(platform::RemoveDirectoryAt(j.folder));
}

}  // namespace

void StartInstallJournal() {
  auto& s = State();
  if (!s.UninstallIni || s.SetupTempDir.empty()) return;
  std::wstring picture = L"[" + std::wstring(kJournalSection) + L"]\r\n";
  picture += std::wstring(kGuidKey) + L"=" + InformationFileGuid() + L"\r\n";
  picture += std::wstring(kUpdateKey) + L"=" + BoolText(s.UpdateMode) + L"\r\n";
  picture += std::wstring(kInformationFileKey) + L"=" + InstalledInfoFilePath() + L"\r\n";
  picture += std::wstring(kUninstallIndexKey) + L"=" + ToText(SetupInt(L"UninstallIndex", -1)) + L"\r\n\r\n";
  g_journal.Start(s.SetupTempDir, picture, *s.UninstallIni);
  if (g_journal.Open()) ObserveListChanges(&Observe);
}

void BatchInstallJournal(bool batch) { g_journal.Batch(batch); }

void JournalFileAhead(const std::wstring& path) {
  g_journal.Add(kAheadSection, L"file", path);
  g_journal.Flush();
}

void JournalFolderAhead(const std::wstring& path) {
  g_journal.Add(kAheadSection, L"folder", path);
  g_journal.Flush();
}

void EndInstallJournal() {
  ObserveListChanges(nullptr);
  g_journal.Batch(false);
  g_journal.End();
}

void RecoverInterruptedInstallations() {
  const auto& s = State();
  const std::wstring temp = GetTempFolder();
  if (temp.empty()) return;
  const std::wstring guid = InformationFileGuid();
  for (int n = 0; n <= 20; ++n) {
    const std::wstring folder = temp + L"\\EKTMP" + ToText(n);
    if (EqualsNoCase(folder, s.SetupTempDir)) continue;
    auto j = ReadInterrupted(folder);
    if (j && !guid.empty() && EqualsNoCase(j->guid, guid)) Complete(*j);
  }
}

}  // namespace ek
