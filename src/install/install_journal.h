// The installation's journal on disk: a picture of the uninstall information
// file when the installation starts, then every entry added to its lists and
// the file or folder about to be made. The information file itself lives in
// memory until the end; a setup that is killed leaves only the journal, in
// its temporary folder, held open by no one any more. The next installation
// of the same product finds it there and completes what the killed one
// could not: a new installation is rolled back by the uninstaller as an
// abort would have been; an update, which an abort leaves in place, hands
// its information file on to the installed uninstaller. A file that was cut
// short is deleted either way, so it is never kept or taken for installed.
#pragma once

#include <string>

namespace ek {

// Starts the journal in SetupTempDir, once the information file holds its
// product and installation keys. From then on the entries that the uninstall
// journal adds are written through; the file stage batches its own (see
// below).
void StartInstallJournal();
// During the file stage, entries wait in memory and go to the disk together
// with the next file or folder about to be made: one write a file. An entry
// that is lost to a kill belongs to a file or folder that the next line of
// the journal already names.
void BatchInstallJournal(bool batch);
// The file that is about to be written (empty: none any more), or the
// folder about to be created.
void JournalFileAhead(const std::wstring& path);
void JournalFolderAhead(const std::wstring& path);
// The installation has ended or has been rolled back: the journal goes.
void EndInstallJournal();

// Finds the journals of killed installations of this product in the
// temporary folder and completes them (see above); each such folder goes
// afterwards. Journals of other products and of running setups stay.
void RecoverInterruptedInstallations();

}  // namespace ek
