#include "logging/logger.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "capturing_log_target.h"
#include "logging/log_platform.h"
#include "logging/program_name.h"

namespace Quor {
namespace {

using ::testing::ElementsAre;
using Testing::CapturingLogTarget;
using Testing::IsolatedLoggerTest;

TEST(DefaultLogger, StartsWithItsDefaultSettingsAndTargets) {
  acquireLogger();
  EXPECT_EQ(getMinimumLevel(), LogLevel::Warn);
  EXPECT_EQ(getExcludedCategories(), LogCategory::Xtr);
  EXPECT_TRUE(stdErrTarget()->isRegistered());
  EXPECT_TRUE(debuggerTarget()->isRegistered());
  EXPECT_FALSE(stdOutTarget()->isRegistered());
  EXPECT_EQ(findTarget("StdErrLogTarget"), stdErrTarget());
  EXPECT_EQ(findTarget("DebuggerConsoleLogTarget"), debuggerTarget());
  EXPECT_EQ(findTarget("StdOutLogTarget"), nullptr);
  EXPECT_EQ(findTarget(nullptr), nullptr);
  releaseLogger();
}

TEST(DefaultLogger, BuiltInTargetsHaveTheirSettings) {
  acquireLogger();
  const LogTargetSettings err = stdErrTarget()->settings();
  EXPECT_EQ(err.minimumLevel, LogLevel::Warn);
  EXPECT_EQ(err.includedCategories, LogCategory::Dbg);
  EXPECT_EQ(err.excludedCategories, LogCategory::Gen);
  EXPECT_EQ(err.format, "#E(#T): #L| #M");
  const LogTargetSettings out = stdOutTarget()->settings();
  EXPECT_EQ(out.minimumLevel, LogLevel::Warn);
  EXPECT_EQ(out.includedCategories, LogCategory::Gen);
  EXPECT_EQ(out.excludedCategories, LogCategory::Dbg);
  EXPECT_EQ(out.format, "#M");
  EXPECT_FALSE(stdOutTarget()->flushesAfterEachLine());
  const LogTargetSettings debugger = debuggerTarget()->settings();
  EXPECT_EQ(debugger.minimumLevel, LogLevel::Warn);
  EXPECT_EQ(debugger.includedCategories, LogCategory::Dbg);
  EXPECT_EQ(debugger.excludedCategories, 0u);
  EXPECT_EQ(debugger.format, "#E(#T): #L| #M");
  releaseLogger();
}

std::string expectedConsoleLine(const char* levelAndMessage) {
  char thread[16];
  formatBounded(thread, sizeof thread, "%08X", static_cast<unsigned>(currentThreadId()));
  return std::string(programName()) + "(" + thread + "): " + levelAndMessage + "\n";
}

TEST(DefaultLogger, ErrorWithDebugCategoryReachesStandardErrorAsOneLine) {
  acquireLogger();
  ::testing::internal::CaptureStderr();
  log(LogLevel::Okay, LogCategory::Dbg, "dropped");
  log(LogLevel::Error, LogCategory::Dbg, "disk full");
  stdErrTarget()->flush();
  const std::string captured = ::testing::internal::GetCapturedStderr();
  releaseLogger();
  EXPECT_EQ(captured, expectedConsoleLine(" ERROR| disk full"));
}

TEST(DefaultLogger, GeneralCategoryReachesNoBuiltInTarget) {
  acquireLogger();
  ::testing::internal::CaptureStderr();
  ::testing::internal::CaptureStdout();
  log(LogLevel::Error, LogCategory::Gen, "general");
  stdErrTarget()->flush();
  stdOutTarget()->flush();
  const std::string out = ::testing::internal::GetCapturedStdout();
  const std::string err = ::testing::internal::GetCapturedStderr();
  releaseLogger();
  EXPECT_EQ(out, "");
  EXPECT_EQ(err, "");
}

TEST_F(IsolatedLoggerTest, MessagesArePrintfFormatted) {
  CapturingLogTarget target;
  target.configure(target.settings());
  log(LogLevel::Warn, 0, "%s=%d %lld %llu %zu %hhd %5.2f %%", "x", -3, -9000000000LL, 18446744073709551615ULL,
      std::size_t{42}, static_cast<signed char>(-1), 2.5);
  EXPECT_THAT(target.lines(), ElementsAre("x=-3 -9000000000 18446744073709551615 42 -1  2.50 %\n"));
}

TEST_F(IsolatedLoggerTest, RecordCarriesLevelCategoryAndLocalTime) {
  CapturingLogTarget target;
  target.configure(target.settings());
  log(LogLevel::Always, LogCategory::Net | LogCategory::Dsk, "m");
  ASSERT_EQ(target.records().size(), 1u);
  EXPECT_EQ(target.records()[0].level, LogLevel::Always);
  EXPECT_EQ(target.records()[0].category, LogCategory::Net | LogCategory::Dsk);
  EXPECT_EQ(target.records()[0].message, "m");
}

TEST_F(IsolatedLoggerTest, LongMessagesAreCutAt4095Characters) {
  CapturingLogTarget target;
  target.configure(target.settings());
  const std::string longText(6000, 'a');
  log(LogLevel::Warn, 0, "%s", longText.c_str());
  ASSERT_EQ(target.records().size(), 1u);
  EXPECT_EQ(target.records()[0].message, std::string(4095, 'a'));
  // The line keeps room for its line feed.
  EXPECT_EQ(target.lines()[0], std::string(4094, 'a') + "\n");
}

TEST_F(IsolatedLoggerTest, GlobalFiltersDropCallsBeforeAnyTarget) {
  CapturingLogTarget target;
  target.configure(target.settings());
  log(LogLevel::Okay, 0, "below the global minimum");
  log(LogLevel::Error, LogCategory::Xtr | LogCategory::Dbg, "globally excluded");
  setMinimumLevel(LogLevel::Okay);
  setExcludedCategories(LogCategory::Net);
  log(LogLevel::Okay, LogCategory::Xtr, "now allowed");
  log(LogLevel::Error, LogCategory::Net, "now excluded");
  EXPECT_EQ(getMinimumLevel(), LogLevel::Okay);
  EXPECT_EQ(getExcludedCategories(), LogCategory::Net);
  EXPECT_THAT(target.lines(), ElementsAre("now allowed\n"));
}

TEST_F(IsolatedLoggerTest, PauseDropsEveryCallUntilResumed) {
  CapturingLogTarget target;
  target.configure(target.settings());
  pause();
  log(LogLevel::Always, 0, "paused");
  resume();
  log(LogLevel::Always, 0, "resumed");
  EXPECT_THAT(target.lines(), ElementsAre("resumed\n"));
}

TEST_F(IsolatedLoggerTest, TargetsFilterByLevelAndCategories) {
  CapturingLogTarget all("all");
  CapturingLogTarget errorsOnly("errorsOnly");
  CapturingLogTarget debugOnly("debugOnly");
  CapturingLogTarget noNet("noNet");
  all.configure({LogLevel::Okay, 0, 0, "#M"});
  errorsOnly.configure({LogLevel::Error, 0, 0, "#M"});
  debugOnly.configure({LogLevel::Okay, LogCategory::Dbg, 0, "#M"});
  noNet.configure({LogLevel::Okay, 0, LogCategory::Net, "#M"});
  setMinimumLevel(LogLevel::Okay);

  log(LogLevel::Warn, LogCategory::Dbg, "warn dbg");
  log(LogLevel::Error, LogCategory::Net, "error net");
  log(LogLevel::Warn, LogCategory::Net | LogCategory::Dbg, "warn net+dbg");
  log(LogLevel::Error, 0, "error none");
  log(LogLevel::Okay, 0, "okay none");

  EXPECT_THAT(all.lines(), ElementsAre("warn dbg\n", "error net\n", "warn net+dbg\n", "error none\n", "okay none\n"));
  EXPECT_THAT(errorsOnly.lines(), ElementsAre("error net\n", "error none\n"));
  // Category 0 passes every category test; a shared bit with the included
  // ones is enough.
  EXPECT_THAT(debugOnly.lines(), ElementsAre("warn dbg\n", "warn net+dbg\n", "error none\n", "okay none\n"));
  // An excluded bit rejects the record even when other bits would pass.
  EXPECT_THAT(noNet.lines(), ElementsAre("warn dbg\n", "error none\n", "okay none\n"));
}

TEST_F(IsolatedLoggerTest, ConfigureReducesIncludedByExcluded) {
  CapturingLogTarget target;
  target.configure({LogLevel::Okay, 3, 2, "#M"});
  EXPECT_EQ(target.includedCategories(), 1u);
  EXPECT_EQ(target.excludedCategories(), 2u);
  target.setCategoryMasks(LogCategory::Dbg | LogCategory::Net | LogCategory::Mem, LogCategory::Net);
  EXPECT_EQ(target.includedCategories(), LogCategory::Dbg | LogCategory::Mem);
  EXPECT_EQ(target.excludedCategories(), LogCategory::Net);
  target.setMinimumLevel(LogLevel::Always);
  EXPECT_EQ(target.minimumLevel(), LogLevel::Always);
  EXPECT_EQ(target.format(), "#M");
}

TEST_F(IsolatedLoggerTest, ConfigureRegistersAndMovesTheTargetToTheEnd) {
  std::vector<std::string> sequence;
  CapturingLogTarget first("first");
  CapturingLogTarget second("second");
  first.recordSequenceIn(&sequence);
  second.recordSequenceIn(&sequence);
  EXPECT_FALSE(first.isRegistered());
  first.configure(first.settings());
  second.configure(second.settings());
  EXPECT_TRUE(first.isRegistered());
  log(LogLevel::Warn, 0, "one");
  first.configure(first.settings());
  log(LogLevel::Warn, 0, "two");
  EXPECT_THAT(sequence, ElementsAre("first", "second", "second", "first"));
  EXPECT_EQ(findTarget("second"), &second);
}

TEST_F(IsolatedLoggerTest, AddingTwiceWritesOnceAndRemovingUnregisters) {
  CapturingLogTarget target;
  addTarget(&target);
  addTarget(&target);
  log(LogLevel::Warn, 0, "once");
  removeTarget(&target);
  EXPECT_FALSE(target.isRegistered());
  log(LogLevel::Warn, 0, "not at all");
  addTarget(&target);
  target.close();
  EXPECT_FALSE(target.isRegistered());
  log(LogLevel::Warn, 0, "closed");
  EXPECT_THAT(target.lines(), ElementsAre("once\n"));
  addTarget(nullptr);
  removeTarget(nullptr);
}

TEST_F(IsolatedLoggerTest, DestroyedTargetIsUnregistered) {
  {
    CapturingLogTarget shortLived("shortLived");
    shortLived.configure(shortLived.settings());
    EXPECT_EQ(findTarget("shortLived"), &shortLived);
  }
  EXPECT_EQ(findTarget("shortLived"), nullptr);
  // Would reach freed memory if the target were still in the list.
  log(LogLevel::Always, 0, "after");
}

TEST_F(IsolatedLoggerTest, StandardOutputTargetWhenRegistered) {
  ::testing::internal::CaptureStdout();
  addTarget(stdOutTarget());
  log(LogLevel::Warn, LogCategory::Gen, "to standard output");
  log(LogLevel::Warn, LogCategory::Dbg, "not for standard output");
  stdOutTarget()->flush();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "to standard output\n");
}

TEST(LoggerLifetime, LastReleaseUnregistersEverythingAndTheNextUseStartsAfresh) {
  CapturingLogTarget target;
  acquireLogger();
  acquireLogger();
  target.configure(target.settings());
  setMinimumLevel(LogLevel::Always);
  StdErrLogTarget* firstStdErr = stdErrTarget();
  releaseLogger();
  // Still held once.
  EXPECT_TRUE(target.isRegistered());
  EXPECT_EQ(getMinimumLevel(), LogLevel::Always);
  EXPECT_EQ(stdErrTarget(), firstStdErr);
  releaseLogger();
  EXPECT_FALSE(target.isRegistered());
  // The next use creates a logger with the default settings.
  EXPECT_EQ(getMinimumLevel(), LogLevel::Warn);
  EXPECT_EQ(findTarget("CapturingLogTarget"), nullptr);
  EXPECT_TRUE(stdErrTarget()->isRegistered());
}

TEST(LoggerLifetime, ReleaseWithoutAcquireChangesNothing) {
  CapturingLogTarget target;
  acquireLogger();
  target.configure(target.settings());
  releaseLogger();
  EXPECT_FALSE(target.isRegistered());
  target.configure(target.settings());
  releaseLogger();  // the logger now exists with no user: nothing happens
  EXPECT_TRUE(target.isRegistered());
  target.close();
}

// A target that logs while it writes, and one that fails.
class LoggingTarget : public CapturingLogTarget {
 public:
  using CapturingLogTarget::CapturingLogTarget;
  ~LoggingTarget() override { close(); }
  bool write(const LogRecord& record) override {
    CapturingLogTarget::write(record);
    log(LogLevel::Always, 0, "from inside write");
    return true;
  }
};

class FailingTarget : public LogTarget {
 public:
  ~FailingTarget() override { close(); }
  const char* name() const override { return "FailingTarget"; }
  bool write(const LogRecord&) override { throw std::runtime_error("target failed"); }
};

TEST_F(IsolatedLoggerTest, LoggingFromInsideAWriteIsDropped) {
  LoggingTarget target("logging");
  CapturingLogTarget witness("witness");
  target.configure(target.settings());
  witness.configure(witness.settings());
  log(LogLevel::Warn, 0, "outer");
  EXPECT_THAT(target.lines(), ElementsAre("outer\n"));
  EXPECT_THAT(witness.lines(), ElementsAre("outer\n"));
}

TEST_F(IsolatedLoggerTest, AFailingTargetNeitherStopsOthersNorLaterCalls) {
  FailingTarget failing;
  CapturingLogTarget witness("witness");
  failing.configure({LogLevel::Okay, 0, 0, "#M"});
  witness.configure(witness.settings());
  log(LogLevel::Warn, 0, "first");
  log(LogLevel::Warn, 0, "second");
  EXPECT_THAT(witness.lines(), ElementsAre("first\n", "second\n"));
}

TEST_F(IsolatedLoggerTest, LinesFromManyThreadsStayWhole) {
  CapturingLogTarget target("threads", "#M|#M");
  target.configure(target.settings());
  constexpr int kThreads = 4;
  constexpr int kLines = 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kLines; ++i) {
        log(LogLevel::Warn, LogCategory::Tst, "thread %d line %d", t, i);
      }
    });
  }
  for (auto& thread : threads) {
    thread.join();
  }
  const std::vector<std::string> lines = target.lines();
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLines));
  std::vector<int> next(kThreads, 0);
  for (const std::string& line : lines) {
    int t = -1;
    int i = -1;
    ASSERT_EQ(std::sscanf(line.c_str(), "thread %d line %d|", &t, &i), 2) << line;
    ASSERT_TRUE(t >= 0 && t < kThreads);
    // Each thread's lines arrive whole and in its own order.
    EXPECT_EQ(i, next[t]++);
    char expected[64];
    formatBounded(expected, sizeof expected, "thread %d line %d|thread %d line %d\n", t, i, t, i);
    EXPECT_EQ(line, expected);
  }
}

