// Record lists of a configuration: numbered keys whose values split into
// fields at "*?", the file records "destination?flags", and the engine
// switch test.
#include "base/record_list.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ek::IniDocument doc;
  doc.Parse(ek::fuzz::Text(data, size));
  for (const auto& section : doc.Sections()) {
    const size_t count = ek::RecordCount(doc, section.name);
    FUZZ_CHECK(count == section.entries.size());
    for (size_t i = 0; i <= count && i < 64; ++i) {
      const std::wstring record = ek::ReadRecord(doc, section.name, i);
      const auto fields = ek::SplitRecord(record);
      FUZZ_CHECK(!fields.empty());
      std::wstring joined;
      for (size_t f = 0; f < fields.size(); ++f) {
        if (f) joined += ek::kFieldSeparator;
        joined += fields[f];
        FUZZ_CHECK(fields[f].find(ek::kFieldSeparator) == std::wstring::npos);
      }
      FUZZ_CHECK(joined == record);
      const size_t q = record.find(L'?');
      if (q != std::wstring::npos) (void)ek::Split(record.substr(q + 1), L";");
    }
    for (const auto& entry : section.entries) (void)ek::HasEngineSwitch(doc, entry.key);
  }
  return 0;
}
