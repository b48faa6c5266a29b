#include "install/file_install.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "base/file_record.h"
#include "base/path_rules.h"
#include "base/record_list.h"
#include "base/result.h"
#include "base/text.h"
#include "base/uninstall_entries.h"
#include "base/version.h"
#include "base/zip_reader.h"
#include "config/language.h"
#include "config/utilities.h"
#include "config/variables.h"
#include "core/failure_report.h"
#include "core/host.h"
#include "core/setup_log.h"
#include "core/setup_state.h"
#include "install/folder_tree.h"
#include "install/install_driver.h"
#include "install/uninstall_info.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "platform/ui.h"

namespace ek {
namespace {

// The engine switches that shape the stage, read when it starts.
struct Settings {
  bool setModifyTime = true;
  bool setAttributes = true;
  bool stampCreation = false;
  bool keepExistingOutOfList = false;
  bool registerSkippedFiles = false;
  bool silentIgnoreErrors = false;

  static Settings FromSwitches() {
    auto& s = State();
    Settings st;
    st.setModifyTime = !Switch(L"-nomodifydate");
    st.setAttributes = !Switch(L"-nofileattrb");
    st.stampCreation = Switch(L"-filecreatedate");
    s.BackupFiles = Switch(L"-backupfiles");
    st.keepExistingOutOfList = Switch(L"-noremoveexistingfile");
    st.registerSkippedFiles = Switch(L"-regskippedfiles");
    st.silentIgnoreErrors = Switch(L"-silentignoreerror");
    s.CheckUninstallDuplicates = !Switch(L"-nocheckfileuninst");
    s.LimitDuplicateCheck = !Switch(L"-nochecklimit");
    s.ExactDuplicateCompare = Switch(L"-nocasesenscheck");
    return st;
  }
};

// The copied data archive, open for the whole stage.
struct DataArchive {
  platform::File file;
  std::unique_ptr<platform::FileByteSource> source;
  ZipReader zip;
  std::unordered_map<std::wstring, size_t> byName;

  // The reason it cannot be read, when the file opens but the archive is
  // refused: the package is damaged.
  ZipError refused = ZipError::None;

  bool Open(const std::wstring& path) {
    if (!file.OpenRead(path)) return false;
    source = std::make_unique<platform::FileByteSource>(file);
    refused = zip.Open(*source);
    if (refused != ZipError::None) return false;
    const auto& entries = zip.Entries();
    byName.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) byName.emplace(entries[i].name, i);
    return true;
  }
  const ZipEntry* Entry(size_t record) const {
    auto it = byName.find(ToText(static_cast<int64_t>(record)));
    if (it != byName.end()) return &zip.Entries()[it->second];
    return nullptr;
  }
  void Close() {
    source.reset();
    file.Close();
  }
};

DataArchive* g_archive = nullptr;

std::wstring ArchivePath() { return State().SetupTempDir + L"\\ekdatafile.zip"; }

// Why an entry could not be written: the Windows cause of a failed write,
// or the damage of the package itself.
struct ExtractFailure {
  std::wstring cause;
  ZipError damage = ZipError::None;  // not None: the archive, not the disk, failed
};

// Writes one entry to an exact path, with the stored time and attributes.
[[nodiscard]] bool ExtractEntryTo(DataArchive& a, const ZipEntry& e, const std::wstring& dest, bool setTime, bool setAttributes,
                    ExtractFailure* failure = nullptr) {
  platform::File out;
  if (!out.Create(dest)) {
    if (failure) failure->cause = FailureCause();
    return false;
  }
  platform::FileByteSink sink(out);
  const ZipError err = a.zip.Extract(e, sink);
  if (failure) {
    if (err == ZipError::WriteFailed) failure->cause = FailureCause();
    else if (err != ZipError::None) failure->damage = err;
  }
  out.Close();
  if (err != ZipError::None) {
    // A damaged entry must not leave a file that looks installed; what
    // cannot be deleted is replaced or reported by the caller.
    Ignore(platform::DeleteFileAt(dest));
    return false;
  }
  // A time or attributes that cannot be set leave the file installed as it is.
  if (setTime) {
    if (auto t = platform::DosTimeToFileTime(e.dosDate, e.dosTime)) Ignore(platform::SetLastWriteTime(dest, *t));
  }
  if (setAttributes && e.HostIsDos()) {
    uint32_t attrs = e.externalAttributes & 0x27;  // read-only, hidden, system, archive
    Ignore(platform::SetAttributes(dest, attrs ? attrs : platform::kAttrNormal));
  }
  return true;
}

[[noreturn]] void Abort() {
  UnpackUninstallerForRollback();
  AbortInstall(false);
}

platform::MsgResult Box(const std::wstring& text, const std::wstring& caption, platform::MsgButtons buttons,
                        int defaultButton = 1) {
  return MessageOnMain(text, platform::MsgIcon::Error, buttons, defaultButton, caption);
}

// The component choices of the options dialog: whole groups of records, or
// the records whose destination holds one of the texts.
struct ComponentExclusions {
  bool skipSource = false;
  bool skipAddon = false;
  std::vector<std::wstring> texts;  // folded

