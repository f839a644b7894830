#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <string>
#include <vector>

#include "remoting/function_invocation.h"
#include "remoting/transport.h"
#include "tests/remoting/dispatch_test_support.h"

namespace Quor {
namespace {

using RemotingTest::send;
using RemotingTest::TestRequest;

// An invoker that records what it is handed and names the request type it
// was built with.
class RecordingInvoker final : public FunctionInvoker {
 public:
  explicit RecordingInvoker(const std::uint32_t* requestType) : requestType_(requestType) {}

  std::uint32_t prepare(RemotingResponse&, std::vector<Value>& arguments, std::uint32_t) override {
    ++prepared;
    preparedArguments = arguments.size();
    return 77;
  }
  void invoke(RemotingResponse&, const RemotingRequest* request, std::uint32_t token, std::uint32_t id) override {
    ++invoked;
    requestSeen = request != nullptr;
    if (request != nullptr) copy = *request;
    tokenSeen = token;
    idSeen = id;
  }
  void release(std::uint32_t token) noexcept override { releasedToken = token; }
  const std::uint32_t* requestType() const override { return requestType_; }

  int prepared = 0;
  int invoked = 0;
  std::size_t preparedArguments = 0;
  bool requestSeen = false;
  RemotingRequest copy;
  std::uint32_t tokenSeen = 0;
  std::uint32_t idSeen = 0;
  std::uint32_t releasedToken = 0;

