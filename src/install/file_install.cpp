#include "install/file_install.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
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
#include "install/install_journal.h"
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
  // The entries named by a record number (decimal, as the record's key),
  // sorted by it: eight bytes a file. Folder records have no entry, so the
  // numbers need not be dense.
  struct Numbered {
    uint32_t number;
    uint32_t entry;
  };
  std::vector<Numbered> byNumber;

  // The reason it cannot be read, when the file opens but the archive is
  // refused: the package is damaged.
  ZipError refused = ZipError::None;

  bool Open(const std::wstring& path) {
    if (!file.OpenRead(path)) return false;
    source = std::make_unique<platform::FileByteSource>(file);
    refused = zip.Open(*source);
    if (refused != ZipError::None) return false;
    const auto& entries = zip.Entries();
    byNumber.clear();
    byNumber.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
      // The record's text form exactly: "7", never "07" or "+7".
      const std::wstring& name = entries[i].name;
      const auto n = ParseUnsignedDecimal(name);
      if (n && *n < UINT32_MAX && ToText(static_cast<int64_t>(*n)) == name)
        byNumber.push_back({static_cast<uint32_t>(*n), static_cast<uint32_t>(i)});
    }
    // Of equal names the first entry counts.
    std::stable_sort(byNumber.begin(), byNumber.end(),
                     [](const Numbered& a, const Numbered& b) { return a.number < b.number; });
    return true;
  }
  const ZipEntry* Entry(size_t record) const {
    const auto it = std::lower_bound(byNumber.begin(), byNumber.end(), record,
                                     [](const Numbered& a, size_t n) { return a.number < n; });
    if (it == byNumber.end() || it->number != record) return nullptr;
    return &zip.Entries()[it->entry];
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

// Pending window messages at most every few hundredths of a second: often
// enough for the window to repaint and a close request to come through,
// without a round trip to the window system for each of thousands of small
// files.
class MessagePacer {
 public:
  void Pump() {
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::milliseconds(20)) return;
    last_ = now;
    host().Pump();
  }

 private:
  std::chrono::steady_clock::time_point last_{};
};

MessagePacer g_pacer;

// A file being written, with the window kept alive between its pieces.
class PacedFileSink : public ByteSink {
 public:
  explicit PacedFileSink(platform::File& file) : file_(file) {}
  bool Write(const void* data, size_t len) override {
    if (!file_.Write(data, len)) return false;
    g_pacer.Pump();
    return true;
  }

 private:
  platform::File& file_;
};

// Entries from this size on are inflated on a second thread while the
// written pieces go to the disk; a smaller one is done before a thread
// would have started.
constexpr uint64_t kInflateAheadFrom = 1024 * 1024;

