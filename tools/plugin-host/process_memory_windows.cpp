#include "process_memory.h"

#include <windows.h>
#include <psapi.h>

namespace PluginHost {

ProcessMemory processMemory() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return {};
  // The commit charge, which the system also reports as PrivateUsage (the
  // extended record's field that Wine leaves at 0).
  return {counters.PagefileUsage, counters.WorkingSetSize};
}

}  // namespace PluginHost