  static ComponentExclusions FromOptions() {
    const auto& o = State().Options;
    ComponentExclusions x;
    if (!o.GroupBox4.visible) return x;
    for (size_t i = 0; i < o.CheckListBox1.size(); ++i) {
      if (o.CheckListBox1[i].checked) continue;
      auto fields = SplitRecord(ReadRecord(Config(), L"Components", i));
      const std::wstring v = fields.size() > 2 ? FoldCase(fields[2]) : std::wstring();
      if (v.empty()) continue;
      if (v == L"$SOURCEDIR") x.skipSource = true;
      else if (v == L"$ADDONFILES") x.skipAddon = true;
      else if (v == L"$ALLFILES" || v == L"$TOTALFILES") x.skipSource = x.skipAddon = true;
      else
        for (auto& part : Split(v, L";"))
          if (!part.empty()) x.texts.push_back(part);
    }
    return x;
  }

  // Records before `sourceFiles` are the product's files, the others add-ons;
  // the updater, the downloader and the uninstaller (written exactly so)
  // come whatever the add-on choice.
  bool Excludes(int index, int sourceFiles, const std::wstring& destination) const {
    if (skipSource && index < sourceFiles) return true;
    const std::wstring& uninstaller = State().UninstallFile;
    if (skipAddon && index >= sourceFiles && destination != L"<InstallDir>\\Updater.exe" &&
        destination != L"<InstallDir>\\Downloader.exe" && destination != L"<InstallDir>\\" + uninstaller)
      return true;
    if (texts.empty()) return false;
    const std::wstring folded = FoldCase(destination);
    for (const auto& x : texts)
      if (Contains(folded, x)) return true;
    return false;
  }
};

// Walks the [Files] records: every step of one record, with the choices
// that hold for the rest of the stage.
class FileStage {
 public:
  explicit FileStage(DataArchive& archive)
      : archive_(archive),
        settings_(Settings::FromSwitches()),
        exclusions_(ComponentExclusions::FromOptions()),
        total_(FileCount()),
        sourceFiles_(SetupInt(L"SourceFiles", 0)) {}

  void Run() {
    for (int i = 0; i < total_; ++i) {
      if (State().CancelRequested) Abort();
      const std::wstring raw = ReadRecord(Config(), kFilesSection, static_cast<size_t>(i));
      const auto record = FileRecord::Parse(raw);
      if (!record || exclusions_.Excludes(i, sourceFiles_, record->destination)) continue;
      InstallRecord(i, raw, *record);
    }
  }

