// Loading: the compatibility and naming rules, the handshake written by a
// load, the refusal of an incompatible core, the loader entry's refusal when
// no plugin object comes, and stop.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/plugin_api_version.h"
#include "host/plugin_loader_entry.h"
#include "host/plugin_names.h"
#include "host/plugin_object_factory.h"
#include "logging/fatal_error.h"
#include "tests/host/fake_host.h"
#include "tests/logging/capturing_log_target.h"

namespace Quor {

namespace {
bool gRefuseObject = false;
}  // namespace

// The loader entry's plugin object in this test program.
std::unique_ptr<PluginBase> makePluginObject() {
  if (gRefuseObject) return nullptr;
  return std::make_unique<PluginBase>();
}

namespace HostTest {
namespace {

using Testing::CapturingLogTarget;
using Testing::IsolatedLoggerTest;

TEST(PluginApiVersionTest, CompatibilityAndTextForm) {
  struct Case {
    PluginApiVersion core;
    bool accepted;
    const char* text;
  } const cases[] = {
      {{18, 0, 0, {}, {}}, true, "18.0.0"},
      {{18, 3, 1, {}, {}}, true, "18.3.1"},
      {{18, 0, 7, "rc.1", "5"}, true, "18.0.7-rc.1+5"},
      {{17, 9, 9, {}, {}}, false, "17.9.9"},
      {{19, 0, 0, {}, "5"}, false, "19.0.0+5"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(isCompatible(pluginApiVersion(), c.core), c.accepted) << c.text;
    EXPECT_EQ(versionText(c.core), c.text);
  }
  // Against a plugin newer in minor or patch, an older core is refused.
  EXPECT_FALSE(isCompatible({18, 2, 0, {}, {}}, {18, 1, 9, {}, {}}));
  EXPECT_FALSE(isCompatible({18, 2, 5, {}, {}}, {18, 2, 4, {}, {}}));
  EXPECT_TRUE(isCompatible({18, 2, 5, {}, {}}, {18, 3, 0, {}, {}}));
}

class PluginNamesTest : public IsolatedLoggerTest {};

TEST_F(PluginNamesTest, PrefixByExactType) {
  struct Case {
    const char* type;
    const char* fullName;
    bool logged;
  } const cases[] = {
      {"backend", "qcp-be-qel-beta-opt-in", false},
      {"frontend", "qcp-fe-qel-beta-opt-in", false},
      {"Backend", "qcp-xx-qel-beta-opt-in", true},
      {"backend ", "qcp-xx-qel-beta-opt-in", true},
  };
  for (const Case& c : cases) {
    CapturingLogTarget target;
    target.configure(target.settings());
    const PluginNames names = GetFullNameFromShortNameAndType("qel-beta-opt-in", {c.type, "d"});
    EXPECT_EQ(names.fullName, c.fullName);
    EXPECT_EQ(names.shortName, "qel-beta-opt-in");
    EXPECT_EQ(names.type, c.type);
    EXPECT_EQ(names.detail, "d");
    if (c.logged) {
      ASSERT_EQ(target.records().size(), 1u) << c.type;
      EXPECT_EQ(target.records()[0].level, LogLevel::Error);
      EXPECT_EQ(target.records()[0].category, LogCategory::Dbg);
      EXPECT_EQ(target.records()[0].message, std::string("            Plugin Manager| GetFullNameFromShortNameAndType("
                                                         "\"qel-beta-opt-in\", \"") +
                                                 c.type + "\") called with an unknown type");
    } else {
      EXPECT_TRUE(target.records().empty()) << c.type;
    }
  }
}

class PluginLoadTest : public IsolatedLoggerTest {};

TEST_F(PluginLoadTest, WritesTheHandshakeAndRegistersTheBridgeTypes) {
  auto* plugin = new TestPlugin;
  HostHandshake handshake{18, 3, 1, nullptr, nullptr, nullptr, nullptr};
  plugin->load(&handshake, "qel-beta-opt-in");
  EXPECT_EQ(handshake.apiMajor, 18u);
  EXPECT_EQ(handshake.apiMinor, 0u);
  EXPECT_EQ(handshake.apiPatch, 0u);
  EXPECT_EQ(handshake.pluginContext, static_cast<void*>(static_cast<PluginBase*>(plugin)));
  EXPECT_STREQ(handshake.pluginName, "qel-beta-opt-in");
  EXPECT_EQ(plugin->pluginNames().fullName, "qcp-be-qel-beta-opt-in");
  EXPECT_THAT(plugin->pluginEndpointTags(), ::testing::ElementsAre("Plugins", "Plugin qel-beta-opt-in"));
  ASSERT_NE(handshake.entryPoints, nullptr);

  const auto* answer = static_cast<const HostRegistrationAnswer*>(handshake.registration);
  ASSERT_NE(answer, nullptr);
  std::vector<std::string> events;
  for (const HostEventDescription* event = answer->events; event != nullptr; event = copyOf(event->next)) {
    events.push_back(std::string(copyOf(event->name)) + ":" + copyOf(event->payloadTypeName));
  }
  EXPECT_THAT(events, ::testing::IsSupersetOf({"OnJsonApiEvent:PluginResourceEvent", "OnLcdsEvent:PluginLcdsEvent",
                                                "OnServiceProxyAsyncEvent:PluginServiceProxyResponse"}));
  // The core reads each record's members with their offsets and type names.
  std::vector<std::string> members;
  for (const HostTypeDescription* type = answer->types; type != nullptr; type = copyOf(type->next)) {
    if (std::string(copyOf(type->name)) != "PluginResourceEvent") continue;
    EXPECT_EQ(copyOf(type->size), 48u);
    for (const HostFieldDescription* field = copyOf(type->fields); field != nullptr; field = copyOf(field->next)) {
      const char* typeName = copyOf(field->typeName);
      members.push_back(std::string(copyOf(field->name)) + "@" + std::to_string(copyOf(field->offset)) + ":" +
                        (typeName != nullptr ? typeName : ""));
    }
  }
  EXPECT_THAT(members, ::testing::ElementsAre("uri@0:", "eventType@24:PluginResourceEventType", "data@32:"));

  MemoryStatistics statistics{};
  statistics.reserved0 = 9;
  handshake.entryPoints->memoryStatistics(nullptr, &statistics);
  EXPECT_GT(statistics.allocationCount, 0u);
  EXPECT_GE(statistics.peakLiveBytes, statistics.bytesAllocated - statistics.bytesFreed);
  EXPECT_EQ(statistics.reserved0, 0u);

  // stop removes every handler at the core and destroys the object.
  FakeHost host;
  ASSERT_EQ(handshake.entryPoints->start(handshake.pluginContext, &host.context), 1);
  EXPECT_EQ(host.handlers.size(), 3u);
  bool ran = false;
  plugin->scheduleJob("late", [&ran] { ran = true; }, std::chrono::steady_clock::now());
  handshake.entryPoints->stop(handshake.pluginContext);
  EXPECT_TRUE(host.handlers.empty());
  // A job the core runs after stop finds no plugin object and does nothing.
  host.runJobs();
  EXPECT_FALSE(ran);
}

class ThrowingStartPlugin final : public TestPlugin {
 public:
  bool onStarted() override { throw std::runtime_error("boom"); }
};

TEST_F(PluginLoadTest, AStartThatThrowsAnswers0AndLogsAnError) {
  FakeHost host;
  ThrowingStartPlugin plugin;
  HostHandshake handshake{};
  handshake.apiMajor = 18;
  plugin.load(&handshake, "qel-beta-opt-in");
  EXPECT_EQ(PluginBase::start(static_cast<PluginBase*>(&plugin), &host.context), 0);
  EXPECT_THAT(host.logLines, ::testing::Contains(::testing::Pair(2u, "qel-beta-opt-in: Start failed: boom")));
}

struct ProcessEnded {
  std::string identifier;
};

void endByThrowing(const char* identifier) { throw ProcessEnded{identifier}; }

class PluginRefusalTest : public IsolatedLoggerTest {};

TEST_F(PluginRefusalTest, IncompatibleCoreEndsTheProcessWithNothingWritten) {
  CapturingLogTarget target;
  target.configure(target.settings());
  const ProcessEndHook previous = setProcessEndHook(endByThrowing);
  TestPlugin plugin;
  HostHandshake handshake{19, 0, 0, nullptr, nullptr, nullptr, nullptr};
  std::string ended;
  try {
    plugin.load(&handshake, "qel-beta-opt-in");
  } catch (const ProcessEnded& end) {
    ended = end.identifier;
  }
  setProcessEndHook(previous);
  EXPECT_EQ(ended, "ALE-EECF0606");
  EXPECT_EQ(handshake.apiMajor, 19u);
  EXPECT_EQ(handshake.entryPoints, nullptr);
  EXPECT_EQ(handshake.pluginName, nullptr);
  ASSERT_FALSE(target.records().empty());
  EXPECT_EQ(target.records()[0].level, LogLevel::Error);
  EXPECT_THAT(target.records()[0].message,
              ::testing::HasSubstr("qel-beta-opt-in which supports plugin API 18.0.0 is not compatible with "
                                   "core's plugin API 19.0.0"));
}

TEST_F(PluginRefusalTest, LoaderEntryWithoutPluginObjectLeavesNoEntryPoints) {
  CapturingLogTarget target;
  target.configure(target.settings());
  int marker = 0;
  HostHandshake handshake{18, 0, 0, reinterpret_cast<PluginEntryPoints*>(&marker), &marker, "x", &marker};
  gRefuseObject = true;
  EXPECT_EQ(load_qel_beta_opt_in(&handshake), 0);
  gRefuseObject = false;
  EXPECT_EQ(handshake.entryPoints, nullptr);
  EXPECT_EQ(handshake.pluginContext, nullptr);
  EXPECT_EQ(handshake.pluginName, nullptr);
  EXPECT_EQ(handshake.registration, nullptr);
  ASSERT_EQ(target.records().size(), 1u);
  EXPECT_EQ(target.records()[0].message,
            "qel-beta-opt-in: The plugin could not be loaded: the plugin object could not be created");

  // With an object, the entry loads it; stop frees it.
  EXPECT_EQ(load_qel_beta_opt_in(&handshake), 0);
  ASSERT_NE(handshake.entryPoints, nullptr);
  handshake.entryPoints->stop(handshake.pluginContext);
}

}  // namespace
}  // namespace HostTest
}  // namespace Quor
