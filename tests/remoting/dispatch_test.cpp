#include "remoting/dispatcher.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "binding/library_allocator.h"
#include "remoting/dispatch_messages.h"
#include "remoting/transport.h"
#include "tests/remoting/dispatch_test_support.h"

namespace Quor {
namespace {

using RemotingTest::Answer;
using RemotingTest::copyOf;
using RemotingTest::send;
using RemotingTest::TestRequest;

class Dispatching : public ::testing::Test {
 protected:
  Transport transport_;
};

TEST_F(Dispatching, ARequestThatMatchesNoRouteIsAnInvalidFunction) {
  const FunctionRegistration* get =
      transport_.addRoute(RequestMethod::Get, "/qel-beta-opt-in/v1/needs-migration", [] { return true; })
          .registration();
  for (const char* path : {"/qel-beta-opt-in/v1/needs-migration?x=1", "/qel-beta-opt-in/v1/needs-migration/",
                           "/other", ""}) {
    TestRequest request(RequestMethod::Get, path, get);
    const Answer answer = send(request);
    EXPECT_TRUE(answer.failed) << path;
    EXPECT_EQ(answer.error, "Invalid function") << path;
    EXPECT_EQ(answer.status, 404) << path;
  }
  TestRequest matching(RequestMethod::Get, "/qel-beta-opt-in/v1/needs-migration", get);
  const Answer answer = send(matching);
  EXPECT_FALSE(answer.failed) << answer.error;
  EXPECT_EQ(answer.status, 0);
  EXPECT_TRUE(answer.body.getBool());
}

TEST_F(Dispatching, TheMethodMustBeTheRoutes) {
  const FunctionRegistration* put = transport_.addRoute(RequestMethod::Put, "/a", [] { return 1; }).registration();
  for (const std::uint32_t method : {1u, 2u, 3u, 6u, 8u, 0u, 9u, 0xFFFFFFFFu}) {
    TestRequest request(static_cast<RequestMethod>(method), "/a", put);
    const Answer answer = send(request);
    EXPECT_EQ(answer.error, "Invalid function") << method;
    EXPECT_EQ(answer.status, 404);
  }
  TestRequest request(RequestMethod::Put, "/a", put);
  EXPECT_FALSE(send(request).failed);
}

TEST_F(Dispatching, CustomMethodsCompareTheirTexts) {
  RegistrationBuilder builder = transport_.addRoute(RequestMethod::Get, "/a", [] { return 1; });
  builder.method(RequestMethod::Custom, "PURGE");
  const FunctionRegistration* custom = builder.registration();
  TestRequest purge(RequestMethod::Custom, "/a", custom);
  purge.customMethod("PURGE");
  EXPECT_FALSE(send(purge).failed);
  TestRequest other(RequestMethod::Custom, "/a", custom);
  other.customMethod("purge");
  EXPECT_EQ(send(other).error, "Invalid function");
  TestRequest missing(RequestMethod::Custom, "/a", custom);
  EXPECT_EQ(send(missing).error, "Invalid function");
  // The text counts only with the custom method code.
  TestRequest get(RequestMethod::Get, "/a", custom);
  get.customMethod("PURGE");
  EXPECT_EQ(send(get).error, "Invalid function");
}

TEST_F(Dispatching, ContextsThatAreNotTheLibrarysAreInvalidFunctions) {
  transport_.addRoute(RequestMethod::Get, "/a", [] { return 1; });
  TestRequest noContext(RequestMethod::Get, "/a");
  EXPECT_EQ(send(noContext).error, "Invalid function");

  std::uint32_t notAContext[4] = {0x12345678, 0, 0, 0};
  TestRequest foreign(RequestMethod::Get, "/a");
  foreign.record().endpointContext = notAContext;
  EXPECT_EQ(send(foreign).error, "Invalid function");

  HostResponse response;
  std::memset(static_cast<void*>(&response), 0xCD, sizeof response);
  EXPECT_EQ(handleRequest(&response, nullptr), 0u);
  EXPECT_STREQ(response.errorMessage, "Invalid function");
  EXPECT_EQ(copyOf(response.status), 404);
  EXPECT_EQ(copyOf(response.errorMessageOwned), 0);
  response.release(&response);
  EXPECT_EQ(handleRequest(nullptr, &noContext.record()), 0u);
}

TEST_F(Dispatching, ANullPathReadsAsEmpty) {
  const FunctionRegistration* any = transport_.addRoute(RequestMethod::Get, "/{+rest}", [](std::string rest) {
    return rest;
  }).parameter(0, "rest").registration();
  TestRequest request(RequestMethod::Get, "", any);
  request.record().path = nullptr;
  EXPECT_EQ(send(request).error, "Invalid function");
}

TEST_F(Dispatching, TheResponseRecordIsResetWithItsReleaseFunction) {
  const FunctionRegistration* get =
      transport_.addRoute(RequestMethod::Get, "/a", [](RemotingResponse& response) {
        response.status = 201;
        response.contentType = "text/plain";
        response.headers["X-Reply"] = "yes";
        return std::string("body");
      }).registration();
  TestRequest request(RequestMethod::Get, "/a", get);
  HostResponse response;
  std::memset(static_cast<void*>(&response), 0xCD, sizeof response);
  const std::uint64_t live = libraryLiveBytes();
  handleRequest(&response, &request.record());
  EXPECT_EQ(copyOf(response.release), &releaseHostResponse);
  EXPECT_EQ(copyOf(response.status), 201);
  EXPECT_EQ(copyOf(response.errorMessage), nullptr);
  EXPECT_STREQ(response.contentType, "text/plain");
  ASSERT_EQ(copyOf(response.headerCount), 1u);
  EXPECT_STREQ(response.headers[0].name, "X-Reply");
  EXPECT_EQ(copyOf(response.stream), nullptr);
  response.release(&response);
  EXPECT_EQ(libraryLiveBytes(), live);
}

TEST_F(Dispatching, FailuresOfTheFunctionAreAnsweredAsErrors) {
  const FunctionRegistration* failing = transport_.addRoute(RequestMethod::Get, "/fail", []() -> Expected<int> {
    PluginError error;
    error.message = "nothing to do";
    return error;
  }).registration();
  TestRequest request(RequestMethod::Get, "/fail", failing);
  const Answer answer = send(request);
  EXPECT_EQ(answer.error, "nothing to do");
  EXPECT_EQ(answer.status, 0);

  const FunctionRegistration* coded = transport_.addRoute(RequestMethod::Get, "/coded", []() -> Expected<void> {
    PluginError error;
    error.message = "boom";
    setCode(error, 12345);
    return error;
  }).registration();
  TestRequest codedRequest(RequestMethod::Get, "/coded", coded);
  EXPECT_EQ(send(codedRequest).error, "{\"message\":\"boom\",\"errorCode_int\":12345}");
}

TEST_F(Dispatching, ExceptionsDoNotEscapeToTheCore) {
  struct Case {
    const char* path;
    int (*function)();
    const char* error;
  };
  const Case cases[] = {
      {"/throw", []() -> int { throw std::length_error("too long"); }, "too long"},
      {"/throw-int", []() -> int { throw 7; }, "Unknown exception"},
  };
  for (const Case& c : cases) {
    const FunctionRegistration* throwing = transport_.addRoute(RequestMethod::Get, c.path, c.function).registration();
    TestRequest request(RequestMethod::Get, c.path, throwing);
    const std::uint64_t live = libraryLiveBytes();
    const Answer answer = send(request);
    EXPECT_EQ(answer.error, c.error) << c.path;
    EXPECT_EQ(answer.status, 500) << c.path;
    EXPECT_EQ(libraryLiveBytes(), live) << c.path;
  }
}

TEST_F(Dispatching, OptionalResultsWithoutValueAreEmpty) {
  const FunctionRegistration* none = transport_.addRoute(RequestMethod::Get, "/none", [] {
    return std::optional<std::string>();
  }).registration();
  TestRequest request(RequestMethod::Get, "/none", none);
  const Answer answer = send(request);
  EXPECT_FALSE(answer.failed);
  EXPECT_TRUE(answer.body.isEmpty());
}

// ---- The builtin path ----------------------------------------------------------------------

const RouteMatch* builtinSeen = nullptr;
std::string builtinFunctionName;

void runTestBuiltin(const TypeRegistry&, HostResponse& hostResponse, const RouteMatch& match) {
  builtinSeen = &match;
  builtinFunctionName = match.function->name;
  hostResponse.status = 299;
}

TEST_F(Dispatching, FunctionsTaggedBuiltinGoToTheBuiltinPathWhenOneIsGiven) {
  bool invoked = false;
  RegistrationBuilder builder = transport_.addRoute(RequestMethod::Get, "/help", [&invoked] { invoked = true; });
  builder.tag("$builtin");
  const Route* route = &*builder.registration()->route;
  const Route* const table[1] = {route};
  TestRequest request(RequestMethod::Get, "/help");

  BuiltinPath builtins{&transport_.registry(), &runTestBuiltin};
  HostResponse response;
  std::memset(static_cast<void*>(&response), 0xCD, sizeof response);
  builtinSeen = nullptr;
  dispatch(&builtins, response, request.record(), RouteTable(table, 1));
  EXPECT_NE(builtinSeen, nullptr);
  EXPECT_EQ(builtinFunctionName, "GetHelp");
  EXPECT_FALSE(invoked);
  EXPECT_EQ(copyOf(response.status), 299);
  response.release(&response);

  // Without a builtin path the function is invoked like any other.
  dispatch(nullptr, response, request.record(), RouteTable(table, 1));
  EXPECT_TRUE(invoked);
  response.release(&response);

  // Only the exact tag counts.
  RegistrationBuilder other = transport_.addRoute(RequestMethod::Get, "/other", [] {});
  other.tag("$builtins").tag("builtin");
  const Route* const otherTable[1] = {&*other.registration()->route};
  TestRequest otherRequest(RequestMethod::Get, "/other");
  builtinSeen = nullptr;
  dispatch(&builtins, response, otherRequest.record(), RouteTable(otherTable, 1));
  EXPECT_EQ(builtinSeen, nullptr);
  response.release(&response);

  // A builtin needs no invoker of its own; an ordinary function without one
  // is not callable.
  for (const bool tagged : {true, false}) {
    const std::string name = tagged ? "BareBuiltin" : "Bare";
    TypedBinding binding = makeTypedBinding(name, transport_.registry(), [] {});
    RegistrationBuilder bare = transport_.registerFunction(std::move(binding.function), nullptr);
    if (tagged) bare.tag("$builtin");
    const Route* const bareTable[1] = {&*bare.registration()->route};
    TestRequest bareRequest(RequestMethod::Get, name);
    builtinSeen = nullptr;
    dispatch(&builtins, response, bareRequest.record(), RouteTable(bareTable, 1));
    EXPECT_EQ(builtinSeen != nullptr, tagged) << name;
    EXPECT_EQ(copyOf(response.status), tagged ? 299 : 404) << name;
    response.release(&response);
  }
}

}  // namespace
}  // namespace Quor
