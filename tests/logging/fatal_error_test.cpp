#include "logging/fatal_error.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "capturing_log_target.h"

namespace Quor {
namespace {

using Testing::CapturingLogTarget;
using Testing::IsolatedLoggerTest;

constexpr const char* kCompatibilityMessage =
    "qel-beta-opt-in which supports plugin API 18.0.0 is not compatible with core's plugin API 17.2.0";

TEST_F(IsolatedLoggerTest, EndingTheOperationLogsTheReportAndReturns) {
  CapturingLogTarget target;
  target.configure(target.settings());
  endOperationOnFatalError("ALE-884760E9", "Failed to get maybeOptInMigrationAttemptsRemaining.");
  endOperationOnFatalError("ALE-F0BB341E", "");
  ASSERT_EQ(target.records().size(), 2u);
  EXPECT_EQ(target.records()[0].level, LogLevel::Error);
  EXPECT_EQ(target.records()[0].category, LogCategory::Dbg);
  EXPECT_EQ(target.records()[0].message,
            "Assertion failed!\n\nExpression: ALE-884760E9\n\nDescription: Failed to get "
            "maybeOptInMigrationAttemptsRemaining.");
  EXPECT_EQ(target.records()[1].message, "Assertion failed!\n\nExpression: ALE-F0BB341E");
}

// Stands in for the end of the process: leaves by an exception so that the
// test goes on, remembering what it saw.
struct ProcessEnded {
  std::string identifier;
  std::size_t recordsLoggedBefore;
};
const CapturingLogTarget* gObservedTarget = nullptr;

void endByThrowing(const char* identifier) {
  throw ProcessEnded{identifier, gObservedTarget->records().size()};
}

TEST_F(IsolatedLoggerTest, EndingTheProcessLogsTheReportFirstThenEnds) {
  CapturingLogTarget target;
  target.configure(target.settings());
  gObservedTarget = &target;
  const ProcessEndHook previous = setProcessEndHook(endByThrowing);
  bool ended = false;
  try {
    endProcessOnFatalError("ALE-EECF0606", kCompatibilityMessage);
  } catch (const ProcessEnded& end) {
    ended = true;
    EXPECT_EQ(end.identifier, "ALE-EECF0606");
    EXPECT_EQ(end.recordsLoggedBefore, 1u);
  }
  EXPECT_EQ(setProcessEndHook(previous), endByThrowing);
  gObservedTarget = nullptr;
  EXPECT_TRUE(ended);
  ASSERT_EQ(target.records().size(), 1u);
  EXPECT_EQ(target.records()[0].level, LogLevel::Error);
  EXPECT_EQ(target.records()[0].category, LogCategory::Dbg);
  EXPECT_EQ(target.records()[0].message,
            std::string("Assertion failed!\n\nExpression: ALE-EECF0606\n\nDescription: ") + kCompatibilityMessage);
}

void returnAtOnce(const char*) {}

// The real end: the report reaches standard error of the dying process.
TEST(FatalErrorDeathTest, EndsTheProcessAbnormally) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(endProcessOnFatalError("ALE-EECF0606", kCompatibilityMessage),
               ::testing::HasSubstr(std::string(" ERROR| Assertion failed!\n\nExpression: ALE-EECF0606\n\n"
                                                "Description: ") +
                                    kCompatibilityMessage + "\n"));
}

TEST(FatalErrorDeathTest, AHookThatReturnsDoesNotKeepTheProcessAlive) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        setProcessEndHook(returnAtOnce);
        endProcessOnFatalError("ALE-EECF0606", "hook returned");
      },
      ::testing::HasSubstr("Description: hook returned\n"));
}

// A target that meets a fatal condition while it writes.
class FailingFatallyTarget : public CapturingLogTarget {
 public:
  ~FailingFatallyTarget() override { close(); }
  bool write(const LogRecord&) override { endProcessOnFatalError("ALE-EECF0606", "raised inside a write"); }
};

TEST(FatalErrorDeathTest, AReportRaisedInsideATargetsWriteStillReachesStandardError) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        FailingFatallyTarget target;
        target.configure(target.settings());
        log(LogLevel::Error, 0, "about to fail");
      },
      ::testing::HasSubstr("Description: raised inside a write\n"));
}

}  // namespace
}  // namespace Quor
