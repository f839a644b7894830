#include "logging/trace_provider_state.h"

#include "logging/tracing_api.h"

namespace Quor {

bool TraceProviderState::passes(std::uint8_t eventLevel, std::uint64_t eventKeyword) const {
  const std::uint8_t requested = level();
  if (eventLevel > requested && eventLevel != 0 && requested != 0) {
    return false;
  }
  if (eventKeyword == 0) {
    return true;
  }
  const std::uint64_t matchAll = matchAllKeyword();
  return (eventKeyword & matchAnyKeyword()) != 0 && (eventKeyword & matchAll) == matchAll;
}

void TraceProviderState::control(std::uint32_t controlCode, std::uint8_t level, std::uint64_t matchAnyKeyword,
                                 std::uint64_t matchAllKeyword) {
  if (controlCode == kTraceControlEnable) {
    level_.store(level, std::memory_order_relaxed);
    matchAny_.store(matchAnyKeyword, std::memory_order_relaxed);
    matchAll_.store(matchAllKeyword, std::memory_order_relaxed);
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < eventCount_; ++i) {
      if (passes(events_[i].level, events_[i].keyword)) {
        bits |= std::uint32_t{1} << i;
      }
    }
    eventBits_.store(bits, std::memory_order_relaxed);
    enabled_.store(true, std::memory_order_release);
  } else if (controlCode == kTraceControlDisable) {
    enabled_.store(false, std::memory_order_release);
    level_.store(0, std::memory_order_relaxed);
    matchAny_.store(0, std::memory_order_relaxed);
    matchAll_.store(0, std::memory_order_relaxed);
    eventBits_.store(0, std::memory_order_relaxed);
  }
}

bool TraceProviderState::eventEnabled(std::size_t index) const {
  return index < eventCount_ && (eventBits_.load(std::memory_order_relaxed) & (std::uint32_t{1} << index)) != 0;
}

}  // namespace Quor
