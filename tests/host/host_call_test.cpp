// Requests to the core: what is sent, how answers and failures come back,
// streamed answers, telemetry, jobs and waiting.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <unordered_map>
#include <vector>

#include "binding/static_type.h"
#include "host/telemetry_sender.h"
#include "tests/host/fake_host.h"
#include "tests/logging/capturing_log_target.h"

namespace Quor::HostTest {
// A parameter type the registry does not know: it cannot be sent.
struct UnregisteredRecord {
  std::int32_t number = 0;
};
}  // namespace Quor::HostTest
QUOR_STATIC_TYPE(Quor::HostTest::UnregisteredRecord, "struct Quor::HostTest::UnregisteredRecord");

namespace Quor::HostTest {
namespace {

using ::testing::ElementsAre;

class HostCallTest : public Testing::IsolatedLoggerTest {
 protected:
  void SetUp() override {
    IsolatedLoggerTest::SetUp();
    plugin_.loadAndStart(host_);
    host_.calls.clear();
  }

  Value text(const char* json) {
    Value value;
    value.setString(json);
    return value;
  }

  FakeHost host_;
  TestPlugin plugin_;
};

std::string fieldText(const PluginError& error, const char* name) {
  const ErrorFieldValue* field = error.fields.find(name);
  return field != nullptr && std::holds_alternative<std::string>(*field) ? std::get<std::string>(*field) : "?";
}

TEST_F(HostCallTest, FailuresCarryCodeTemplateAndFields) {
  struct Case {
    const char* name;
    RequestMethod method;
    ScriptedAnswer answer;
    std::int32_t code;
    std::string message;
  };
  ScriptedAnswer refused;
  refused.errorMessage = "boom";
  refused.status = 404;
  ScriptedAnswer structure;
  structure.body.makeStructure();
  structure.body.writeMember("a").setBool(true);
  ScriptedAnswer badStream;
  badStream.streamed = true;
  badStream.chunks = {{"[1,", 1}};  // the second read fails
  ScriptedAnswer badJson;
  badJson.streamed = true;
  badJson.chunks = {{"[1,", 0}};
  const std::vector<Case> cases = {
      {"error text", RequestMethod::Get, refused, 404, "Error response for GET /x: boom"},
      {"unknown method", static_cast<RequestMethod>(9), refused, 404, "Error response for  /x: boom"},
      {"not a collection", RequestMethod::Get, structure, 0,
       "Error converting response for GET /x: Couldn't assign value to '<result>' of type vector because the "
       "input not a collection."},
      {"stream read", RequestMethod::Get, badStream, 0,
       "Error reading streamed response for GET /x: Stream read error"},
      {"stream text", RequestMethod::Get, badJson, 0, "Error reading streamed response for GET /x: "},
  };
  for (const Case& c : cases) {
    host_.answers.push_back(c.answer);
    const int releasesBefore = host_.releases;
    const Expected<std::vector<std::string>> result = plugin_.call<std::vector<std::string>>(c.method, "/x");
    ASSERT_FALSE(result) << c.name;
    EXPECT_EQ(result.error().code, c.code) << c.name;
    EXPECT_THAT(result.error().message, ::testing::StartsWith(c.message)) << c.name;
    EXPECT_EQ(fieldText(result.error(), "url"), "/x") << c.name;
    EXPECT_EQ(host_.releases, releasesBefore + 1) << c.name;
    EXPECT_EQ(host_.requests.back().method, c.method == RequestMethod::Get ? 2u : 0u) << c.name;
  }
  // The field order: the code first, then the placeholders'.
  host_.answers.push_back(refused);
  const Expected<void> failed = plugin_.call<void>(RequestMethod::Get, "/x");
  ASSERT_FALSE(failed);
  std::vector<std::string> names;
  for (const ErrorField& field : failed.error().fields) names.push_back(field.name);
  EXPECT_THAT(names, ElementsAre("errorCode_int", "method", "url", "error"));
  EXPECT_EQ(fieldText(failed.error(), "method"), "GET");
  EXPECT_EQ(fieldText(failed.error(), "error"), "boom");
  EXPECT_EQ(host_.streamReleases, 2);
  // A parameter that does not convert: 400, and the core is not asked.
  const std::size_t sent = host_.requests.size();
  const Expected<void> notSent = plugin_.call<void>(RequestMethod::Post, "/x", UnregisteredRecord{});
  ASSERT_FALSE(notSent);
  EXPECT_EQ(notSent.error().code, 400);
  EXPECT_EQ(notSent.error().message,
            "Request not sent: Error converting parameters for POST /x: Couldn't convert native value because it's "
            "an unregistered structure.");
  EXPECT_EQ(host_.requests.size(), sent);
}

TEST_F(HostCallTest, ParametersTravelAsOnePositionalArgument) {
  const std::unordered_map<std::string, std::string> map{{"k", "v"}};
  ASSERT_TRUE(plugin_.call<void>(RequestMethod::Post, "/bool", true));
  ASSERT_TRUE(plugin_.call<void>(RequestMethod::Post, "/count", std::int64_t{-1}));
  ASSERT_TRUE(plugin_.call<void>(RequestMethod::Post, "/map", map));
  ASSERT_TRUE(plugin_.call<void>(RequestMethod::Get, "/none"));
  ASSERT_EQ(host_.requests.size(), 4u);
  EXPECT_EQ(host_.requests[0].argument.kind(), ValueKind::Bool);
  EXPECT_EQ(host_.requests[1].argument.kind(), ValueKind::Unsigned);
  EXPECT_EQ(host_.requests[1].argument.getUnsigned(), ~std::uint64_t{0});
  EXPECT_EQ(host_.requests[2].argument.member("k").getString(), "v");
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(host_.requests[i].argumentCount, 1u);
    EXPECT_TRUE(host_.requests[i].positional);
    EXPECT_EQ(host_.requests[i].method, 6u);
    EXPECT_EQ(host_.requests[i].requestId, 77u);
  }
  EXPECT_EQ(host_.requests[3].argumentCount, 0u);
  EXPECT_EQ(host_.releases, 4);
}

TEST_F(HostCallTest, ResultsFromTheBodyOrTheStream) {
  ScriptedAnswer list;
  list.body.makeCollection();
  list.body.appendElement().setString("--from-kxu");
  list.body.appendElement();
  host_.answers.push_back(list);
  const Expected<std::vector<std::string>> arguments =
      plugin_.call<std::vector<std::string>>(RequestMethod::Get, "/quorclient/command-line-args");
  ASSERT_TRUE(arguments);
  EXPECT_THAT(*arguments, ElementsAre("--from-kxu", ""));

  // 4096, 4096, then 10 bytes with "more" clear: three reads, no wait.
  const std::string full = "[" + std::string(8191, ' ') + "\"abcdefg\"]";
  ScriptedAnswer streamed;
  streamed.streamed = true;
  streamed.chunks = {{full.substr(0, 4096), 1}, {full.substr(4096, 4096), 1}, {full.substr(8192), 0}};
  host_.answers.push_back(streamed);
  host_.calls.clear();
  const Expected<Value> value = plugin_.call<Value>(RequestMethod::Get, "/s");
  ASSERT_TRUE(value) << value.error().message;
  EXPECT_EQ(value->element(0).getString(), "abcdefg");
  EXPECT_THAT(host_.readSizes, ElementsAre(4096u, 4096u, 10u));
  EXPECT_THAT(host_.calls, ElementsAre("sendRequest /s", "streamRead", "streamRead", "streamRead", "streamRelease",
                                       "release"));

  // A short read with "more" set waits once before the next read.
  streamed.chunks = {{"[1,", 1}, {"2]", 0}};
  host_.answers.push_back(streamed);
  host_.calls.clear();
  const Expected<Value> waited = plugin_.call<Value>(RequestMethod::Get, "/s");
  ASSERT_TRUE(waited);
  EXPECT_EQ(waited->size(), 2u);
  EXPECT_THAT(host_.calls, ElementsAre("sendRequest /s", "streamRead", "beginWait Wait: yield 0", "yield", "endWait",
                                       "streamRead", "streamRelease", "release"));
}

TEST_F(HostCallTest, TelemetryPostsTheMapAndIsReadyAtOnce) {
  std::future<Expected<void>> sent = plugin_.telemetrySender()->send("x", {});
  ASSERT_EQ(sent.wait_for(std::chrono::seconds(0)), std::future_status::ready);
  EXPECT_TRUE(sent.get());
  ScriptedAnswer refused;
  refused.errorMessage = "no";
  refused.status = 500;
  host_.answers.push_back(refused);
  std::future<Expected<void>> failed = plugin_.telemetrySender()->send("a/b", {{"result", "ok"}});
  EXPECT_EQ(failed.get().error().code, 500);
  ASSERT_EQ(host_.requests.size(), 2u);
  EXPECT_EQ(host_.requests[0].path, "/telemetry/v1/events/x");
  EXPECT_EQ(host_.requests[0].argument.kind(), ValueKind::Structure);
  EXPECT_EQ(host_.requests[0].argument.size(), 0u);
  EXPECT_EQ(host_.requests[1].path, "/telemetry/v1/events/a/b");
  EXPECT_EQ(host_.requests[1].argument.member("result").getString(), "ok");
}

TEST_F(HostCallTest, JobsRunOnceAndLeaveNoEntry) {
  std::vector<int> ran;
  const auto past = std::chrono::steady_clock::now() - std::chrono::seconds(5);
  const auto later = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  EXPECT_EQ(plugin_.scheduleJob("first", [&] { ran.push_back(1); }, past), 13);
  EXPECT_EQ(plugin_.scheduleJob("second", [&] { throw std::runtime_error("job failed"); }, later), 13);
  EXPECT_THAT(host_.calls, ElementsAre("scheduleCallback first 0", "scheduleCallback second 0"));
  ASSERT_EQ(host_.delays.size(), 2u);
  EXPECT_EQ(host_.delays[0], 0.0);
  EXPECT_GT(host_.delays[1], 29.0);
  EXPECT_LE(host_.delays[1], 30.0);
  EXPECT_EQ(plugin_.pendingJobCount(), 2u);
  host_.runJobs();
  EXPECT_THAT(ran, ElementsAre(1));
  EXPECT_EQ(plugin_.pendingJobCount(), 0u);
  EXPECT_THAT(host_.logLines,
              ::testing::Contains(::testing::Pair(2u, "qel-beta-opt-in: A job ended with an exception: job failed")));
}

}  // namespace
}  // namespace Quor::HostTest
