// TFormLicense: the product's license for the current language, shown in a
// window of its own (a document of the package), in the browser (a web
// address), or as a message when there is none.
#pragma once

#include <string>

namespace ek {

// The click on the License link.
void ShowLicense();

// The license entry of a language: its own key, else "(Default)"; raw.
std::wstring LicenseEntry(const std::wstring& languageName);

}  // namespace ek
