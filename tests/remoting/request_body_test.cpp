#include <gtest/gtest.h>

#include <string>

#include "formats/json_reader.h"
#include "formats/yaml_reader.h"
#include "remoting/body_decoding.h"
#include "remoting/transport.h"
#include "tests/remoting/dispatch_test_support.h"

namespace Quor {
namespace {

using RemotingTest::Answer;
using RemotingTest::send;
using RemotingTest::TestRequest;

class RequestBodies : public ::testing::Test {
 protected:
  RequestBodies() {
    RegistrationBuilder builder =
        transport_.addRoute(RequestMethod::Post, "/store", [this](Value body) { received_ = std::move(body); });
    builder.parameter(0, "body").location(0, ArgumentLocation::Body);
    store_ = builder.registration();
  }

  Answer post(const std::string& contentType, const std::string& bytes) {
    received_.setString("untouched");
    TestRequest request(RequestMethod::Post, "/store", store_);
    request.body(contentType, bytes);
    return send(request);
  }

  Transport transport_;
  const FunctionRegistration* store_ = nullptr;
  Value received_;
};

TEST_F(RequestBodies, JsonByCaseInsensitivePrefix) {
  for (const char* type : {"application/json", "Application/JSON; charset=utf-8", "application/vnd.api+json",
                           "APPLICATION/VND.API+JSON;x=y"}) {
    const Answer answer = post(type, "{\"a\":[1,2]}");
    EXPECT_FALSE(answer.failed) << type << ": " << answer.error;
    EXPECT_EQ(received_.member("a").size(), 2u) << type;
  }
}

TEST_F(RequestBodies, UnsupportedContentTypes) {
  for (const char* type : {"text/json", "application/jso", "", "text/x-yaml", "application/octet-stream",
                           "application/x-msgpac"}) {
    const Answer answer = post(type, "{}");
    EXPECT_EQ(answer.error, "Unsupported body content type") << type;
    EXPECT_EQ(answer.status, 0);
    EXPECT_EQ(received_.getString(), "untouched") << "the function must not run";
  }
}

TEST_F(RequestBodies, YamlBodies) {
  const Answer answer = post("application/x-yaml", "a: 1\nb: [x, y]\n");
  EXPECT_FALSE(answer.failed) << answer.error;
  EXPECT_EQ(received_.member("b").size(), 2u);
  const std::string expected(parseYaml("a: [1\n").error());
  EXPECT_EQ(post("Application/X-YAML", "a: [1\n").error, expected);
}

TEST_F(RequestBodies, MessagePackBodiesAndTheirLength) {
  const std::string map("\x81\xA1" "a\x01", 4);
  for (const char* type : {"application/x-msgpack", "application/x-msgpack-ext", "APPLICATION/X-MSGPACK"}) {
    const Answer answer = post(type, map);
    EXPECT_FALSE(answer.failed) << type << ": " << answer.error;
    EXPECT_EQ(received_.member("a").getSigned(), 1);
  }
  // The length, not a NUL, ends a MessagePack body.
  const Answer withNul = post("application/x-msgpack", std::string("\x92\x00\xA1" "b", 4));
  EXPECT_FALSE(withNul.failed) << withNul.error;
  EXPECT_EQ(received_.size(), 2u);

  EXPECT_EQ(post("application/x-msgpack", map + "\x01").error, "Extra MessgePack data found in body");
  EXPECT_EQ(post("application/x-msgpack", std::string("\x91\x01\x02", 3)).error, "Extra MessgePack data found in body");
  const Answer truncated = post("application/x-msgpack", std::string("\xCD\x01", 2));
  EXPECT_EQ(truncated.error, "Invalid MessagePack data. 16-bit integer value at position 1 is truncated.");
}

TEST_F(RequestBodies, DecoderMessagesAreAnsweredUnprefixed) {
  const std::string expected(parseJson("{\"a\":").error());
  const Answer answer = post("application/json", "{\"a\":");
  EXPECT_EQ(answer.error, expected);
  EXPECT_EQ(answer.error.rfind("Error: ", 0), 0u);
}

TEST_F(RequestBodies, EmptyBodiesReadAsEmptyValues) {
  const Answer answer = post("application/json", "");
  EXPECT_FALSE(answer.failed) << answer.error;
  EXPECT_TRUE(received_.isEmpty());
}

TEST_F(RequestBodies, TextBodiesEndAtTheirLengthOrFirstNul) {
  // The bytes after the length are not the body's, terminated or not.
  std::string storage = "{\"a\":1}garbage";
  TestRequest request(RequestMethod::Post, "/store", store_);
  request.body("application/json", storage);
  request.record().bodyLength = 7;
  Answer answer = send(request);
  EXPECT_FALSE(answer.failed) << answer.error;
  EXPECT_EQ(received_.member("a").getUnsigned(), 1u);

  // A NUL inside the length ends the text, as it ends any C text.
  answer = post("application/json", std::string("[1]\0[2", 6));
  EXPECT_FALSE(answer.failed) << answer.error;
  EXPECT_EQ(received_.size(), 1u);

  // Without a length the body is read as a terminated text.
  TestRequest unmeasured(RequestMethod::Post, "/store", store_);
  unmeasured.body("application/yaml", "");
  const char* text = "k: v";
  unmeasured.record().body = text;
  unmeasured.record().bodyLength = 0;
  unmeasured.record().contentType = "application/x-yaml";
  answer = send(unmeasured);
  EXPECT_FALSE(answer.failed) << answer.error;
  EXPECT_EQ(received_.member("k").getString(), "v");
}

TEST(BodyDecoding, NestingBeyondTheReadersLimitFails) {
  const std::string deepJson = std::string(600, '[') + std::string(600, ']');
  EXPECT_FALSE(decodeBody("application/json", deepJson.data(), deepJson.size()).ok());
  const std::string deepPack(600, '\x91');
  const ValueResult pack = decodeBody("application/x-msgpack", deepPack.data(), deepPack.size());
  EXPECT_FALSE(pack.ok());
  EXPECT_NE(pack.error().find("512"), std::string_view::npos);
}

}  // namespace
}  // namespace Quor
