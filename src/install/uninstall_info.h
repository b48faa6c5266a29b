// The uninstall information file: what the product is and how the
// uninstaller behaves. The lists of what the installation created or changed
// are kept by the uninstall journal.
#pragma once

#include "core/uninstall_journal.h"

namespace ek {

// The product, installation, uninstaller and updater keys, and the
// [Messages] / [Updater] texts.
void WriteUninstallGeneralKeys();
// The product's key as the information file records it.
std::wstring InformationFileGuid();
// Writes an information file (UTF-8 with its mark) piece by piece, after a
// header text when one is given: a large one is not held twice in memory.
[[nodiscard]] bool WriteInformationFile(const std::wstring& path, const IniDocument& info, std::wstring_view header = {});

}  // namespace ek
