// Events: names of resource paths, wildcard patterns, publication,
// reference-counted subscriptions, delivery and dispatch, the service-proxy
// bookkeeping and shutdown.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "host/resource_event_name.h"
#include "tests/host/fake_host.h"
#include "tests/logging/capturing_log_target.h"

namespace Quor::HostTest {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Pair;
using Client::PluginResourceEvent;
using Client::PluginResourceEventType;
using Client::AppModule::PluginServiceProxyResponse;

TEST(ResourceEventNameTest, SegmentsUpToTheLimit) {
  const std::pair<const char*, const char*> cases[] = {
      {"/qel-beta-opt-in/v1/needs-migration", "OnJsonApiEvent_qel-beta-opt-in_v1_needs-migration"},
      {"/data-store/v1/install-settings/opt-in-has-migrated-v2", "OnJsonApiEvent_data-store_v1_install-settings"},
      {"/qel-platform-config/v1/namespaces/a/b/c", "OnJsonApiEvent_qel-platform-config_v1_namespaces_a_b"},
      {"/x/qel-platform-config/a/b/c", "OnJsonApiEvent_x_qel-platform-config_a"},
      {"qel-beta-opt-in//v1/", "OnJsonApiEvent_qel-beta-opt-in_v1"},
      {"/", "OnJsonApiEvent"},
      {"", "OnJsonApiEvent"},
  };
  for (const auto& [path, name] : cases) EXPECT_EQ(resourceEventName(path), name) << path;
}

TEST(ResourcePatternTest, WildcardRunsUpToTheNextSlash) {
  struct Case {
    const char* pattern;
    const char* path;
    bool matches;
  } const cases[] = {
      {"/a/*/c", "/a/xyz/c", true}, {"/a/*/c", "/a//c", true},  {"/a/*/c", "/a/x/y/c", false},
      {"/a/*", "/a/b", true},       {"/a/*", "/a/", false},     {"/a/*", "/a/b/c", false},
      {"/a/*b", "/a/xb", false},    {"/a/b", "/a/b", true},     {"/a/b", "/a/bc", false},
      {"*", "abc", true},           {"*/*", "a/b", true},       {"/a/*/", "/a/b/", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(resourcePatternMatches(c.pattern, c.path), c.matches) << c.pattern << " " << c.path;
  }
}

class HostEventsTest : public Testing::IsolatedLoggerTest {
 protected:
  void SetUp() override {
    IsolatedLoggerTest::SetUp();
    plugin_.loadAndStart(host_);
    host_.calls.clear();
  }

  static Value resourcePayload(const char* uri) {
    Value payload;
    payload.makeStructure();
    payload.writeMember("uri").setString(uri);
    payload.writeMember("eventType").setString("Update");
    payload.writeMember("data").setSigned(std::int64_t{5});
    return payload;
  }
  static Value proxyPayload(const char* uuid, const char* service, const char* method) {
    Value payload;
    payload.makeStructure();
    payload.writeMember("uuid").setString(uuid);
    payload.writeMember("serviceName").setString(service);
    payload.writeMember("methodName").setString(method);
    return payload;
  }

  FakeHost host_;
  TestPlugin plugin_;
};

TEST_F(HostEventsTest, PublishesUnderThePathNameThenTheBaseName) {
  PluginResourceEvent event;
  event.uri = "/a";
  event.eventType = PluginResourceEventType::Update;
  event.data.setBool(true);
  ASSERT_TRUE(plugin_.publishResourceEvent("OnJsonApiEvent", event));
  ASSERT_TRUE(plugin_.publishResourceEvent("OnJsonApiEvent_a", event));
  EXPECT_THAT(host_.published, ElementsAre("OnJsonApiEvent_a", "OnJsonApiEvent", "OnJsonApiEvent_a"));
  const Value& payload = host_.publishedPayloads[0];
  EXPECT_EQ(payload.member("uri").getString(), "/a");
  EXPECT_EQ(payload.member("eventType").getString(), "Update");
  EXPECT_TRUE(payload.member("data").getBool());
}

TEST_F(HostEventsTest, SubscriptionsAreCountedAndGuardedAtZero) {
  const std::string name = "OnJsonApiEvent_a_b";
  plugin_.unsubscribe("/a/b");  // nothing to undo
  plugin_.subscribe("/a/b");
  plugin_.subscribe("a//b/");
  EXPECT_EQ(plugin_.subscriptionCount(name), 2);
  plugin_.unsubscribe("/a/b");
  EXPECT_EQ(host_.handlers.count(name), 1u);
  plugin_.unsubscribe("/a/b");
  plugin_.unsubscribe("/a/b");
  EXPECT_EQ(plugin_.subscriptionCount(name), 0);
  plugin_.subscribe("/a/b");
  EXPECT_THAT(host_.calls, ElementsAre("registerEventHandler " + name + " 77 0", "unregisterEventHandler " + name + " 77",
                                       "registerEventHandler " + name + " 77 0"));
  EXPECT_EQ(plugin_.eventHandlers.count(name), 1u);
}

TEST_F(HostEventsTest, DeliveredEventsReachExactAndPatternHandlers) {
  std::vector<std::string> seen;
  plugin_.addExactResourceHandler("/a/b", [&](const PluginResourceEvent& e) {
    seen.push_back("exact " + e.uri);
    throw std::runtime_error("no room");  // logged; the pattern handler still runs
  });
  plugin_.addPatternResourceHandler("/a/*", [&](const PluginResourceEvent& e) { seen.push_back("pattern " + e.uri); });
  plugin_.addPatternResourceHandler("/x/*", [&](const PluginResourceEvent&) { seen.push_back("other"); });
  // Both listen on the base event, registered once.
  EXPECT_THAT(host_.calls, ElementsAre("registerEventHandler OnJsonApiEvent 77 0"));
  EXPECT_EQ(plugin_.subscriptionCount("OnJsonApiEvent"), 3);

  // The core delivers a published event under its path's name and the base
  // name; the path subscribed too must not make the handlers run twice.
  plugin_.subscribe("/a/b");
  ASSERT_TRUE(host_.deliver("OnJsonApiEvent_a_b", resourcePayload("a/b")));
  ASSERT_TRUE(host_.deliver("OnJsonApiEvent", resourcePayload("a/b")));
  EXPECT_THAT(seen, ElementsAre("exact a/b", "pattern a/b"));
  EXPECT_THAT(host_.logLines,
              Contains(Pair(2u, "qel-beta-opt-in: The handler of event OnJsonApiEvent ended with an exception: no room")));
  seen.clear();
  Value wrong;
  wrong.setString("not an event");
  ASSERT_TRUE(host_.deliver("OnJsonApiEvent", wrong));  // dropped
  EXPECT_TRUE(seen.empty());

  plugin_.removeExactResourceHandler("a/b");
  plugin_.removePatternResourceHandler("/a/*");
  plugin_.removePatternResourceHandler("/x/*");
  EXPECT_EQ(host_.handlers.count("OnJsonApiEvent"), 0u);
}

// The core may subscribe, unsubscribe and deliver on threads of its own.
TEST_F(HostEventsTest, SubscriptionChangedDuringTheCoresCallEndsRegisteredAsCounted) {
  const std::string name = "OnJsonApiEvent_a_b";
  using Change = void (TestPlugin::*)(const std::string&);
  struct Case {
    int subscribedBefore;
    Change first;
    Change meanwhile;  // on another thread, while the core handles the first
    std::int64_t count;
  } const cases[] = {
      {0, &TestPlugin::subscribe, &TestPlugin::unsubscribe, 0},
      {1, &TestPlugin::unsubscribe, &TestPlugin::subscribe, 1},
  };
  for (const Case& c : cases) {
    for (int i = 0; i < c.subscribedBefore; ++i) plugin_.subscribe("/a/b");
    host_.duringNextRegistration = [&] { std::thread([&] { (plugin_.*c.meanwhile)("/a/b"); }).join(); };
    (plugin_.*c.first)("/a/b");
    EXPECT_EQ(plugin_.subscriptionCount(name), c.count);
    EXPECT_EQ(host_.handlers.count(name), static_cast<std::size_t>(c.count)) << c.subscribedBefore;
    for (std::int64_t i = 0; i < c.count; ++i) plugin_.unsubscribe("/a/b");
  }
}

TEST_F(HostEventsTest, EventsOnSeveralThreadsReachEachHandlerOnce) {
  std::atomic<int> exact{0};
  std::atomic<int> pattern{0};
  plugin_.addExactResourceHandler("/a/b", [&](const PluginResourceEvent&) { ++exact; });
  plugin_.addPatternResourceHandler("/a/*", [&](const PluginResourceEvent&) { ++pattern; });
  std::atomic<bool> delivering{true};
  std::thread changer([&] {
    while (delivering) {
      plugin_.subscribe("/a/b");
      plugin_.addPatternResourceHandler("/x/*", [](const PluginResourceEvent&) {});
      plugin_.unsubscribe("/a/b");
      plugin_.removePatternResourceHandler("/x/*");
    }
  });
  constexpr int threadCount = 3;
  constexpr int eventsPerThread = 300;
  std::vector<std::thread> deliverers;
  for (int t = 0; t < threadCount; ++t) {
    deliverers.emplace_back([this] {
      const Value payload = resourcePayload("/a/b");
      for (int i = 0; i < eventsPerThread; ++i) {
        host_.deliver("OnJsonApiEvent_a_b", payload);
        host_.deliver("OnJsonApiEvent", payload);
      }
    });
  }
  for (std::thread& thread : deliverers) thread.join();
  delivering = false;
  changer.join();
  EXPECT_EQ(exact, threadCount * eventsPerThread);
  EXPECT_EQ(pattern, threadCount * eventsPerThread);
}

TEST_F(HostEventsTest, ServiceProxyAnswersAreKeptAndCompleted) {
  Testing::CapturingLogTarget target;
  target.configure(target.settings());
  ASSERT_TRUE(host_.deliver("OnServiceProxyMethodEvent", proxyPayload("u1", "svc", "m")));
  ASSERT_TRUE(host_.deliver("OnServiceProxyUuidEvent", proxyPayload("u2", "svc", "n")));
  ASSERT_TRUE(host_.deliver("OnServiceProxyAsyncEvent", proxyPayload("u3", "svc", "async")));
  EXPECT_EQ(plugin_.proxyResponses.count("svc.m"), 1u);
  EXPECT_EQ(plugin_.proxyResponses.count("u2"), 1u);
  EXPECT_EQ(plugin_.storedProxyResponseCount(), 2u);

  std::vector<std::string> completed;
  plugin_.addPendingProxyRequest("u2", [&](const PluginServiceProxyResponse& r) { completed.push_back(r.methodName); });
  plugin_.addAsyncProxyHandler("svc.async", [&](const PluginServiceProxyResponse& r) { completed.push_back(r.uuid); });
  ASSERT_TRUE(host_.deliver("OnServiceProxyAsyncEvent", proxyPayload("u4", "svc", "async")));
  EXPECT_THAT(completed, ElementsAre("n", "u4"));
  EXPECT_EQ(plugin_.storedProxyResponseCount(), 1u);

  std::vector<std::string> lines;
  for (const auto& record : target.records()) lines.push_back(std::to_string(record.level) + " " + record.message);
  EXPECT_THAT(lines, ElementsAre("2 qel-beta-opt-in: Could not find registered handler for async service proxy "
                                 "event svc.async",
                                 "3 qel-beta-opt-in: Fulfilled service proxy request: u2"));
}

TEST_F(HostEventsTest, ASubscriptionTheCoreIsRegisteringAtShutdownIsRemovedToo) {
  std::atomic<bool> inside{false};
  host_.duringNextRegistration = [&] {
    inside = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // shutdown runs meanwhile
  };
  std::thread subscriber([this] { plugin_.subscribe("/late"); });
  while (!inside) std::this_thread::yield();
  plugin_.shutdown();
  subscriber.join();
  EXPECT_TRUE(host_.handlers.empty()) << "a registration reached the core after shutdown's unregister";
  plugin_.subscribe("/later");  // nothing reaches the core once shut down
  EXPECT_TRUE(host_.handlers.empty());
}

TEST_F(HostEventsTest, ShutdownRemovesEveryHandler) {
  plugin_.subscribe("/a");
  plugin_.addExactResourceHandler("/b", [](const PluginResourceEvent&) {});
  host_.calls.clear();
  plugin_.shutdown();
  EXPECT_EQ(host_.calls.size(), 5u);  // three service-proxy events, "/a" and the base event
  EXPECT_TRUE(host_.handlers.empty());
  EXPECT_TRUE(plugin_.eventHandlers.empty());
  EXPECT_TRUE(plugin_.exactResourceHandlers.empty());
  EXPECT_EQ(plugin_.subscriptionCount("OnJsonApiEvent_a"), 0);
}

}  // namespace
}  // namespace Quor::HostTest
