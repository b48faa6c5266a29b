// With EK_MEMORY_TRACE naming a file, TraceMemory writes there, one line a
// call, where the process's memory is at that point of the run (working set,
// images, private memory, heaps) and which modules were loaded since the
// previous line: where a run's memory goes, for the benchmarks.
#pragma once

#include <string_view>

namespace ek {

void TraceMemory(std::wstring_view point);

}  // namespace ek
