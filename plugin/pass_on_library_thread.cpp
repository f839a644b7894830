#include "plugin/pass_on_library_thread.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "logging/make_error.h"

namespace Quor {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds answerGrace{100};
constexpr std::chrono::seconds waitSlice{1};
// Between two yields the job waits this long for the outcome, so a core
// whose yield returns at once is not spun on.
constexpr std::chrono::milliseconds betweenYields{10};

// Shared by the job and the pass's thread; whichever lets go last frees it.
struct PassState {
  std::mutex mutex;
  std::condition_variable finished;
  std::optional<Expected<void>> outcome;
  std::atomic<bool> abandoned{false};

  bool finishedWithin(std::chrono::milliseconds time) {
    std::unique_lock lock(mutex);
    return finished.wait_for(lock, time, [&] { return outcome.has_value(); });
  }
};

}  // namespace

Expected<void> runPassOnLibraryThread(const StoppablePass& pass, CooperativeWaiting& waiting,
                                      const StopRequested& stop, LibraryThreadStarter startThread) {
  const auto state = std::make_shared<PassState>();
  const bool started = startThread([state, pass] {
    Expected<void> outcome = pass([state] { return state->abandoned.load(std::memory_order_acquire); });
    {
      const std::lock_guard lock(state->mutex);
      state->outcome = std::move(outcome);
    }
    state->finished.notify_all();
  });
  if (!started) return pass(stop);

  // A pass that is done at once needs no wait announced.
  bool done = state->finishedWithin(answerGrace);
  while (!done) {
    if (isStopRequested(stop)) {
      state->abandoned.store(true, std::memory_order_release);
      return makeError(0, migrationStoppedMessage);
    }
    const Clock::time_point due = Clock::now() + waitSlice;
    waiting.beginWait(waitSleepLabel, 0);
    do {
      waiting.yield();
      done = state->finishedWithin(betweenYields);
    } while (!done && Clock::now() < due && !isStopRequested(stop));
    waiting.endWait();
  }
  const std::lock_guard lock(state->mutex);
  return std::move(*state->outcome);
}

}  // namespace Quor
