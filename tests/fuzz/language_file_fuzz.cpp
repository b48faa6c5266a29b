// Language files as the engine reads them: a byte-order mark chooses UTF-8
// or UTF-16, without one the bytes are the ANSI code page; then the INI
// document, the [Info] entries, the numbered texts, and the per-language
// values of the configuration reduced to one language.
#include "base/ini_document.h"
#include "base/language_value.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const ek::DecodedText decoded = ek::DecodeText(ek::fuzz::Bytes(data, size), ek::TextEncoding::Ansi);
  ek::IniDocument doc;
  doc.Parse(decoded.text);
  (void)doc.ReadInteger(L"Info", L"id", 0);
  (void)doc.ReadString(L"Info", L"lng");
  // A few names, among them some that the file itself uses.
  std::vector<std::wstring> languages = {L"", L"English", L"German"};
  for (size_t i = 0; i < doc.Sections().size() && i < 3; ++i) languages.push_back(doc.Sections()[i].name);
  for (const auto& section : doc.Sections()) {
    for (int i = 0; i < 4; ++i) (void)doc.Find(section.name, ek::ToText(i));
    for (const auto& entry : section.entries) {
      for (const auto& language : languages) {
        for (bool noSub : {false, true}) {
          const std::wstring picked = ek::PickLanguageTextFor(entry.value, language, noSub);
          // The pick is always a piece of the value itself.
          FUZZ_CHECK(entry.value.find(picked) != std::wstring::npos);
          if (noSub) FUZZ_CHECK(picked == entry.value);
        }
      }
    }
  }
  return 0;
}
