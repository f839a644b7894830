#include "logging/trace_provider_state.h"

#include <gtest/gtest.h>

#include "logging/tracing_api.h"

namespace Quor {
namespace {

// Levels: 1 critical ... 5 verbose.
constexpr TraceEventDefinition kEvents[] = {
    {4, 0},     // informational, no keyword
    {5, 0x1},   // verbose, keyword 1
    {2, 0x6},   // error, keywords 2 and 4
    {0, 0x8},   // any level, keyword 8
};

TEST(TraceProviderState, StartsDisabled) {
  TraceProviderState state(kEvents, 4);
  EXPECT_FALSE(state.enabled());
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_FALSE(state.eventEnabled(i));
  }
}

TEST(TraceProviderState, EnableStoresTheRequestAndSelectsEventsByLevel) {
  TraceProviderState state(kEvents, 4);
  state.control(kTraceControlEnable, 4, ~std::uint64_t{0}, 0);
  EXPECT_TRUE(state.enabled());
  EXPECT_EQ(state.level(), 4);
  EXPECT_EQ(state.matchAnyKeyword(), ~std::uint64_t{0});
  EXPECT_EQ(state.matchAllKeyword(), 0u);
  EXPECT_TRUE(state.eventEnabled(0));
  EXPECT_FALSE(state.eventEnabled(1));  // verbose is above informational
  EXPECT_TRUE(state.eventEnabled(2));
  EXPECT_TRUE(state.eventEnabled(3));  // level 0 passes any request
  EXPECT_FALSE(state.eventEnabled(4));  // no such event
}

TEST(TraceProviderState, RequestedLevelZeroTakesEveryLevel) {
  TraceProviderState state(kEvents, 4);
  state.control(kTraceControlEnable, 0, ~std::uint64_t{0}, 0);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_TRUE(state.eventEnabled(i)) << i;
  }
}

TEST(TraceProviderState, KeywordsMustMatchAnyAndAll) {
  TraceProviderState state(kEvents, 4);
  // Any of 2 or 8; all of nothing.
  state.control(kTraceControlEnable, 5, 0xA, 0);
  EXPECT_TRUE(state.eventEnabled(0));  // no keyword always passes
  EXPECT_FALSE(state.eventEnabled(1));
  EXPECT_TRUE(state.eventEnabled(2));
  EXPECT_TRUE(state.eventEnabled(3));
  // Any of 2 or 4, and both of them.
  state.control(kTraceControlEnable, 5, 0x6, 0x6);
  EXPECT_TRUE(state.eventEnabled(2));
  EXPECT_FALSE(state.eventEnabled(3));
  // Any of 2, and all of 2 and 8: keyword 6 lacks 8.
  state.control(kTraceControlEnable, 5, 0x2, 0xA);
  EXPECT_FALSE(state.eventEnabled(2));
  EXPECT_TRUE(state.eventEnabled(0));
}

TEST(TraceProviderState, DisableClearsEverything) {
  TraceProviderState state(kEvents, 4);
  state.control(kTraceControlEnable, 5, 0xF, 0x1);
  state.control(kTraceControlDisable, 5, 0xF, 0x1);
  EXPECT_FALSE(state.enabled());
  EXPECT_EQ(state.level(), 0);
  EXPECT_EQ(state.matchAnyKeyword(), 0u);
  EXPECT_EQ(state.matchAllKeyword(), 0u);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_FALSE(state.eventEnabled(i));
  }
}

TEST(TraceProviderState, CaptureStateChangesNothing) {
  TraceProviderState state(kEvents, 4);
  state.control(kTraceControlEnable, 4, 0x1, 0);
  state.control(kTraceControlCaptureState, 0, 0, 0);
  EXPECT_TRUE(state.enabled());
  EXPECT_EQ(state.level(), 4);
  EXPECT_TRUE(state.eventEnabled(0));
  EXPECT_FALSE(state.eventEnabled(2));
}

}  // namespace
}  // namespace Quor
