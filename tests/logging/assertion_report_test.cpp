#include "logging/assertion_report.h"

#include <gtest/gtest.h>

#include "capturing_log_target.h"

namespace Quor {
namespace {

using Testing::CapturingLogTarget;
using Testing::IsolatedLoggerTest;

TEST(AssertionReport, ExpressionAlone) {
  EXPECT_EQ(assertionReport("x", nullptr, nullptr, 0, nullptr), "Assertion failed!\n\nExpression: x");
}

TEST(AssertionReport, EveryPartButTheExpression) {
  EXPECT_EQ(assertionReport(nullptr, "d", "f", 12, "g"),
            "Assertion failed!\n\nFile: f\nLine: 12\n\nFunction: g\n\n\n\nDescription: d");
}

TEST(AssertionReport, EveryPart) {
  EXPECT_EQ(assertionReport("a == b", "values differ", "main.cpp", 7, "run"),
            "Assertion failed!\n\nFile: main.cpp\nLine: 7\n\nFunction: run\n\nExpression: a == b\n\n"
            "Description: values differ");
}

TEST(AssertionReport, ErrorIdentifierWithDescription) {
  EXPECT_EQ(assertionReport("ALE-884760E9", "Failed to get maybeOptInMigrationAttemptsRemaining.", "", 0, ""),
            "Assertion failed!\n\nExpression: ALE-884760E9\n\nDescription: Failed to get "
            "maybeOptInMigrationAttemptsRemaining.");
}

TEST(AssertionReport, EmptyTextsAndLineZeroAreLeftOut) {
  EXPECT_EQ(assertionReport("", "", "", 0, ""), "Assertion failed!\n\n");
  EXPECT_EQ(assertionReport(nullptr, nullptr, nullptr, 0, nullptr), "Assertion failed!\n\n");
}

TEST(AssertionReport, NegativeLineKeepsItsSign) {
  EXPECT_EQ(assertionReport(nullptr, nullptr, nullptr, -5, nullptr), "Assertion failed!\n\nLine: -5\n\n");
}

TEST_F(IsolatedLoggerTest, ReportAssertionLogsTheReportAsADebugError) {
  CapturingLogTarget target;
  target.configure(target.settings());
  reportAssertion("ALE-F0BB341E", "", nullptr, 0, nullptr);
  ASSERT_EQ(target.records().size(), 1u);
  EXPECT_EQ(target.records()[0].level, LogLevel::Error);
  EXPECT_EQ(target.records()[0].category, LogCategory::Dbg);
  EXPECT_EQ(target.records()[0].message, "Assertion failed!\n\nExpression: ALE-F0BB341E");
}

TEST_F(IsolatedLoggerTest, ReportAssertionTextsAreNotFormatDirectives) {
  CapturingLogTarget target;
  target.configure(target.settings());
  reportAssertion("100% %s %n", nullptr, nullptr, 0, nullptr);
  ASSERT_EQ(target.records().size(), 1u);
  EXPECT_EQ(target.records()[0].message, "Assertion failed!\n\nExpression: 100% %s %n");
}

}  // namespace
}  // namespace Quor
