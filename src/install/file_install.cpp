#include "install/file_install.h"

#include <cmath>
#include <unordered_map>
#include <vector>

#include "core/setup_log.h"
#include "core/setup_state.h"
#include "config/language.h"
#include "base/record_list.h"
#include "base/text.h"
#include "config/utilities.h"
#include "config/variables.h"
#include "base/version.h"
#include "install/folder_tree.h"
#include "install/install_driver.h"
#include "install/uninstall_info.h"
#include "base/zip_reader.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "core/host.h"

namespace ek {
namespace {

struct Settings {
  bool setModifyTime = true;
  bool setAttributes = true;
  bool stampCreation = false;
  bool keepExistingOutOfList = false;
  bool registerSkippedFiles = false;
  bool silentIgnoreErrors = false;
};

// The copied data archive, open for the whole stage.
struct DataArchive {
  platform::File file;
  std::unique_ptr<platform::FileByteSource> source;
  ZipReader zip;
  std::unordered_map<std::wstring, size_t> byName;

  bool Open(const std::wstring& path) {
    if (!file.OpenRead(path)) return false;
    source = std::make_unique<platform::FileByteSource>(file);
    if (zip.Open(*source) != ZipError::None) return false;
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

// Writes one entry to an exact path, with the stored time and attributes.
bool ExtractEntryTo(DataArchive& a, const ZipEntry& e, const std::wstring& dest, bool setTime, bool setAttributes) {
  platform::File out;
  if (!out.Create(dest)) return false;
  platform::FileByteSink sink(out);
  const ZipError err = a.zip.Extract(e, sink);
  out.Close();
  if (err != ZipError::None) {
    // A damaged entry must not leave a file that looks installed.
    platform::DeleteFileAt(dest);
    return false;
  }
  if (setTime) {
    if (auto t = platform::DosTimeToFileTime(e.dosDate, e.dosTime)) platform::SetLastWriteTime(dest, *t);
  }
  if (setAttributes && e.HostIsDos()) {
    uint32_t attrs = e.externalAttributes & 0x27;  // read-only, hidden, system, archive
    platform::SetAttributes(dest, attrs ? attrs : platform::kAttrNormal);
  }
  return true;
}

void Abort() {
  UnpackUninstallerForRollback();
  AbortInstall(false);
}

int OverwriteModeOf(wchar_t c) { return (c >= L'0' && c <= L'9') ? c - L'0' : 1; }

platform::MsgResult Box(const std::wstring& text, const std::wstring& caption, platform::MsgButtons buttons,
                        int defaultButton = 1) {
  return MessageOnMain(text, platform::MsgIcon::Error, buttons, defaultButton, caption);
}

// Returns false when the record is to be skipped (the error was accepted).
bool CreateFoldersFor(const std::wstring& d, const std::wstring& rawRecord, bool record) {
  auto& s = State();
  const auto failed = CreateMissingFolders(d, FolderScanStart(d), [&](const std::wstring& folder) {
    if (s.CreateUninstaller && record) AddToUninstallList(L"Folders", folder);
  });
  if (!failed) return true;
  const std::wstring& folder = *failed;
  WriteLog(L"Error creating folder: " + folder);
  const std::wstring e = LangText(L"Messages", 13);
  if (rawRecord.find(L"<InstallDir>") == std::wstring::npos) {
    if (!s.Silent && Box(FormatAndExpand(e, folder) + L"\r" + LangText(L"Messages", 36, L"Continue anyway?"), L"Error",
                         platform::MsgButtons::YesNo) != platform::MsgResult::No) {
      s.HadErrors = true;
      return false;
    }
    Abort();
  }
  if (!s.Silent) Box(FormatAndExpand(e + L"<#><#>" + LangText(L"Messages", 28), folder), L"Setup", platform::MsgButtons::Ok);
  Abort();
  return false;
}

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
  if (index == -1) return;
  DataArchive local;
  DataArchive* a = g_archive;
  if (!a) {
    if (!local.Open(ArchivePath())) return;
    a = &local;
  }
  if (const ZipEntry* e = a->Entry(static_cast<size_t>(index)))
    ExtractEntryTo(*a, *e, s.SetupTempDir + L"\\Uninstall.exe", false, false);
  a->Close();
  g_archive = nullptr;
}

void InstallFiles() {
  auto& s = State();
  DataArchive archive;
  // A product without payload may ship no data archive at all.
  if (!archive.Open(ArchivePath()) && s.DataArchiveSize != 0) FailDataArchive();
  g_archive = &archive;

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
  int remembered = 0;

  bool skipSource = false, skipAddon = false;
  std::vector<std::wstring> exclusions;
  if (s.Options.GroupBox4.visible) {
    for (size_t i = 0; i < s.Options.CheckListBox1.size(); ++i) {
      if (s.Options.CheckListBox1[i].checked) continue;
      auto fields = SplitRecord(ReadRecord(Config(), L"Components", i));
      const std::wstring v = fields.size() > 2 ? FoldCase(fields[2]) : std::wstring();
      if (v.empty()) continue;
      if (v == L"$SOURCEDIR") skipSource = true;
      else if (v == L"$ADDONFILES") skipAddon = true;
      else if (v == L"$ALLFILES" || v == L"$TOTALFILES") skipSource = skipAddon = true;
      else
        for (auto& part : Split(v, L";"))
          if (!part.empty()) exclusions.push_back(part);
    }
  }

  const int total = SetupInt(L"TotalFiles", 0);
  const int sourceFiles = SetupInt(L"SourceFiles", 0);
  for (int i = 0; i < total; ++i) {
    if (s.CancelRequested) Abort();
    if (skipSource && i < sourceFiles) continue;
    const std::wstring rec = ReadRecord(Config(), L"Files", static_cast<size_t>(i));
    const size_t q = rec.find(L'?');
    if (rec.empty() || q == std::wstring::npos) continue;
    const std::wstring t = rec.substr(0, q);
    if (skipAddon && i >= sourceFiles && t != L"<InstallDir>\\Updater.exe" && t != L"<InstallDir>\\Downloader.exe" &&
        t != L"<InstallDir>\\" + s.UninstallFile)
      continue;
    if (!exclusions.empty()) {
      const std::wstring upperT = FoldCase(t);
      bool excluded = false;
      for (const auto& x : exclusions)
        if (Contains(upperT, x)) excluded = true;
      if (excluded) continue;
    }
    const std::wstring d = ExpandVariables(t);
    const std::wstring flags = rec.substr(q + 1);
    if (d.empty() || flags.size() < 2) continue;
    int mode = OverwriteModeOf(flags[0]);
    bool record = flags[1] == L'1';
    const bool folderRecord = d.back() == L'\\';
    const std::wstring xd = ExtendedPath(d);

    if (!folderRecord) {
      host().SetProgress(30 + static_cast<int>(std::lround(static_cast<double>(i) * 70.0 / total)));
      host().Pump();
      if (platform::FileExists(xd)) {
        if (record && st.keepExistingOutOfList) record = false;
        if (mode == 0) {
          if (s.Silent) {
            mode = 1;
          } else if (remembered) {
            mode = remembered;
          } else {
            switch (host().AskOverwrite(FormatAndExpand(LangText(L"Messages", 12), d))) {
              case platform::MsgResult::Yes: mode = 1; break;
              case platform::MsgResult::YesToAll: mode = remembered = 1; break;
              case platform::MsgResult::NoToAll: mode = remembered = 3; break;
              default: mode = 3; break;
            }
          }
        }
        if (mode == 2) {
          mode = 1;
          const ZipEntry* e = archive.Entry(static_cast<size_t>(i));
          const std::wstring temp = s.SetupTempDir + L"\\" + ToText(i);
          if (e && ExtractEntryTo(archive, *e, temp, false, false)) {
            mode = IsNewerFile(temp, xd, platform::DosTimeToFileTime(e->dosDate, e->dosTime)) ? 1 : 3;
            platform::DeleteFileAt(temp);
          }
        }
        if (mode == 1) {
          if (s.BackupFiles)
            platform::CopyFileTo(xd, s.SetupTempDir + L"\\" + FileNamePart(d) + L"ekbackup", true);
          platform::DeleteFileAt(xd);
        }
        if (mode == 3) {
          if (!st.registerSkippedFiles) DropOthersEntries(d);
          continue;
        }
      }
    }
    if (folderRecord || !platform::DirectoryExists(ExtendedPath(FolderPart(d)))) {
      if (!CreateFoldersFor(folderRecord ? d : d, rec, record)) continue;
    }
    if (folderRecord) continue;

    if (platform::FileExists(xd)) {
      const std::wstring name = FileNamePart(d);
      const std::wstring ext = FoldCase(ExtensionPart(d));
      if (ext == L".EXE" && IsProcessRunning(name)) {
        platform::ShellOpen(nullptr, L"", L"cmd.exe", L"/C taskkill /F /IM " + name + L" /T", platform::kSwHide);
        platform::SleepMs(1000);
      }
      if (platform::IsReadOnly(xd)) platform::SetAttributes(xd, platform::kAttrNormal);
      if (ext == L".DLL" || ext == L".OCX") {
        platform::CallDllExport(xd, "DllUnregisterServer");
        platform::SleepMs(500);
        host().Pump();
        platform::SleepMs(1000);
        host().Pump();
      }
    }
    while (true) {
      if (platform::FileExists(xd)) platform::DeleteFileAt(xd);
      const ZipEntry* e = archive.Entry(static_cast<size_t>(i));
      if (e && ExtractEntryTo(archive, *e, xd, st.setModifyTime, st.setAttributes)) {
        if (st.stampCreation) platform::SetCreationTimeNow(xd);
        if (s.CreateUninstaller && record) AddToUninstallList(L"Files", d);
        host().Pump();
        if (total < 50) platform::SleepMs(100);
        break;
      }
      WriteLog(L"Unable to create file: " + d);
      std::wstring message = FormatAndExpand(LangText(L"Messages", 14, L"Error creating file:"), d);
      if (platform::FileExists(xd))
        message += L"\r\n\r\n" + LangText(L"Messages", 39, L"The file may be open in another program. Close it and try again.");
      if (s.Silent) {
        if (!st.silentIgnoreErrors) Abort();
        s.HadErrors = true;
        DropOthersEntries(d);
        break;
      }
      const auto answer = Box(message, L"Error", platform::MsgButtons::AbortRetryIgnore, 2);
      if (answer == platform::MsgResult::Retry) continue;
      if (answer == platform::MsgResult::Abort) Abort();
      s.HadErrors = true;
      DropOthersEntries(d);
      break;
    }
  }
  archive.Close();
  g_archive = nullptr;
}

}  // namespace ek