// A target that stays inside its write until released, as a host's
// logging callback may.
class StallingTarget : public CapturingLogTarget {
 public:
  StallingTarget() : CapturingLogTarget("stalling") {}
  ~StallingTarget() override { close(); }
  bool write(const LogRecord& record) override {
    std::unique_lock lock(mutex_);
    entered_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return released_; });
    return CapturingLogTarget::write(record);
  }
  void waitUntilEntered() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return entered_; });
  }
  void release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool entered_ = false;
  bool released_ = false;
};

TEST_F(IsolatedLoggerTest, DroppedCallsDoNotWaitForAStalledTarget) {
  StallingTarget stalling;
  stalling.configure(stalling.settings());
  std::thread writer([] { log(LogLevel::Error, 0, "stalled"); });
  stalling.waitUntilEntered();
  struct Dropped {
    std::int32_t level;
    std::uint64_t category;
  };
  const Dropped dropped[] = {{LogLevel::Okay, 0}, {LogLevel::Error, LogCategory::Xtr}};
  // The futures outlive the waits: a future of std::async waits for its call
  // when destroyed.
  std::vector<std::future<void>> calls;
  std::vector<std::future_status> outcomes;
  for (const Dropped& call : dropped) {
    calls.push_back(std::async(std::launch::async, [call] { log(call.level, call.category, "dropped"); }));
    outcomes.push_back(calls.back().wait_for(std::chrono::seconds(10)));
  }
  stalling.release();
  writer.join();
  for (std::future_status outcome : outcomes) {
    EXPECT_EQ(outcome, std::future_status::ready);
  }
  EXPECT_THAT(stalling.lines(), ElementsAre("stalled\n"));
}

}  // namespace
}  // namespace Quor
