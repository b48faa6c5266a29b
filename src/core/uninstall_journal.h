// The uninstall journal: the lists of the uninstall information file. Every
// action records itself here right after its change, so a roll-back at any
// point knows exactly what exists.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "base/ini_document.h"
#include "base/uninstall_entries.h"

namespace ek {

// Appends an entry to a list section under the next key number, unless the
// duplicate check of an update installation finds it already there.
void AddToUninstallList(std::wstring_view section, std::wstring_view value);
// The same for an entry in its written form.
template <typename Entry>
void AddToUninstallList(const uninstall::List<Entry>& list, const std::type_identity_t<Entry>& entry) {
  AddToUninstallList(list.section, entry.Format());
}
// Empties the [RegistryKeys] entries that are part of the key's entry, so
// that the uninstaller keeps a key that holds a value not to be removed.
void KeepRegistryKey(const uninstall::RegistryKeyEntry& key);

// Told of every change that AddToUninstallList and KeepRegistryKey make to
// the information file, right after it is made: the installation keeps a
// copy on disk through it that outlives the process (install_journal.h).
using ListChangeObserver = void (*)(std::wstring_view section, std::wstring_view key, std::wstring_view value);
void ObserveListChanges(ListChangeObserver observer);  // nullptr: nobody

// The first free key number of a taken-over section: last key + 1 (or the key
// count when the last key is not a number); 0 for an empty section.
int64_t NextListKey(const IniDocument& doc, std::wstring_view section);

}  // namespace ek
