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

}  // namespace ek