 private:
  const std::uint32_t* requestType_;
};

RecordingInvoker* addRecorded(Transport& transport, const char* name, const std::uint32_t* requestType) {
  auto function = std::make_shared<FunctionDescription>();
  function->name = name;
  function->parameters.resize(2);
  auto invoker = std::make_unique<RecordingInvoker>(requestType);
  RecordingInvoker* recorded = invoker.get();
  RegistrationBuilder builder = transport.registerFunction(function, std::move(invoker));
  builder.pathTemplate(std::string("/") + name).method(RequestMethod::Custom, "FETCH");
  return recorded;
}

TEST(RemotingRequests, FunctionsThatDoNotAskGetNone) {
  Transport transport;
  const std::uint32_t unrelated = StaticType::HashCode<int>();
  RecordingInvoker* none = addRecorded(transport, "none", nullptr);
  RecordingInvoker* other = addRecorded(transport, "other", &unrelated);
  for (const char* name : {"none", "other"}) {
    TestRequest request(RequestMethod::Custom, std::string("/") + name, transport.findRegistration(name));
    request.customMethod("FETCH").requestId(5);
    EXPECT_FALSE(send(request).failed);
  }
  for (RecordingInvoker* invoker : {none, other}) {
    EXPECT_EQ(invoker->prepared, 1);
    EXPECT_EQ(invoker->preparedArguments, 2u);
    EXPECT_EQ(invoker->invoked, 1);
    EXPECT_FALSE(invoker->requestSeen);
    EXPECT_EQ(invoker->tokenSeen, 77u);
    EXPECT_EQ(invoker->idSeen, 5u);
    EXPECT_EQ(invoker->releasedToken, 77u);
  }
}

TEST(RemotingRequests, FunctionsThatAskGetTheRequestUnderEitherName) {
  Transport transport;
  const std::uint32_t remoting = StaticType::HashCode<RemotingRequest>();
  const std::uint32_t httpBase = httpBaseTransportRequestHashCode;
  RecordingInvoker* byRemoting = addRecorded(transport, "remoting", &remoting);
  RecordingInvoker* byHttpBase = addRecorded(transport, "httpBase", &httpBase);
  // The C clock in whole seconds, turned into 100-nanosecond ticks here.
  constexpr std::int64_t ticksPerSecond = 10000000;
  const std::int64_t before = static_cast<std::int64_t>(std::time(nullptr)) * ticksPerSecond;
  for (const char* name : {"remoting", "httpBase"}) {
    TestRequest request(RequestMethod::Custom, std::string("/") + name + "", transport.findRegistration(name));
    request.customMethod("FETCH").requestId(9).header("X-One", "1").header("x-two", "2").header("X-One", "3");
    EXPECT_FALSE(send(request).failed);
  }
  const std::int64_t after = (static_cast<std::int64_t>(std::time(nullptr)) + 1) * ticksPerSecond;
  for (RecordingInvoker* invoker : {byRemoting, byHttpBase}) {
    ASSERT_TRUE(invoker->requestSeen);
    const RemotingRequest& request = invoker->copy;
    EXPECT_EQ(request.requestId, 9u);
    EXPECT_EQ(request.owner, &transport);
    EXPECT_EQ(request.method, RequestMethod::Custom);
    EXPECT_EQ(request.customMethod, "FETCH");
    EXPECT_EQ(request.headers.size(), 2u);
    EXPECT_EQ(request.headers.at("X-One"), "3");
    EXPECT_EQ(request.headers.at("x-two"), "2");
    EXPECT_EQ(request.arguments.size(), 2u);
    EXPECT_GE(request.receivedAt, before);
    EXPECT_LE(request.receivedAt, after);
    EXPECT_EQ(request.version, 1u);
    EXPECT_TRUE(request.reservedText.empty());
    EXPECT_EQ(request.reservedNumber, 0u);
    EXPECT_EQ(request.sharedContext, nullptr);
    EXPECT_TRUE(request.extraMap.empty());
    EXPECT_TRUE(request.extraText.empty());
  }
  EXPECT_EQ(byRemoting->copy.path, "/remoting");
}

TEST(RemotingRequests, ATypedFunctionTakingTheRequestSeesTheBoundArgumentsAndTheQuery) {
  Transport transport;
  std::string path;
  std::vector<std::string> argumentTexts;
  std::string customMethod = "unset";
  RegistrationBuilder builder = transport.addRoute(
      RequestMethod::Get, "/r/{+rest}", [&](const RemotingRequest& request, std::string rest) {
        path = request.path;
        customMethod = request.customMethod;
        for (const Value& argument : request.arguments) argumentTexts.emplace_back(argument.getString());
        return rest.size();
      });
  builder.parameter(0, "rest");
  TestRequest request(RequestMethod::Get, "/r/a/b?rest=q", builder.registration());
  request.customMethod("ignored for GET");
  const RemotingTest::Answer answer = send(request);
  ASSERT_FALSE(answer.failed) << answer.error;
  // The query's "rest" replaced the captured "a/b?rest=q".
  EXPECT_EQ(answer.body.getUnsigned(), 1u);
  EXPECT_EQ(path, "/r/a/b?rest=q");
  EXPECT_EQ(customMethod, "");
  EXPECT_EQ(argumentTexts, std::vector<std::string>{"q"});
}

TEST(RemotingRequests, ATypedFunctionTakingTheRequestStillFindsTheBodyAmongTheArguments) {
  // A function that is not handed the request gets its Value argument moved
  // in; one that is must see the same tree in both places.
  Transport transport;
  std::string inRequest = "unset";
  RegistrationBuilder builder =
      transport.addRoute(RequestMethod::Post, "/b", [&](const RemotingRequest& request, const Value& body) {
        inRequest = request.arguments.size() == 1 ? std::string(request.arguments[0].member("n").getString()) : "none";
        return std::string(body.member("n").getString());
      });
  builder.parameter(0, "body").location(0, ArgumentLocation::Body);
  TestRequest request(RequestMethod::Post, "/b", builder.registration());
  request.body("application/json", "{\"n\":\"seven\"}");
  const RemotingTest::Answer answer = send(request);
  ASSERT_FALSE(answer.failed) << answer.error;
  EXPECT_EQ(answer.body.getString(), "seven");
  EXPECT_EQ(inRequest, "seven");
}

TEST(RemotingRequests, NothingIsPreparedOrInvokedAfterAFailure) {
  Transport transport;
  RecordingInvoker* invoker = addRecorded(transport, "failing", nullptr);
  TestRequest request(RequestMethod::Custom, "/failing?x=1", transport.findRegistration("failing"));
  request.customMethod("FETCH");
  EXPECT_EQ(send(request).error, "Invalid function");
  TestRequest body(RequestMethod::Custom, "/failing", transport.findRegistration("failing"));
  body.customMethod("FETCH").body("text/plain", "x");
  transport.findRegistration("failing")->parameterLocations[0] = ArgumentLocation::Body;
  EXPECT_EQ(send(body).error, "Unsupported body content type");
  EXPECT_EQ(invoker->prepared, 0);
  EXPECT_EQ(invoker->invoked, 0);
  EXPECT_EQ(invoker->releasedToken, 0u);
}

}  // namespace
}  // namespace Quor