 private:
  // The declared count, never more than the records there are: a count of
  // two billion would otherwise keep the stage looking for missing records
  // for minutes.
  static int FileCount() {
    const size_t records = RecordCount(Config(), kFilesSection);
    return static_cast<int>(std::min<int64_t>(SetupInt(L"TotalFiles", 0), static_cast<int64_t>(records)));
  }

  void InstallRecord(int i, const std::wstring& raw, const FileRecord& record) {
    const std::wstring d = ExpandVariables(record.destination);
    if (d.empty() || !record.HasFlags()) return;
    // A destination is a file or folder of a drive or a share. Anything else
    // (a relative path, which would land in the folder the setup runs from,
    // a device such as CON or COM1, a stream, a name Windows shortens) is
    // neither created nor deleted: the record fails like a file that cannot
    // be written.
    if (!IsPlainAbsolutePath(d, true)) {
      while (true) {
        LogFailure(L"Unable to create file: " + d, L"Not a file path");
        if (!RetryAfterFailure(d, false)) return;
      }
    }
    bool recordIt = record.RecordForUninstall();
    const bool folderRecord = d.back() == L'\\';
    const std::wstring xd = ExtendedPath(d);

    if (!folderRecord) {
      host().SetProgress(30 + static_cast<int>(std::lround(static_cast<double>(i) * 70.0 / total_)));
      host().Pump();
      if (platform::FileExists(xd)) {
        if (recordIt && settings_.keepExistingOutOfList) recordIt = false;
        if (!ClearExistingFile(i, d, xd, record.Overwrite())) return;
      }
    }
    if (folderRecord || !platform::DirectoryExists(ExtendedPath(FolderPart(d)))) {
      if (!CreateFoldersFor(d, raw, recordIt)) return;
    }
    if (folderRecord) return;
    FreeFileInTheWay(d, xd);
    CopyWithRetry(i, d, xd, recordIt);
  }

  // The mode for a file that exists, once asked or compared: Replace, Keep
  // or ReplaceWithoutBackup.
  OverwriteMode Decide(int i, const std::wstring& d, const std::wstring& xd, OverwriteMode mode) {
    if (mode == OverwriteMode::Ask) mode = Ask(d);
    if (mode == OverwriteMode::ReplaceIfNewer) mode = NewerOrKept(i, xd);
    return mode;
  }

  // A silent run replaces; otherwise the user's answer, or the one that he
  // gave for all.
  OverwriteMode Ask(const std::wstring& d) {
    if (State().Silent) return OverwriteMode::Replace;
    if (remembered_) return *remembered_;
    switch (host().AskOverwrite(FormatAndExpand(LangText(L"Messages", 12), d))) {
      case platform::MsgResult::Yes: return OverwriteMode::Replace;
      case platform::MsgResult::YesToAll: return *(remembered_ = OverwriteMode::Replace);
      case platform::MsgResult::NoToAll: return *(remembered_ = OverwriteMode::Keep);
      default: return OverwriteMode::Keep;
    }
  }

  // The entry, unpacked beside the archive, against the installed file; a
  // comparison that cannot be made replaces the file.
  OverwriteMode NewerOrKept(int i, const std::wstring& xd) {
    const ZipEntry* e = archive_.Entry(static_cast<size_t>(i));
    const std::wstring temp = State().SetupTempDir + L"\\" + ToText(i);
    if (!e || !ExtractEntryTo(archive_, *e, temp, false, false)) return OverwriteMode::Replace;
    const bool newer = IsNewerFile(temp, xd, platform::DosTimeToFileTime(e->dosDate, e->dosTime));
    Ignore(platform::DeleteFileAt(temp));  // goes with the temporary folder at the latest
    return newer ? OverwriteMode::Replace : OverwriteMode::Keep;
  }

