// The INI document over any text (configuration, language and information
// files): reading it, writing it back and reading that again gives the same
// document; every read and edit is safe.
#include "base/ini_document.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const ek::DecodedText decoded = ek::DecodeText(ek::fuzz::Bytes(data, size), ek::TextEncoding::Utf8);
  ek::IniDocument doc;
  doc.Parse(decoded.text);
  const std::wstring once = doc.Serialize();
  ek::IniDocument again;
  again.Parse(once);
  FUZZ_CHECK(again.Serialize() == once);

  for (const auto& section : doc.Sections()) {
    FUZZ_CHECK(doc.SectionExists(section.name));
    for (const auto& entry : section.entries) {
      const std::wstring* v = doc.Find(section.name, entry.key);
      FUZZ_CHECK(v != nullptr);
      FUZZ_CHECK(doc.ReadString(section.name, entry.key) == *v);
      (void)doc.ReadInteger(section.name, entry.key, -7);
    }
  }
  // UTF-16 files carry every code unit, paired or not.
  for (auto encoding : {ek::TextEncoding::Utf16Le, ek::TextEncoding::Utf16Be}) {
    const ek::DecodedText back = ek::DecodeText(ek::EncodeText(once, encoding), ek::TextEncoding::Utf8);
    FUZZ_CHECK(back.text == once);
  }
  // Edits keep the document consistent.
  if (!doc.Sections().empty()) {
    const std::wstring name = doc.Sections().front().name;
    doc.WriteString(name, L"EkFuzzKey", decoded.text.substr(0, 16));
    FUZZ_CHECK(doc.KeyExists(name, L"ekfuzzkey"));
    doc.DeleteKey(name, L"EKFUZZKEY");
    FUZZ_CHECK(!doc.KeyExists(name, L"EkFuzzKey"));
    doc.EraseSection(name);
    for (const auto& section : doc.Sections())
      for (const auto& entry : section.entries) FUZZ_CHECK(doc.Find(section.name, entry.key) != nullptr);
  }
  return 0;
}
