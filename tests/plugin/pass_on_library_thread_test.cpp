// The client's pass on a thread of the library's own: its outcome comes back
// through the core's cooperative waiting, and a stop leaves a pass held in a
// shell call behind at once, telling it to end.

#include "plugin/pass_on_library_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "logging/make_error.h"

namespace Quor {
namespace {

using Clock = std::chrono::steady_clock;

class CountingWaiting final : public CooperativeWaiting {
 public:
  std::atomic<int> begun{0}, yields{0}, ended{0};
  void beginWait(const char*, std::uint32_t) override { ++begun; }
  void yield() override { ++yields; }
  void endWait() override { ++ended; }
};

TEST(PassOnLibraryThreadTest, TheOutcomeComesBackAndAStopLeavesAHeldPassBehind) {
  const struct {
    const char* name;
    int passMilliseconds;     // how long the pass is held
    int stopAfterMilliseconds;  // -1: never stopped
    bool stopped;
  } cases[] = {
      {"at once", 0, -1, false},
      {"over two slices", 1500, -1, false},
      {"held past a stop", 30'000, 300, true},
  };
  for (const auto& testCase : cases) {
    SCOPED_TRACE(testCase.name);
    CountingWaiting waiting;
    std::promise<void> let;
    const std::shared_future<void> letGo = let.get_future().share();
    // Shared with the pass, which may outlive this iteration's locals.
    const auto toldToEnd = std::make_shared<std::promise<bool>>();
    std::future<bool> passSawStop = toldToEnd->get_future();
    const Clock::time_point began = Clock::now();
    const StoppablePass pass = [letGo, toldToEnd, held = testCase.passMilliseconds](const StopRequested& stop) {
      letGo.wait_for(std::chrono::milliseconds(held));
      toldToEnd->set_value(isStopRequested(stop));
      return Expected<void>(makeError(55, "Failed to delete %s", "x.lnk"));
    };
    const StopRequested stop = [&] {
      return testCase.stopAfterMilliseconds >= 0 &&
             Clock::now() - began > std::chrono::milliseconds(testCase.stopAfterMilliseconds);
    };
    const Expected<void> outcome = runPassOnLibraryThread(pass, waiting, stop);
    const auto took = Clock::now() - began;
    ASSERT_FALSE(outcome);
    EXPECT_EQ(outcome.error().message, testCase.stopped ? migrationStoppedMessage : "Failed to delete x.lnk");
    EXPECT_EQ(waiting.begun, waiting.ended);
    if (testCase.passMilliseconds > 1000) EXPECT_GE(waiting.yields, 2);
    if (testCase.stopped) EXPECT_LT(took, std::chrono::seconds(5)) << "the job stayed with a held pass";
    // Let go, the pass learns that it was left behind, and ends.
    let.set_value();
    EXPECT_EQ(passSawStop.get(), testCase.stopped);
  }
}

}  // namespace
}  // namespace Quor