  // False when the existing file stays and the record ends.
  bool ClearExistingFile(int i, const std::wstring& d, const std::wstring& xd, OverwriteMode mode) {
    auto& s = State();
    switch (Decide(i, d, xd, mode)) {
      case OverwriteMode::Keep:
        if (!settings_.registerSkippedFiles) DropOthersEntries(d);
        return false;
      case OverwriteMode::Replace:
        // Both may fail: a file that stays is freed and replaced below, and
        // its failure reported there.
        if (s.BackupFiles) Ignore(platform::CopyFileTo(xd, s.SetupTempDir + L"\\" + FileNamePart(d) + L"ekbackup", true));
        Ignore(platform::DeleteFileAt(xd));
        return true;
      default:
        return true;
    }
  }

  // Returns false when the record is to be skipped (the error was accepted).
  bool CreateFoldersFor(const std::wstring& d, const std::wstring& raw, bool recordIt) {
    auto& s = State();
    const auto failed = CreateMissingFolders(d, FolderScanStart(d), [&](const std::wstring& folder) {
      if (s.CreateUninstaller && recordIt) AddToUninstallList(uninstall::kFolders, {folder});
    });
    if (!failed) return true;
    const std::wstring& folder = *failed;
    LogFailure(L"Error creating folder: " + folder, FailureCause());
    const std::wstring e = LangText(L"Messages", 13);
    if (raw.find(L"<InstallDir>") == std::wstring::npos) {
      if (!s.Silent && Box(FormatAndExpand(e, folder) + L"\r" + LangText(L"Messages", 36, L"Continue anyway?"), L"Error",
                           platform::MsgButtons::YesNo) != platform::MsgResult::No) {
        s.HadErrors = true;
        return false;
      }
      Abort();
    }
    if (!s.Silent) Box(FormatAndExpand(e + L"<#><#>" + LangText(L"Messages", 28), folder), L"Setup", platform::MsgButtons::Ok);
    Abort();
  }

  // A file still there (its deletion failed, or the mode keeps no backup):
  // a running program is ended, the read-only attribute cleared, a library
  // unregistered. Every step is an attempt; the copy reports what stays.
  void FreeFileInTheWay(const std::wstring& d, const std::wstring& xd) {
    if (!platform::FileExists(xd)) return;
    const std::wstring name = FileNamePart(d);
    const std::wstring ext = FoldCase(ExtensionPart(d));
    if (ext == L".EXE" && IsProcessRunning(name)) {
      platform::ShellOpen(nullptr, L"", L"cmd.exe", L"/C taskkill /F /IM " + name + L" /T", platform::kSwHide);
      platform::SleepMs(1000);
    }
    if (platform::IsReadOnly(xd)) Ignore(platform::SetAttributes(xd, platform::kAttrNormal));
    if (ext == L".DLL" || ext == L".OCX") {
      Ignore(platform::CallDllExport(xd, "DllUnregisterServer"));
      platform::SleepMs(500);
      host().Pump();
      platform::SleepMs(1000);
      host().Pump();
    }
  }

  // The entry to its destination, as often as the user asks to retry.
  void CopyWithRetry(int i, const std::wstring& d, const std::wstring& xd, bool recordIt) {
    auto& s = State();
    while (true) {
      // A file that cannot be deleted makes the extraction fail, which is reported.
      if (platform::FileExists(xd)) Ignore(platform::DeleteFileAt(xd));
      const ZipEntry* e = archive_.Entry(static_cast<size_t>(i));
      ExtractFailure failure;
      if (e && ExtractEntryTo(archive_, *e, xd, settings_.setModifyTime, settings_.setAttributes, &failure)) {
        // Only a courtesy to tools that look at creation times.
        if (settings_.stampCreation) Ignore(platform::SetCreationTimeNow(xd));
        if (s.CreateUninstaller && recordIt) AddToUninstallList(uninstall::kFiles, {d});
        host().Pump();
        if (total_ < 50) platform::SleepMs(100);
        return;
      }
      LogFailure(L"Unable to create file: " + d, failure.cause);
      // A disk can be freed and a program closed; a damaged package stays
      // damaged, and the log says so.
      if (!e) WriteLog(L"Error=Damaged package: the data archive has no entry " + ToText(i));
      else if (failure.damage != ZipError::None)
        WriteLog(L"Error=Damaged package: entry " + ToText(i) + L" of the data archive: " + ZipErrorText(failure.damage));
      if (!RetryAfterFailure(d, platform::FileExists(xd))) return;
    }
  }

