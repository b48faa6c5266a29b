// The removal itself: walks the lists of the uninstall information file and
// takes back what the installation recorded, in an order that keeps the
// system sound at every step (components are unregistered while their files
// still exist, the product's registration goes last). No user interface:
// the program around it asks the questions and writes the log.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ini_document.h"
#include "base/uninstall_entries.h"

namespace ek::uninstall {

struct Options {
  bool silent = false;     // nothing is shown; commands run hidden unless the file says otherwise
  bool reinstall = false;  // "/R": a new installation follows
  bool rollback = false;   // "/T": a failed installation is taken back
  // The running uninstaller: its own file and the folders holding it are
  // left to the copy that removes them after the end (see Report).
  std::wstring selfPath;
  // The information file's last-write time. A file written after it was
  // changed after the installation and is kept; nothing: no such test.
  std::optional<uint64_t> installedAt;
};

// What a run did, for the log and the exit code.
struct Report {
  std::vector<std::wstring> failed;   // could not be removed or restored
  std::vector<std::wstring> ignored;  // damaged entries, never acted upon
  std::vector<std::wstring> kept;     // kept on purpose: changed by the user, holding other files
  std::vector<std::wstring> notes;    // commands that did not start and the like
  // Recorded folders that hold the running uninstaller, deepest first.
  std::vector<std::wstring> foldersLeft;
  bool Complete() const { return failed.empty() && ignored.empty(); }
};

class Uninstaller {
 public:
  Uninstaller(const IniDocument& info, Options options);

  // The commands of one moment (kExecAtUninstallStart, kExecBeforeUninstall
  // or kExecAfterUninstall), unless the file turns commands off for this run.
  void RunCommands(const List<ExecEntry>& moment);
  // The command that removes the user's personal settings, when the file has one.
  bool HasSettingsCommand() const;
  void RunSettingsCommand();
  // Every list: components, registry values and keys, INI values,
  // environment, files and shortcuts, folders, the registration.
  void RemoveAll();

  const Report& report() const { return report_; }

 private:
  void UnregisterComponents();
  void RemoveRegistryValues();
  void RemoveRegistryKeys();
  void DeleteKeys(std::vector<RegistryKeyEntry> keys);
  void RemoveRegistrationFallback();
  void RemoveIniValues();
  void RestoreEnvironment();
  void RemoveFiles();
  void RemoveFolders();
  bool RemoveFolderTree(const std::wstring& folder);

  bool ChangedAfterInstall(const std::wstring& path) const;
  bool IsProtectedFolder(const std::wstring& folder) const;
  bool RunProgram(const std::wstring& file, const std::wstring& parameters, int show, bool elevate, uint32_t* code);

  const IniDocument& info_;
  Options options_;
  Report report_;
  bool x64_ = true;
  bool full_ = false;
  bool commandsOff_ = false;
  bool hideCommands_ = false;
  std::wstring lastExitCode_ = L"-1";
  std::vector<std::wstring> protectedFolders_;
  std::vector<RegistryKeyEntry> registration_;  // the product's own keys, removed last
};

}  // namespace ek::uninstall
