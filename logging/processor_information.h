#pragma once
// The system's processor-information function (GetLogicalProcessorInformation),
// looked up lazily because systems before version 6.0 lack it.

#include <atomic>
#include <cstdint>

#include "logging/tracing_api.h"

namespace Quor {

// Fills `buffer` with processor records; answers non-zero on success, else
// zero with the needed size in `length`.
using ProcessorInformationFunction = std::int32_t(QCP_STDCALL*)(void* buffer, std::uint32_t* length);

// The outcome of one lookup attempt.
struct ProcessorInformationLookup {
  enum class Outcome { Found, Absent, Failed };
  Outcome outcome = Outcome::Failed;
  ProcessorInformationFunction function = nullptr;
};

// Remembers the first lookup that comes to a conclusion (found or absent);
// a failed lookup is tried again on the next call.
class ProcessorInformationCache {
 public:
  using Lookup = ProcessorInformationLookup (*)();
  constexpr explicit ProcessorInformationCache(Lookup lookup) : lookup_(lookup) {}
  ProcessorInformationCache(const ProcessorInformationCache&) = delete;
  ProcessorInformationCache& operator=(const ProcessorInformationCache&) = delete;

  // The function, or null when the system has none (or the lookup failed).
  ProcessorInformationFunction get();

 private:
  enum State : int { Unknown, Known };
  Lookup lookup_;
  std::atomic<int> state_{Unknown};
  std::atomic<ProcessorInformationFunction> function_{nullptr};
};

// One lookup on this system: on version 6.0 with service pack 0.0 or later
// (checked through "VerifyVersionInfoA" and "VerSetConditionMask" from
// "kernel32"), "GetLogicalProcessorInformation"; natively always absent.
ProcessorInformationLookup lookUpProcessorInformation();

// The process's cached lookup.
ProcessorInformationFunction processorInformationFunction();

}  // namespace Quor
