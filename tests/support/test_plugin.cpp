// A plugin of our own on the same bridge and loader entry as the product
// DLL, for driving the bridge from outside through the core's records
// (the host simulator, the loader programs of tests/host_process).
//
// Routes:
//   POST /test-plugin/v1/items/{id}?limit=N   path parameter, query argument
//        and JSON body; answers {id, limit, name, tagCount}
//   PUT  /test-plugin/v1/greeting             named typed argument "greeting"
//   GET  /test-plugin/v1/greeting             the stored greeting
//   GET  /test-plugin/v1/core-args            the core's command line, asked
//        of the core
//   POST /test-plugin/v1/jobs                 schedules a job that publishes
//        the greeting's resource event, posts telemetry and logs
//   POST /test-plugin/v1/log                  logs one WARN line, or as many
//        as the optional argument "count" says (up to 100,000)
//   GET  /test-plugin/v1/answer-headers       answers with headers of its
//        own, cross-origin ones among them
//   POST /test-plugin/v1/slow-handler         adds a handler of resource
//        events on "/test-plugin/v1/slow" that logs, sleeps as many
//        milliseconds as the event's data says, reads the greeting and logs
//        again (an event handler still running on a second thread at stop)
//   POST /test-plugin/v1/waiting-job          schedules a job that yields
//        until the plugin is stopped
//   POST /test-plugin/v1/held-prompt          starts the elevation prompt's
//        thread with a shell call that sets the event
//        "qcp-test-plugin-prompt-entered" and then waits (up to 60 s) for
//        "qcp-test-plugin-prompt-release" (a module reference held past
//        unload)

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "host/plugin_object_factory.h"
#include "host/telemetry_sender.h"
#include "logging/logger.h"
#include "plugin/shell_execute_thread.h"
#include "tests/support/test_items_route.h"

namespace Quor {

namespace {

class TestPlugin final : public PluginBase {
 public:
  void registerEndpoints() override {
    addTestItemsRoute(transport);
    transport
        .addRoute(RequestMethod::Put, "/test-plugin/v1/greeting",
                  [this](const std::string& greeting) {
                    std::lock_guard lock(mutex_);
                    greeting_ = greeting;
                  })
        .parameter(0, "greeting");
    transport.addRoute(RequestMethod::Get, "/test-plugin/v1/greeting", [this] {
      std::lock_guard lock(mutex_);
      return greeting_;
    });
    transport.addRoute(RequestMethod::Get, "/test-plugin/v1/core-args", [this] {
      return call<std::vector<std::string>>(RequestMethod::Get, "/quorclient/command-line-args");
    });
    transport.addRoute(RequestMethod::Post, "/test-plugin/v1/jobs", [this] {
      scheduleJob("qel-beta-opt-in.test-job", [this] { runJob(); }, std::chrono::steady_clock::now());
    });
    transport
        .addRoute(RequestMethod::Post, "/test-plugin/v1/log",
                  [](std::optional<std::uint32_t> count) {
                    for (std::uint32_t line = 0; line < std::min<std::uint32_t>(count.value_or(1), 100'000); ++line) {
                      log(LogLevel::Warn, LogCategory::Gen, "test-plugin: log request");
                    }
                  })
        .parameter(0, "count");
    transport.addRoute(RequestMethod::Get, "/test-plugin/v1/answer-headers", [](RemotingResponse& response) {
      response.headers["Access-Control-Allow-Origin"] = "*";
      response.headers["Access-Control-Allow-Credentials"] = "true";
      response.headers["X-Test-Plugin"] = "answer-headers";
    });
    transport.addRoute(RequestMethod::Post, "/test-plugin/v1/slow-handler", [this] {
      addExactResourceHandler("/test-plugin/v1/slow",
                              [this](const Client::PluginResourceEvent& event) { runSlowHandler(event); });
    });
    transport.addRoute(RequestMethod::Post, "/test-plugin/v1/waiting-job", [this] {
      scheduleJob("qel-beta-opt-in.test-waiting-job", [this] {
        while (!stopRequested()) waitYield();
      }, std::chrono::steady_clock::now());
    });
    transport.addRoute(RequestMethod::Post, "/test-plugin/v1/held-prompt", [] {
      ShellExecuteRequest request;
      request.verb = "runas";
      request.file = "held";
      if (const std::shared_ptr<ShellExecuteCall> call = startShellExecute(heldPromptSystem(), request)) call->abandon();
    });
  }

 private:
  void runJob() {
    Client::PluginResourceEvent event;
    event.uri = "/test-plugin/v1/greeting";
    event.eventType = Client::PluginResourceEventType::Update;
    {
      std::lock_guard lock(mutex_);
      event.data.setString(greeting_);
    }
    const Expected<void> published = publishResourceEvent("OnJsonApiEvent", event, 0);
    const Expected<void> sent = telemetrySender()->send("test_plugin_job", {{"result", "done"}}).get();
    log(LogLevel::Warn, LogCategory::Gen, "test-plugin: job done (published %d, telemetry %d)",
        published ? 1 : 0, sent ? 1 : 0);
  }

  void runSlowHandler(const Client::PluginResourceEvent& event) {
    log(LogLevel::Warn, LogCategory::Gen, "test-plugin: slow handler began");
    std::this_thread::sleep_for(std::chrono::milliseconds(event.data.toUnsigned(0)));
    std::string greeting;
    {
      std::lock_guard lock(mutex_);
      greeting = greeting_;
    }
    log(LogLevel::Warn, LogCategory::Gen, "test-plugin: slow handler done (greeting \"%s\")", greeting.c_str());
  }

  // A shell whose call holds the prompt's thread inside this library until
  // the test lets it go.
  class HeldPromptSystem final : public ElevatedLaunchSystem {
   public:
    bool isVersion6OrLater() override { return true; }
    std::uint32_t systemDirectory(char*, std::uint32_t) override { return 0; }
    Expected<std::string> executableDirectory() override { return std::string(); }
    bool isOnNetworkDrive(const std::string&) override { return false; }
    ShellExecuteAnswer shellExecute(const ShellExecuteRequest&) override {
      if (const HANDLE entered = OpenEventA(EVENT_MODIFY_STATE, FALSE, "qcp-test-plugin-prompt-entered")) {
        SetEvent(entered);
        CloseHandle(entered);
      }
      if (const HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, "qcp-test-plugin-prompt-release")) {
        WaitForSingleObject(release, 60'000);
        CloseHandle(release);
      }
      return {2, nullptr};  // "file not found": no process to close
    }
    ProcessPoll pollProcess(ProcessHandle) override { return ProcessPoll::Failed; }
    bool processExitCode(ProcessHandle, std::uint32_t&) override { return false; }
    void closeProcess(ProcessHandle) override {}
    std::uint32_t lastErrorCode() override { return 0; }
    std::int64_t steadyNanoseconds() override { return 0; }
    std::int64_t wallClockTicks() override { return 0; }
  };
  static HeldPromptSystem& heldPromptSystem() {
    static HeldPromptSystem system;
    return system;
  }

  std::mutex mutex_;
  std::string greeting_;
};

}  // namespace

std::unique_ptr<PluginBase> makePluginObject() { return std::make_unique<TestPlugin>(); }

}  // namespace Quor
