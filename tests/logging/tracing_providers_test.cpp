#include "logging/tracing_providers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "logging/log_platform.h"

namespace Quor {
namespace {

using ::testing::ElementsAre;

std::string guidText(const TraceGuid& guid) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.data1, guid.data2,
                guid.data3, guid.data4[0], guid.data4[1], guid.data4[2], guid.data4[3], guid.data4[4],
                guid.data4[5], guid.data4[6], guid.data4[7]);
  return text;
}

struct WrittenEvent {
  TraceRegistrationHandle handle;
  TraceEventDescriptor descriptor;
  std::vector<std::string> data;
};

// What the fake system saw, and how it answers.
struct FakeSystem {
  std::vector<std::string> registered;
  std::vector<TraceRegistrationHandle> unregistered;
  std::vector<WrittenEvent> written;
  std::string refusedProvider;  // answered with an error
  std::string enabledProvider;  // enabled by a controller as it registers
  TraceRegistrationHandle nextHandle = 0x100;
};
FakeSystem gSystem;

std::uint32_t QCP_STDCALL fakeRegister(const TraceGuid* id, TraceEnableCallback callback, void* context,
                                       TraceRegistrationHandle* handle) {
  const std::string text = guidText(*id);
  gSystem.registered.push_back(text);
  if (text == gSystem.refusedProvider) {
    return 5;
  }
  *handle = gSystem.nextHandle++;
  // A controller already waiting for the provider enables it during the
  // registration, as the system does.
  if (text == gSystem.enabledProvider) {
    callback(id, kTraceControlEnable, 5, ~std::uint64_t{0}, 0, nullptr, context);
  }
  return 0;
}

std::uint32_t QCP_STDCALL fakeWrite(TraceRegistrationHandle handle, const TraceEventDescriptor* descriptor,
                                    std::uint32_t count, TraceEventData* data) {
  WrittenEvent event{handle, *descriptor, {}};
  for (std::uint32_t i = 0; i < count; ++i) {
    const auto* bytes = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(data[i].pointer));
    event.data.emplace_back(bytes, data[i].size);
  }
  gSystem.written.push_back(event);
  return 0;
}

std::uint32_t QCP_STDCALL fakeUnregister(TraceRegistrationHandle handle) {
  gSystem.unregistered.push_back(handle);
  return 0;
}

constexpr TracingApi kFakeApi{fakeRegister, fakeWrite, fakeUnregister, 0};

std::string bytesOf(std::uint32_t value) {
  return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

// Takes the providers off whatever registered them at load and puts them
// back the same way afterwards.
class TracingProvidersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    unregisterTracingProviders();
    gSystem = FakeSystem{};
  }
  void TearDown() override {
    unregisterTracingProviders();
    registerTracingProviders(loadSystemTracingApi());
  }
};

TEST_F(TracingProvidersTest, RegistersTheFourProvidersInOrder) {
  registerTracingProviders(kFakeApi);
  EXPECT_THAT(gSystem.registered,
              ElementsAre("{2F9EFE86-4AF7-4F37-A40F-94B909A157D6}", "{EA08C559-95A8-4AA2-AFA6-18738EEC6D37}",
                          "{10F6728C-EF92-4BF1-8397-49E693A6EB74}", "{46DD7F96-60CB-416B-8085-DA5CD8F491DD}"));
  for (std::size_t i = 0; i < kTracingProviderCount; ++i) {
    EXPECT_TRUE(tracingProviderRegistered(i)) << i;
    EXPECT_FALSE(tracingProviderState(i).enabled()) << i;
  }
  // Nothing is written for a provider nobody enabled.
  EXPECT_TRUE(gSystem.written.empty());
}

TEST_F(TracingProvidersTest, RegisteredProvidersAreLeftAlone) {
  gSystem.refusedProvider = "{10F6728C-EF92-4BF1-8397-49E693A6EB74}";
  registerTracingProviders(kFakeApi);
  EXPECT_FALSE(tracingProviderRegistered(2));
  EXPECT_TRUE(tracingProviderRegistered(3));
  gSystem.refusedProvider.clear();
  gSystem.registered.clear();
  registerTracingProviders(kFakeApi);
  EXPECT_THAT(gSystem.registered, ElementsAre("{10F6728C-EF92-4BF1-8397-49E693A6EB74}"));
  EXPECT_TRUE(tracingProviderRegistered(2));
}

