#include <gtest/gtest.h>

#include "logging/tracing_providers.h"

namespace Quor {
namespace {

// The program registered the providers with the system's tracing when it was
// loaded (the tracing tests put that registration back when they end).
TEST(TracingAtLoad, ProvidersAreRegisteredWithTheSystem) {
  const TracingApi api = loadSystemTracingApi();
  ASSERT_NE(api.eventRegister, nullptr);
  EXPECT_NE(api.eventWrite, nullptr);
  EXPECT_NE(api.eventUnregister, nullptr);
  EXPECT_GT(api.counterFrequency, 0);
  for (std::size_t i = 0; i < kTracingProviderCount; ++i) {
    EXPECT_TRUE(tracingProviderRegistered(i)) << i;
  }
}

}  // namespace
}  // namespace Quor
