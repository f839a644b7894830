#pragma once
// The simulator's own memory as the system counts it, for watching it over
// a long run (GET /_host/process).

#include <cstdint>

namespace PluginHost {

struct ProcessMemory {
  std::uint64_t privateBytes = 0;     // memory committed for this process alone
  std::uint64_t workingSetBytes = 0;  // of its memory, what is in RAM
};

// All zero when the system does not say.
ProcessMemory processMemory();

}  // namespace PluginHost
