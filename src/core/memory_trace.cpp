#include "core/memory_trace.h"

#include <string>
#include <unordered_set>

#include "base/result.h"
#include "base/text.h"
#include "platform/file_system.h"
#include "platform/system.h"

namespace ek {

namespace {

struct Trace {
  std::wstring path = platform::EnvironmentValue(L"EK_MEMORY_TRACE");
  std::wstring text;
  std::unordered_set<std::wstring> seen;
};

std::wstring Kb(uint64_t bytes) { return ToTextUnsigned(bytes / 1024); }

}  // namespace

void TraceMemory(std::wstring_view point) {
  static Trace trace;
  if (trace.path.empty()) return;
  const platform::MemoryReport r = platform::ProcessMemoryReport();
  std::wstring line = std::wstring(point) + L"\tws=" + Kb(r.workingSet.current) + L"\tpeak=" + Kb(r.workingSet.peak) +
                      L"\timage=" + Kb(r.imageBytes) + L"\tprivate=" + Kb(r.privateBytes) + L"\tmapped=" +
                      Kb(r.mappedBytes) + L"\theap=" + Kb(r.heapBusyBytes) + L"/" + Kb(r.heapCommittedBytes) +
                      L"\tmodules=" + ToTextUnsigned(r.modules.size()) + L"\tnew:";
  for (const auto& m : r.modules)
    if (trace.seen.insert(m.name).second) line += L" " + m.name + L"(" + Kb(m.size) + L")";
  trace.text += line + L"\r\n";
  Ignore(platform::WriteTextFile(trace.path, trace.text, TextEncoding::Utf8));  // only a measurement
}

}  // namespace ek