  // After a file that could not be written: the question Abort, Retry or
  // Ignore (a silent run aborts, or ignores with -silentignoreerror). True
  // when the user asks to try again; an abort does not return.
  bool RetryAfterFailure(const std::wstring& d, bool fileStillThere) {
    auto& s = State();
    std::wstring message = FormatAndExpand(LangText(L"Messages", 14, L"Error creating file:"), d);
    if (fileStillThere)
      message += L"\r\n\r\n" + LangText(L"Messages", 39, L"The file may be open in another program. Close it and try again.");
    if (s.Silent) {
      if (!settings_.silentIgnoreErrors) Abort();
    } else {
      const auto answer = Box(message, L"Error", platform::MsgButtons::AbortRetryIgnore, 2);
      if (answer == platform::MsgResult::Retry) return true;
      if (answer == platform::MsgResult::Abort) Abort();
    }
    s.HadErrors = true;
    DropOthersEntries(d);
    return false;
  }

  DataArchive& archive_;
  const Settings settings_;
  const ComponentExclusions exclusions_;
  const int total_;
  const int sourceFiles_;
  std::optional<OverwriteMode> remembered_;  // Yes to All or No to All
};

}  // namespace

void DropOthersEntries(const std::wstring& path) {
  if (!Config().SectionExists(L"Others")) return;
  const std::wstring upper = FoldCase(path);
  IniDocument& c = MutableConfig();
  for (const auto& key : c.KeyNames(L"Others")) {
    if (Contains(FoldCase(ExpandVariables(c.ReadString(L"Others", key))), upper)) c.WriteString(L"Others", key, L"");
  }
}

bool IsNewerFile(const std::wstring& newFile, const std::wstring& installedFile, std::optional<uint64_t> entryTime) {
  const std::wstring vNew = platform::FileVersionText(newFile), vOld = platform::FileVersionText(installedFile);
  if (!vNew.empty() && !vOld.empty()) {
    return CompareVersions(vNew, vOld, false, VersionRulesOf(Config()));
  }
  auto old = platform::LastWriteTime(installedFile);
  if (!entryTime || !old) return true;
  return *entryTime > *old;
}

void UnpackUninstallerForRollback() {
  auto& s = State();
  const int index = SetupInt(L"UninstallIndex", -1);
  if (index != -1) {
    DataArchive local;
    DataArchive* a = g_archive ? g_archive : &local;
    // Without the uninstaller the roll-back does not start; the abort goes on.
    if (a == g_archive || local.Open(ArchivePath())) {
      if (const ZipEntry* e = a->Entry(static_cast<size_t>(index)))
        Ignore(ExtractEntryTo(*a, *e, s.SetupTempDir + L"\\Uninstall.exe", false, false));
    }
    local.Close();
  }
  ReleaseDataArchive();
}

void ReleaseDataArchive() {
  if (g_archive) g_archive->Close();
  g_archive = nullptr;
}

void InstallFiles() {
  auto& s = State();
  DataArchive archive;
  // A product without payload may ship no data archive at all.
  if (!archive.Open(ArchivePath()) && s.DataArchiveSize != 0) {
    if (archive.refused != ZipError::None)
      WriteLog(std::wstring(L"Error=Damaged package: the data archive: ") + ZipErrorText(archive.refused));
    // The process ends without unwinding: the copy must be closed to go.
    archive.Close();
    FailDataArchive();
  }
  g_archive = &archive;
  FileStage(archive).Run();
  archive.Close();
  g_archive = nullptr;
}

}  // namespace ek
