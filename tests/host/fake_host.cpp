#include "tests/host/fake_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "remoting/host_response.h"

namespace Quor::HostTest {

namespace {

// The release function gets the record alone; the tests use one fake core
// at a time.
FakeHost* gCurrentHost = nullptr;

}  // namespace

struct FakeHostFunctions {
  static void runDuringRegistration(FakeHost& host) {
    std::function<void()> during;
    {
      std::lock_guard lock(host.mutex);
      during = std::exchange(host.duringNextRegistration, nullptr);
    }
    if (during) during();
  }
  static std::uint32_t streamRead(void* stream, void* buffer, std::uint32_t* size, std::uint8_t* more) {
    FakeHost& host = *static_cast<FakeHost*>(stream);
    host.calls.push_back("streamRead");
    if (host.nextChunk_ >= host.current_.chunks.size()) return 0;
    const ScriptedAnswer::Chunk& chunk = host.current_.chunks[host.nextChunk_++];
    const auto count = static_cast<std::uint32_t>(std::min<std::size_t>(chunk.bytes.size(), *size));
    std::memcpy(buffer, chunk.bytes.data(), count);
    *size = count;
    *more = chunk.more;
    host.readSizes.push_back(count);
    return 1;
  }
  static void streamRelease(void* stream) {
    FakeHost& host = *static_cast<FakeHost*>(stream);
    host.calls.push_back("streamRelease");
    ++host.streamReleases;
  }
  static void release(HostResponse* response) {
    HostValue body = response->body;
    releaseHostValue(body);
    libraryFree(response->errorMessage);
    std::memset(static_cast<void*>(response), 0, sizeof *response);
    gCurrentHost->calls.push_back("release");
    ++gCurrentHost->releases;
  }

  static void sendRequest(HostFunctions* table, HostResponse* response, const HostRequest* request) {
    FakeHost& host = FakeHost::of(table);
    host.calls.push_back(std::string("sendRequest ") + request->path);
    SentRequest sent;
    sent.method = request->method;
    sent.path = request->path;
    sent.argumentCount = request->argumentCount;
    sent.requestId = request->requestId;
    if (request->argumentCount > 0) {
      sent.positional = request->arguments[0].name == nullptr;
      HostErrorSink sink{};
      const HostValue value = request->arguments[0].value;
      EXPECT_TRUE(hostValueToValue(sink, sent.argument, value, "argument"));
    }
    host.requests.push_back(std::move(sent));

    host.current_ = host.answers.empty() ? ScriptedAnswer{} : std::move(host.answers.front());
    if (!host.answers.empty()) host.answers.pop_front();
    host.nextChunk_ = 0;
    std::memset(static_cast<void*>(response), 0, sizeof *response);
    response->release = &release;
    response->status = host.current_.status;
    if (!host.current_.errorMessage.empty()) {
      response->errorMessage = libraryDuplicateText(host.current_.errorMessage.c_str());
      response->errorMessageOwned = 1;
    }
    HostValue body{};
    valueToHostValue(body, host.current_.body, nullptr);
    response->body = body;
    if (host.current_.streamed) {
      response->stream = &host;
      response->streamRead = &streamRead;
      response->streamRelease = &streamRelease;
    }
  }
  static void hostFunction1(HostFunctions* table, std::uint32_t, std::uint32_t) {
    FakeHost::of(table).calls.push_back("hostFunction1");
  }
  static void publishEvent(HostFunctions* table, const HostEventRecord* record) {
    FakeHost& host = FakeHost::of(table);
    host.calls.push_back(std::string("publishEvent ") + record->name);
    host.published.emplace_back(record->name);
    HostErrorSink sink{};
    Value payload;
    const HostValue value = record->payload;
    EXPECT_TRUE(hostValueToValue(sink, payload, value, "payload"));
    host.publishedPayloads.push_back(std::move(payload));
  }
  static std::int32_t registerEventHandler(HostFunctions* table, const char* name, std::uint32_t pluginId,
                                           HostEventCallback callback, void* context, std::uint32_t flag) {
    FakeHost& host = FakeHost::of(table);
    runDuringRegistration(host);
    std::lock_guard lock(host.mutex);
    host.calls.push_back(std::string("registerEventHandler ") + name + " " + std::to_string(pluginId) + " " +
                         std::to_string(flag));
    host.handlers[name] = {callback, context, flag};
    return 11;
  }
  static std::int32_t unregisterEventHandler(HostFunctions* table, const char* name, std::uint32_t pluginId) {
    FakeHost& host = FakeHost::of(table);
    runDuringRegistration(host);
    std::lock_guard lock(host.mutex);
    host.calls.push_back(std::string("unregisterEventHandler ") + name + " " + std::to_string(pluginId));
    host.handlers.erase(name);
    return 12;
  }
  static std::int32_t scheduleCallback(HostFunctions* table, const char* name, HostJobCallback callback,
                                       void* context, double delay, std::uint32_t flags) {
    FakeHost& host = FakeHost::of(table);
    host.calls.push_back(std::string("scheduleCallback ") + name + " " + std::to_string(flags));
    host.delays.push_back(delay);
    host.jobs.emplace_back(callback, context);
    return 13;
  }
  static std::int32_t yield(HostFunctions* table) {
    FakeHost::of(table).calls.push_back("yield");
    return 14;
  }
  static std::int32_t beginWait(HostFunctions* table, const char* label, std::uint32_t flags) {
    FakeHost::of(table).calls.push_back(std::string("beginWait ") + label + " " + std::to_string(flags));
    return 15;
  }
  static std::int32_t endWait(HostFunctions* table) {
    FakeHost::of(table).calls.push_back("endWait");
    return 16;
  }
  static void log(HostFunctions* table, std::uint32_t level, const char* message) {
    FakeHost& host = FakeHost::of(table);
    std::lock_guard lock(host.mutex);
    host.logLines.emplace_back(level, message);
  }
};

FakeHost::FakeHost() {
  table.sendRequest = &FakeHostFunctions::sendRequest;
  table.hostFunction1 = &FakeHostFunctions::hostFunction1;
  table.publishEvent = &FakeHostFunctions::publishEvent;
  table.registerEventHandler = &FakeHostFunctions::registerEventHandler;
  table.unregisterEventHandler = &FakeHostFunctions::unregisterEventHandler;
  table.scheduleCallback = &FakeHostFunctions::scheduleCallback;
  table.yield = &FakeHostFunctions::yield;
  table.beginWait = &FakeHostFunctions::beginWait;
  table.endWait = &FakeHostFunctions::endWait;
  table.log = &FakeHostFunctions::log;
  gCurrentHost = this;
}

bool FakeHost::deliver(const std::string& name, const Value& payload) {
  Registration registration{};
  {
    std::lock_guard lock(mutex);
    const auto found = handlers.find(name);
    if (found == handlers.end()) return false;
    registration = found->second;
  }
  HostEventRecord record{};
  record.name = name.c_str();
  HostValue value{};
  valueToHostValue(value, payload, nullptr);
  record.payload = value;
  record.context = registration.context;
  registration.callback(&record);
  releaseHostValue(value);
  return true;
}

void FakeHost::runJobs() {
  const auto scheduled = std::move(jobs);
  jobs.clear();
  for (const auto& [callback, context] : scheduled) callback(context);
}

void TestPlugin::loadAndStart(FakeHost& host) {
  HostHandshake handshake{};
  handshake.apiMajor = 18;
  load(&handshake, "qel-beta-opt-in");
  ASSERT_EQ(PluginBase::start(this, &host.context), 1);
}

}  // namespace Quor::HostTest