// Writes one entry to an exact path, with the stored time and attributes.
[[nodiscard]] bool ExtractEntryTo(DataArchive& a, const ZipEntry& e, const std::wstring& dest, bool setTime, bool setAttributes,
                    ExtractFailure* failure = nullptr) {
  platform::File out;
  if (!out.Create(dest)) {
    if (failure) failure->cause = FailureCause();
    return false;
  }
  PacedFileSink sink(out);
  const ZipError err = e.uncompressedSize >= kInflateAheadFrom ? a.zip.ExtractAhead(e, sink) : a.zip.Extract(e, sink);
  if (failure) {
    if (err == ZipError::WriteFailed) failure->cause = FailureCause();
    else if (err != ZipError::None) failure->damage = err;
  }
  if (err != ZipError::None) {
    out.Close();
    // A damaged entry must not leave a file that looks installed; what
    // cannot be deleted is replaced or reported by the caller.
    Ignore(platform::DeleteFileAt(dest));
    return false;
  }
  std::optional<uint64_t> time;
  std::optional<uint32_t> attributes;
  if (setTime) time = platform::DosTimeToFileTime(e.dosDate, e.dosTime);
  if (setAttributes && e.HostIsDos()) attributes = e.externalAttributes & 0x27;  // read-only, hidden, system, archive
  // Both through the open file, in one call; when that is refused, each on
  // its own by the path. A time or attributes that cannot be set leave the
  // file installed as it is.
  const bool stamped = out.SetTimeAndAttributes(time, attributes);
  out.Close();
  if (!stamped) {
    if (time) Ignore(platform::SetLastWriteTime(dest, *time));
    if (attributes) Ignore(platform::SetAttributes(dest, *attributes ? *attributes : platform::kAttrNormal));
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
    // Whether the destination is known not to be there: then nothing needs
    // to look for it again before the copy.
    bool absent = true;

    if (!folderRecord) {
      host().SetProgress(30 + static_cast<int>(std::lround(static_cast<double>(i) * 70.0 / total_)));
      g_pacer.Pump();
      if (platform::FileExists(xd)) {
        if (recordIt && settings_.keepExistingOutOfList) recordIt = false;
        if (!ClearExistingFile(i, d, xd, record.Overwrite(), absent)) return;
      }
    }
    if (folderRecord || !FolderExists(FolderPart(d))) {
      if (!CreateFoldersFor(d, raw, recordIt)) return;
    }
    if (folderRecord) return;
    if (!absent) FreeFileInTheWay(d, xd);
    CopyWithRetry(i, d, xd, recordIt, absent);
  }

  // Files of one folder follow each other: the folder found or made for the
  // previous file is not looked for again.
  bool FolderExists(const std::wstring& folder) {
    if (!knownFolder_.empty() && folder == knownFolder_) return true;
    if (!platform::DirectoryExists(ExtendedPath(folder))) return false;
    knownFolder_ = folder;
    return true;
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

  // False when the existing file stays and the record ends; `absent` tells
  // whether it is gone.
  bool ClearExistingFile(int i, const std::wstring& d, const std::wstring& xd, OverwriteMode mode, bool& absent) {
    auto& s = State();
    absent = false;
    switch (Decide(i, d, xd, mode)) {
      case OverwriteMode::Keep:
        if (!settings_.registerSkippedFiles) DropOthersEntries(d);
        return false;
      case OverwriteMode::Replace:
        // Both may fail: a file that stays is freed and replaced below, and
        // its failure reported there.
        if (s.BackupFiles) Ignore(platform::CopyFileTo(xd, s.SetupTempDir + L"\\" + FileNamePart(d) + L"ekbackup", true));
        absent = platform::DeleteFileAt(xd);
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
    if (!failed) {
      knownFolder_ = FolderPart(d);
      return true;
    }
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
  void CopyWithRetry(int i, const std::wstring& d, const std::wstring& xd, bool recordIt, bool absent) {
    auto& s = State();
    while (true) {
      // A file that cannot be deleted makes the extraction fail, which is reported.
      if (!absent && platform::FileExists(xd)) Ignore(platform::DeleteFileAt(xd));
      absent = false;  // a retry looks again
      const ZipEntry* e = archive_.Entry(static_cast<size_t>(i));
      ExtractFailure failure;
      // Named before it is written: a file cut short by a kill is known.
      if (e) JournalFileAhead(d);
      if (e && ExtractEntryTo(archive_, *e, xd, settings_.setModifyTime, settings_.setAttributes, &failure)) {
        // Only a courtesy to tools that look at creation times.
        if (settings_.stampCreation) Ignore(platform::SetCreationTimeNow(xd));
        if (s.CreateUninstaller && recordIt) AddToUninstallList(uninstall::kFiles, {d});
        g_pacer.Pump();
        if (total_ < 50) platform::SleepMs(100);
        return;
      }
      JournalFileAhead(std::wstring());  // what is there now is not the setup's half
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
  std::wstring knownFolder_;                 // the folder of the last file, which exists
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
  BatchInstallJournal(true);
  FileStage(archive).Run();
  JournalFileAhead(std::wstring());  // the last file is complete
  BatchInstallJournal(false);
  archive.Close();
  g_archive = nullptr;
}

bool UnpackArchiveEntry(const std::wstring& archivePath, size_t index, const std::wstring& dest) {
  DataArchive archive;
  if (!archive.Open(archivePath)) return false;
  const ZipEntry* e = archive.Entry(index);
  const bool ok = e && ExtractEntryTo(archive, *e, dest, false, false);
  archive.Close();
  return ok;
}

}  // namespace ek
