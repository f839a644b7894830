#pragma once
// What a trace controller asked of one tracing provider, kept by the
// provider's enable callback in the manner of manifest-based providers.

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace Quor {

// The level and keyword of one event a provider can write.
struct TraceEventDefinition {
  std::uint8_t level;
  std::uint64_t keyword;
};

class TraceProviderState {
 public:
  // A provider with up to 32 events (any beyond stay disabled).
  constexpr TraceProviderState(const TraceEventDefinition* events, std::size_t eventCount)
      : events_(events), eventCount_(eventCount < kMaxEvents ? eventCount : kMaxEvents) {}
  TraceProviderState(const TraceProviderState&) = delete;
  TraceProviderState& operator=(const TraceProviderState&) = delete;

  // Enabling stores the request and recomputes the event bits; disabling
  // clears everything; other codes (capture state) change nothing.
  void control(std::uint32_t controlCode, std::uint8_t level, std::uint64_t matchAnyKeyword,
               std::uint64_t matchAllKeyword);

  bool enabled() const { return enabled_.load(std::memory_order_acquire); }
  std::uint8_t level() const { return level_.load(std::memory_order_relaxed); }
  std::uint64_t matchAnyKeyword() const { return matchAny_.load(std::memory_order_relaxed); }
  std::uint64_t matchAllKeyword() const { return matchAll_.load(std::memory_order_relaxed); }
  bool eventEnabled(std::size_t index) const;

  // Whether an event of `level` and `keyword` passes the current request:
  // its level does not exceed the requested one (or either is 0), and it has
  // no keyword or one that shares a bit with match-any and holds every bit
  // of match-all.
  bool passes(std::uint8_t eventLevel, std::uint64_t eventKeyword) const;

 private:
  static constexpr std::size_t kMaxEvents = 32;

  const TraceEventDefinition* events_;
  std::size_t eventCount_;
  std::atomic<bool> enabled_{false};
  std::atomic<std::uint8_t> level_{0};
  std::atomic<std::uint64_t> matchAny_{0};
  std::atomic<std::uint64_t> matchAll_{0};
  std::atomic<std::uint32_t> eventBits_{0};
};

}  // namespace Quor
