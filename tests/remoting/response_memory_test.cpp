#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "binding/library_allocator.h"
#include "remoting/transport.h"
#include "tests/remoting/dispatch_test_support.h"

namespace Quor {
namespace {

using RemotingTest::TestRequest;

// Every answer, successful or not, hands the core only memory that the
// record's release function gives back.
TEST(ResponseMemory, ReleasedResponsesLeaveTheLiveBytesWhereTheyStarted) {
  Transport transport;
  RegistrationBuilder builder = transport.addRoute(
      RequestMethod::Post, "/echo/{id}", [](RemotingResponse& response, std::string id, Value body) {
        response.contentType = "application/json";
        response.headers["X-Id"] = id;
        Value answer;
        answer.writeMember("id").setString(id);
        answer.writeMember("body") = body;
        return answer;
      });
  builder.parameter(0, "id").parameter(1, "body").location(1, ArgumentLocation::Body);
  const FunctionRegistration* echo = builder.registration();

  struct Case {
    std::string path;
    std::string contentType;
    std::string body;
    bool typed;
  };
  const std::vector<Case> cases = {
      {"/echo/1", "application/json", "{\"a\":[1,2,{\"b\":\"text\"}]}", false},
      {"/echo/1", "application/json", "{\"a\":", false},
      {"/echo/2", "text/plain", "x", false},
      {"/echo/3?nope=1", "application/json", "[]", false},
      {"/nowhere", "application/json", "[]", false},
      {"/echo/4", "application/x-msgpack", std::string("\x81\xA1k\xA1v", 5), true},
      {"/echo/5", "application/x-msgpack", std::string("\x81\xA1k\xA1v\x00", 6), true},
  };

  // Warm up: first uses may set up process-wide state.
  {
    TestRequest request(RequestMethod::Post, "/echo/0", echo);
    request.body("application/json", "{}");
    RemotingTest::send(request);
  }
  const std::uint64_t live = libraryLiveBytes();
  for (int round = 0; round < 3; ++round) {
    for (const Case& test : cases) {
      TestRequest request(RequestMethod::Post, test.path, echo);
      request.body(test.contentType, test.body);
      if (test.typed) {
        Value value;
        value.writeMember("typed").setString("a text long enough to be allocated in the record");
        request.argument("body", value);
      }
      HostResponse response;
      std::memset(static_cast<void*>(&response), 0xCD, sizeof response);
      handleRequest(&response, &request.record());
      response.release(&response);
    }
  }
  EXPECT_EQ(libraryLiveBytes(), live);
}

}  // namespace
}  // namespace Quor
