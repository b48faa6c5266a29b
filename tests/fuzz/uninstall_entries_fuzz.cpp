// The uninstall information file as the uninstaller reads it: any text, every
// kind of list entry tried on every value. What is accepted is safe to act on
// (paths absolute and plain), and writing an accepted entry back and reading
// it again gives the same entry. Also the [Files] records of the
// configuration.
#include "base/file_record.h"
#include "base/uninstall_entries.h"
#include "fuzz_input.h"

namespace {

using namespace ek::uninstall;

// Read, written back and read again: the same written form.
template <typename Entry>
void RoundTrip(const std::wstring& value) {
  const auto entry = Entry::Parse(value);
  if (!entry) return;
  const std::wstring written = entry->Format();
  const auto again = Entry::Parse(written);
  FUZZ_CHECK(again.has_value());
  FUZZ_CHECK(again->Format() == written);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const ek::DecodedText decoded = ek::DecodeText(ek::fuzz::Bytes(data, size), ek::TextEncoding::Utf8);
  ek::IniDocument info;
  info.Parse(decoded.text);
  (void)InstalledMainExe(info);
  for (const auto& section : info.Sections()) {
    for (const std::wstring& value : ListValues(info, section.name)) {
      RoundTrip<PathEntry>(value);
      RoundTrip<FolderEntry>(value);
      RoundTrip<RegistryKeyEntry>(value);
      RoundTrip<RegistryValueEntry>(value);
      RoundTrip<IniValueEntry>(value);
      RoundTrip<EnvironmentEntry>(value);
      RoundTrip<ExecEntry>(value);
      if (auto p = PathEntry::Parse(value)) FUZZ_CHECK(IsSafePath(p->path));
      if (auto f = FolderEntry::Parse(value)) FUZZ_CHECK(IsSafeFolder(f->path) && PathDepth(f->path) > 0);
      if (auto e = ExecEntry::Parse(value)) {
        const int show = e->Show();
        FUZZ_CHECK(show == 0 || show == 1 || show == 2 || show == 3);
      }
      if (IsSafeFolder(value)) FUZZ_CHECK(IsSafePath(value));
      const std::wstring line = MessageLine(value);
      FUZZ_CHECK(line.find_first_of(L"\r\n") == std::wstring::npos);
      (void)FormatMessageText(value, L"Product");
      if (auto r = ek::FileRecord::Parse(value)) {
        FUZZ_CHECK(ek::FileRecord::Parse(r->Format())->Format() == r->Format());
        if (r->HasFlags()) {
          (void)r->Overwrite();
          (void)r->RecordForUninstall();
        }
      }
    }
  }
  return 0;
}