TEST_F(TracingProvidersTest, WithoutRegisterFunctionNothingIsRegistered) {
  TracingApi partial = kFakeApi;
  partial.eventRegister = nullptr;
  registerTracingProviders(partial);
  registerTracingProviders(TracingApi{});
  for (std::size_t i = 0; i < kTracingProviderCount; ++i) {
    EXPECT_FALSE(tracingProviderRegistered(i));
  }
}

TEST_F(TracingProvidersTest, EnabledSecondProviderNamesTheMainThread) {
  gSystem.enabledProvider = "{EA08C559-95A8-4AA2-AFA6-18738EEC6D37}";
  registerTracingProviders(kFakeApi);
  EXPECT_TRUE(tracingProviderState(1).enabled());
  EXPECT_TRUE(tracingProviderState(1).eventEnabled(0));
  ASSERT_EQ(gSystem.written.size(), 1u);
  const WrittenEvent& event = gSystem.written[0];
  EXPECT_EQ(event.handle, 0x101u);
  EXPECT_EQ(event.descriptor.id, kThreadNameEvent.id);
  EXPECT_THAT(event.data, ElementsAre(bytesOf(currentThreadId()), std::string("Main thread", 12)));
}

TEST_F(TracingProvidersTest, OtherEnabledProvidersWriteNothing) {
  gSystem.enabledProvider = "{2F9EFE86-4AF7-4F37-A40F-94B909A157D6}";
  registerTracingProviders(kFakeApi);
  EXPECT_TRUE(tracingProviderState(0).enabled());
  EXPECT_TRUE(gSystem.written.empty());
}

TEST_F(TracingProvidersTest, MissingThreadNameIsWrittenAsNull) {
  registerTracingProviders(kFakeApi);
  writeThreadNameEvent(0x1A2C, nullptr);
  ASSERT_EQ(gSystem.written.size(), 1u);
  EXPECT_THAT(gSystem.written[0].data, ElementsAre(bytesOf(0x1A2C), std::string("NULL", 5)));
}

TEST_F(TracingProvidersTest, UnregisterReleasesEveryHandleAndClearsTheState) {
  gSystem.enabledProvider = "{EA08C559-95A8-4AA2-AFA6-18738EEC6D37}";
  registerTracingProviders(kFakeApi);
  unregisterTracingProviders();
  EXPECT_THAT(gSystem.unregistered, ElementsAre(0x100u, 0x101u, 0x102u, 0x103u));
  for (std::size_t i = 0; i < kTracingProviderCount; ++i) {
    EXPECT_FALSE(tracingProviderRegistered(i));
    EXPECT_FALSE(tracingProviderState(i).enabled());
  }
  // Nothing left to unregister, and no event without a registration.
  unregisterTracingProviders();
  writeThreadNameEvent(1, "late");
  EXPECT_EQ(gSystem.unregistered.size(), 4u);
  EXPECT_EQ(gSystem.written.size(), 1u);
}

TEST_F(TracingProvidersTest, TheEnableCallbackDrivesTheProviderState) {
  registerTracingProviders(kFakeApi);
  void* context = const_cast<TraceProviderState*>(&tracingProviderState(1));
  traceEnableCallback(&tracingProviderId(1), kTraceControlEnable, 4, 1, 0, nullptr, context);
  EXPECT_TRUE(tracingProviderState(1).enabled());
  EXPECT_EQ(tracingProviderState(1).level(), 4);
  traceEnableCallback(&tracingProviderId(1), kTraceControlDisable, 0, 0, 0, nullptr, context);
  EXPECT_FALSE(tracingProviderState(1).enabled());
  // Without a context there is nothing to update.
  traceEnableCallback(&tracingProviderId(1), kTraceControlEnable, 4, 1, 0, nullptr, nullptr);
  EXPECT_FALSE(tracingProviderState(1).enabled());
}

}  // namespace
}  // namespace Quor
