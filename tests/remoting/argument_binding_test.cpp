#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "binding/host_value.h"
#include "formats/json_reader.h"
#include "formats/msgpack_reader.h"
#include "formats/yaml_reader.h"
#include "remoting/transport.h"
#include "tests/binding/binding_test_types.h"
#include "tests/remoting/dispatch_test_support.h"

namespace Quor {
namespace {

using BindingTest::Pair;
using RemotingTest::Answer;
using RemotingTest::send;
using RemotingTest::TestRequest;

// What the bound function received.
struct Received {
  int calls = 0;
  std::string id;
  std::optional<std::int32_t> count;
  bool verbose = false;
  std::optional<std::vector<std::string>> list;
  Value object;
  std::optional<Pair> pair;
  std::optional<std::string> name;
};

// GET /items/{id} bound to (id, count, verbose, list, object, pair, name);
// id may come only from the path.
class ArgumentBindingTest : public ::testing::Test {
 protected:
  ArgumentBindingTest() {
    BindingTest::registerTestTypes(transport_.registry());
    RegistrationBuilder builder = transport_.addRoute(
        RequestMethod::Get, "/items/{id}",
        [this](std::string id, std::optional<std::int32_t> count, bool verbose,
               std::optional<std::vector<std::string>> list, Value object, std::optional<Pair> pair,
               std::optional<std::string> name) {
          ++received_.calls;
          received_.id = std::move(id);
          received_.count = count;
          received_.verbose = verbose;
          received_.list = std::move(list);
          received_.object = std::move(object);
          received_.pair = pair;
          received_.name = std::move(name);
        });
    builder.parameter(0, "id").location(0, ArgumentLocation::Path);
    builder.parameter(1, "count").parameter(2, "verbose").parameter(3, "list").parameter(4, "obj");
    builder.parameter(5, "pair").parameter(6, "name");
    items_ = builder.registration();
  }

  Answer get(const std::string& pathAndQuery) {
    TestRequest request(RequestMethod::Get, pathAndQuery, items_);
    return send(request);
  }
  void expectFailure(const std::string& pathAndQuery, const std::string& message) {
    received_ = Received{};
    const Answer answer = get(pathAndQuery);
    EXPECT_TRUE(answer.failed) << pathAndQuery;
    EXPECT_EQ(answer.error, message) << pathAndQuery;
    EXPECT_EQ(answer.status, 0) << pathAndQuery;
    EXPECT_EQ(received_.calls, 0) << pathAndQuery << ": the function must not run";
  }
  void expectSuccess(const std::string& pathAndQuery) {
    received_ = Received{};
    const Answer answer = get(pathAndQuery);
    EXPECT_FALSE(answer.failed) << pathAndQuery << ": " << answer.error;
    EXPECT_EQ(received_.calls, 1) << pathAndQuery;
  }

  Transport transport_;
  const FunctionRegistration* items_ = nullptr;
  Received received_;
};

TEST_F(ArgumentBindingTest, PathParametersAreDecoded) {
  expectSuccess("/items/a%2Fb+c");
  EXPECT_EQ(received_.id, "a/b c");
  // A segment parameter takes the query along (the path is matched whole);
  // the query's arguments are bound all the same.
  expectSuccess("/items/7?count=2");
  EXPECT_EQ(received_.id, "7?count=2");
  EXPECT_EQ(received_.count, 2);
}

TEST(QueryBinding, QueryArgumentsReachFunctionsWhoseRouteTakesTheQueryAlong) {
  Transport transport;
  int sum = 0;
  std::string rest;
  RegistrationBuilder builder = transport.addRoute(
      RequestMethod::Get, "/sum{+rest}", [&](std::string tail, std::int32_t a, std::int32_t b) {
        rest = std::move(tail);
        sum = a + b;
      });
  builder.parameter(0, "rest").parameter(1, "a").parameter(2, "b").location(1, ArgumentLocation::Query);
  TestRequest request(RequestMethod::Get, "/sum?a=2&b=0x10", builder.registration());
  const Answer answer = send(request);
  EXPECT_FALSE(answer.failed) << answer.error;
  EXPECT_EQ(rest, "?a=2&b=0x10");
  EXPECT_EQ(sum, 18);

  // A literal route compares the query too.
  const FunctionRegistration* literal =
      transport.addRoute(RequestMethod::Get, "/plain", [](std::int32_t) {}).parameter(0, "a").registration();
  TestRequest withQuery(RequestMethod::Get, "/plain?a=1", literal);
  EXPECT_EQ(send(withQuery).error, "Invalid function");
}

class QueryArguments : public ArgumentBindingTest {};

TEST_F(QueryArguments, TextsConvertToTheParameterTypes) {
  expectSuccess("/items/1?count=12&name=plain+text");
  EXPECT_EQ(received_.count, 12);
  EXPECT_EQ(received_.name, "plain text");
  expectFailure("/items/1?count=abc", "Value abc for 'count' of type int32 is in an incorrect format");
  expectFailure("/items/1?count=99999999999", "Value 99999999999 for 'count' of type int32 is out of range");
}

TEST_F(QueryArguments, ABareBoolIsTrueAndAMissingOneFalse) {
  expectSuccess("/items/1?verbose");
  EXPECT_TRUE(received_.verbose);
  expectSuccess("/items/1?verbose=");
  EXPECT_TRUE(received_.verbose);
  expectSuccess("/items/1");
  EXPECT_FALSE(received_.verbose);
  expectSuccess("/items/1?verbose=false");
  EXPECT_FALSE(received_.verbose);
  expectFailure("/items/1?verbose=yes",
                "Value yes for 'verbose' of type bool is in an incorrect format. Options are \"true\", \"false\", "
                "\"1\", \"0\".");
}

TEST_F(QueryArguments, EmptyTextsForVectorsObjectsAndOthers) {
  expectSuccess("/items/1?list=");
  ASSERT_TRUE(received_.list.has_value());
  EXPECT_TRUE(received_.list->empty());
  expectSuccess("/items/1?obj=");
  EXPECT_EQ(received_.object.kind(), ValueKind::Structure);
  EXPECT_EQ(received_.object.size(), 0u);
  expectFailure("/items/1?count=", "Expected value for argument 'count'.");
  expectFailure("/items/1?name=", "Expected value for argument 'name'.");
  expectFailure("/items/1?pair=", "Expected value for argument 'pair'.");
}

TEST_F(QueryArguments, UnknownArgumentsAndWrongLocations) {
  expectFailure("/items/1?nope=1", "Unknown argument 'nope' for 'GetItemsById'.");
  expectFailure("/items/1?nope.0=1", "Unknown argument 'nope' for 'GetItemsById'.");
  expectFailure("/items/1?Count=1", "Unknown argument 'Count' for 'GetItemsById'.");
  // A trailing "?" is one empty piece: the empty key names no parameter.
  expectFailure("/items/1?", "Unknown argument '' for 'GetItemsById'.");
  expectFailure("/items/1?id=5", "Argument 'id' for 'GetItemsById' was specified in an invalid location.");
  expectFailure("/items/1?id.0=5", "Argument 'id' for 'GetItemsById' was specified in an invalid location.");
}

TEST_F(QueryArguments, IndexPathsBuildCollectionsAndStructures) {
  expectSuccess("/items/1?obj.2.name=x");
  ASSERT_EQ(received_.object.kind(), ValueKind::Collection);
  ASSERT_EQ(received_.object.size(), 3u);
  EXPECT_TRUE(received_.object.element(0).isEmpty());
  EXPECT_EQ(received_.object.element(2).member("name").getString(), "x");

  expectSuccess("/items/1?list.2=c&list.0=a");
  EXPECT_EQ(received_.list, (std::vector<std::string>{"a", "", "c"}));

  expectSuccess("/items/1?obj.0x1=x");
  ASSERT_EQ(received_.object.size(), 2u);
  EXPECT_EQ(received_.object.element(1).getString(), "x");
  expectSuccess("/items/1?obj.010=x");
  EXPECT_EQ(received_.object.size(), 9u);
  expectSuccess("/items/1?obj.a.b=1&obj.a.c=2");
  EXPECT_EQ(received_.object.member("a").member("c").getString(), "2");

  expectSuccess("/items/1?pair.first=3&pair.second=-4");
  ASSERT_TRUE(received_.pair.has_value());
  EXPECT_EQ(received_.pair->first, 3);
  EXPECT_EQ(received_.pair->second, -4);
}

TEST_F(QueryArguments, IndexPathLeavesAreNeverDecoded) {
  expectSuccess("/items/1?obj.a=%7B%22x%22%3A1%7D");
  EXPECT_EQ(received_.object.member("a").getString(), "{\"x\":1}");
}

TEST_F(QueryArguments, MalformedAndExcessiveIndexes) {
  expectFailure("/items/1?obj.1a=x", "Index 1a is in an incorrect format");
  expectFailure("/items/1?obj.08=x", "Index 08 is in an incorrect format");
  expectFailure("/items/1?obj.0x=x", "Index 0x is in an incorrect format");
  expectFailure("/items/1?obj.0.1-=x", "Index 1- is in an incorrect format");
  expectFailure("/items/1?obj.4294967295=x", "Index 4294967295 is out of range");
  expectFailure("/items/1?obj.2147483648=x", "Index 2147483648 is out of range");
  expectFailure("/items/1?obj.99999999999999999999999=x", "Index 99999999999999999999999 is out of range");
  expectFailure("/items/1?obj.0xFFFFFFFFFF=x", "Index 0xFFFFFFFFFF is out of range");
}

TEST_F(QueryArguments, IndexPathsMayNotAskForUnboundedMemory) {
  // Up to 65536 elements in one request.
  expectSuccess("/items/1?obj.65535=x");
  EXPECT_EQ(received_.object.size(), 65536u);
  expectFailure("/items/1?obj.2147483647=x", "Index 2147483647 is out of range");
  expectFailure("/items/1?obj.0.40000=x&obj.1.40000=y", "Index 40000 is out of range");
  // Elements that exist already cost nothing.
  expectSuccess("/items/1?obj.0.39999=a&obj.0.40000=b");
  EXPECT_EQ(received_.object.element(0).size(), 40001u);

  std::string deep = "/items/1?obj";
  for (int level = 0; level < 512; ++level) deep += ".a";
  expectSuccess(deep + "=x");
  expectFailure(deep + ".a=x", "Couldn't assign value to 'obj' because the input is nested deeper than 512 levels.");
}

TEST_F(QueryArguments, StructuredParametersDecodeTextsThatLookLikeDocuments) {
  expectSuccess("/items/1?obj=%7B%22a%22%3A1%7D");
  EXPECT_EQ(received_.object.member("a").getUnsigned(), 1u);
  expectSuccess("/items/1?obj=+++%5B1%2C2%5D");
  EXPECT_EQ(received_.object.size(), 2u);
  expectSuccess("/items/1?pair=%7B%22first%22%3A5%7D");
  EXPECT_EQ(received_.pair->first, 5);
  EXPECT_EQ(received_.pair->second, -1);
  expectSuccess("/items/1?list=%5B%22p%22%2C%22q%22%5D");
  EXPECT_EQ(received_.list, (std::vector<std::string>{"p", "q"}));
  // MessagePack by its first byte: a map of one member.
  expectSuccess("/items/1?obj=%81%A1a%01");
  EXPECT_EQ(received_.object.member("a").getSigned(), 1);
  expectSuccess("/items/1?obj=---%0Ab%3A+2%0A");
  EXPECT_TRUE(received_.object.hasMember("b"));
  // The same texts for a string parameter stay texts.
  expectSuccess("/items/1?name=%7B%22a%22%3A1%7D");
  EXPECT_EQ(received_.name, "{\"a\":1}");
  expectSuccess("/items/1?name=---");
  EXPECT_EQ(received_.name, "---");
  // Only spaces count as leading blanks; anything else is a plain text.
  expectSuccess("/items/1?obj=%09%7B%7D");
  EXPECT_EQ(received_.object.getString(), "\t{}");
}

TEST_F(QueryArguments, DocumentsThatDoNotDecodeNameTheParameterAndFunction) {
  const std::string json = std::string(parseJson("{\"a\":").error());
  expectFailure("/items/1?obj=%7B%22a%22%3A",
                "Couldn't deserialize JSON value for parameter 'obj' of 'GetItemsById': " + json);
  const std::string messagePack = std::string(parseMessagePack("\x81\x01\x02", 3).result.error());
  expectFailure("/items/1?obj=%81%01%02",
                "Couldn't deserialize MessagePack value for parameter 'obj' of 'GetItemsById': " + messagePack);
  const std::string yaml = std::string(parseYaml("---\n[a, b").error());
  expectFailure("/items/1?obj=---%0A%5Ba%2C+b",
                "Couldn't deserialize YAML value for parameter 'obj' of 'GetItemsById': " + yaml);
  EXPECT_FALSE(json.empty());
  EXPECT_FALSE(messagePack.empty());
  EXPECT_FALSE(yaml.empty());
}

TEST_F(QueryArguments, TheFirstFailureStays) {
  expectFailure("/items/1?count=&nope=1", "Expected value for argument 'count'.");
  expectFailure("/items/1?a=1&nope=1", "Unknown argument 'a' for 'GetItemsById'.");
}

// ---- Headers, and the order of the sources ---------------------------------------------

class SourceOrder : public ::testing::Test {
 protected:
  SourceOrder() {
    RegistrationBuilder builder = transport_.addRoute(
        RequestMethod::Post, "/things/{name}",
        [this](std::string name, std::optional<std::string> Id, std::optional<std::string> extra, Value body) {
          name_ = std::move(name);
          id_ = std::move(Id);
          extra_ = std::move(extra);
          body_ = std::move(body);
        });
    builder.parameter(0, "name").parameter(1, "Id").parameter(2, "extra").parameter(3, "body");
    builder.location(1, ArgumentLocation::Header).location(2, ArgumentLocation::Query);
    builder.location(3, ArgumentLocation::Body);
    things_ = builder.registration();
  }

  Transport transport_;
  const FunctionRegistration* things_ = nullptr;
  std::string name_;
  std::optional<std::string> id_;
  std::optional<std::string> extra_;
  Value body_;
};

TEST_F(SourceOrder, HeadersAreLookedUpByTheParametersNameInLowerCase) {
  TestRequest capitalised(RequestMethod::Post, "/things/n", things_);
  capitalised.header("Id", "7");
  EXPECT_FALSE(send(capitalised).failed);
  EXPECT_FALSE(id_.has_value());

  TestRequest lower(RequestMethod::Post, "/things/n", things_);
  lower.header("id", "7").header("ID", "8").header("id", "9");
  EXPECT_FALSE(send(lower).failed);
  EXPECT_EQ(id_, "9");
}

TEST_F(SourceOrder, HeadersReachOnlyParametersThatMayComeFromHeaders) {
  TestRequest request(RequestMethod::Post, "/things/n", things_);
  request.header("extra", "from header").header("name", "from header").header("body", "x");
  EXPECT_FALSE(send(request).failed);
  EXPECT_FALSE(extra_.has_value());
  EXPECT_EQ(name_, "n");
  EXPECT_TRUE(body_.isEmpty());
}

TEST_F(SourceOrder, HeaderThenPathThenQueryThenTypedArgumentsThenBody) {
  RegistrationBuilder builder =
      transport_.addRoute(RequestMethod::Put, "/order/{v}", [this](std::string v) { name_ = std::move(v); });
  builder.parameter(0, "v");
  const FunctionRegistration* order = builder.registration();

  TestRequest pathOverHeader(RequestMethod::Put, "/order/path", order);
  pathOverHeader.header("v", "header");
  EXPECT_FALSE(send(pathOverHeader).failed);
  EXPECT_EQ(name_, "path");

  // The segment takes "path?v=query" along; the query's own "v" comes later.
  TestRequest queryOverPath(RequestMethod::Put, "/order/path?v=query", order);
  EXPECT_FALSE(send(queryOverPath).failed);
  EXPECT_EQ(name_, "query");

  Value typed;
  typed.setString("typed");
  TestRequest typedOverText(RequestMethod::Put, "/order/path", order);
  typedOverText.header("v", "header").argument("v", typed);
  EXPECT_FALSE(send(typedOverText).failed);
  EXPECT_EQ(name_, "typed");

  // Bodies go only to a parameter declared for the body.
  TestRequest ignoredBody(RequestMethod::Put, "/order/path", order);
  ignoredBody.body("application/json", "\"body\"");
  EXPECT_FALSE(send(ignoredBody).failed);
  EXPECT_EQ(name_, "path");
}

TEST_F(SourceOrder, TheBodyReplacesWhatEarlierSourcesGave) {
  Value typed;
  typed.setString("typed");
  TestRequest request(RequestMethod::Post, "/things/n", things_);
  request.argument("body", typed).body("application/json", "{\"k\":[1,2]}");
  EXPECT_FALSE(send(request).failed);
  EXPECT_EQ(body_.member("k").size(), 2u);
}

TEST_F(SourceOrder, TypedArgumentsByNameAndPosition) {
  Value value;
  value.setString("positional");
  // Position 0 after the one path parameter is parameter 1.
  TestRequest request(RequestMethod::Post, "/things/n", things_);
  request.argument(nullptr, value);
  EXPECT_FALSE(send(request).failed);
  EXPECT_EQ(id_, "positional");

  TestRequest second(RequestMethod::Post, "/things/n", things_);
  second.argument(nullptr, value).argument(nullptr, value);
  EXPECT_FALSE(send(second).failed);
  EXPECT_EQ(extra_, "positional");

  TestRequest tooMany(RequestMethod::Post, "/things/n", things_);
  tooMany.argument(nullptr, value).argument(nullptr, value).argument(nullptr, value).argument(nullptr, value);
  EXPECT_EQ(send(tooMany).error, "Unknown argument '4' for 'PostThingsByName'.");

  TestRequest unknown(RequestMethod::Post, "/things/n", things_);
  unknown.argument("zzz", value);
  EXPECT_EQ(send(unknown).error, "Unknown argument 'zzz' for 'PostThingsByName'.");

  // Typed arguments are not subject to the locations of texts.
  TestRequest byName(RequestMethod::Post, "/things/n", things_);
  byName.argument("extra", value);
  EXPECT_FALSE(send(byName).failed);
  EXPECT_EQ(extra_, "positional");
}

TEST_F(SourceOrder, TypedArgumentsThatDoNotConvertFailWithTheConversionsMessage) {
  TestRequest request(RequestMethod::Post, "/things/n", things_);
  Value placeholder;
  request.argument("extra", placeholder);
  HostRequestArgument& entry = const_cast<HostRequestArgument&>(request.record().arguments[0]);
  entry.value.type = 99;

  HostErrorSink sink{};
  Value scratch;
  ASSERT_FALSE(hostValueToValue(sink, scratch, entry.value, "extra"));
  const std::string expected = sink.errorMessage;
  releaseHostValue(sink.body);
  libraryFree(sink.errorMessage);

  const Answer answer = send(request);
  EXPECT_EQ(answer.error, expected);
  EXPECT_NE(expected.find("extra"), std::string::npos);
  entry.value.type = 0;
}

TEST_F(SourceOrder, ErrorsStopTheGatheringButNotTheBody) {
  Value value;
  TestRequest request(RequestMethod::Post, "/things/n?nope=1", things_);
  request.argument("zzz", value);
  EXPECT_EQ(send(request).error, "Unknown argument 'nope' for 'PostThingsByName'.");

  TestRequest bodyReplaces(RequestMethod::Post, "/things/n?nope=1", things_);
  bodyReplaces.body("text/json", "{}");
  EXPECT_EQ(send(bodyReplaces).error, "Unsupported body content type");

  TestRequest goodBody(RequestMethod::Post, "/things/n?nope=1", things_);
  goodBody.body("application/json", "{}");
  EXPECT_EQ(send(goodBody).error, "Unknown argument 'nope' for 'PostThingsByName'.");
}

TEST_F(SourceOrder, HostileRecordsAreReadSafely) {
  TestRequest nullHeaders(RequestMethod::Post, "/things/n", things_);
  nullHeaders.record().headerCount = 1000;
  EXPECT_FALSE(send(nullHeaders).failed);

  TestRequest nullArguments(RequestMethod::Post, "/things/n", things_);
  nullArguments.record().argumentCount = 1000;
  EXPECT_FALSE(send(nullArguments).failed);

  TestRequest nullTexts(RequestMethod::Post, "/things/n", things_);
  nullTexts.header("id", "1");
  const_cast<HostHeader*>(nullTexts.record().headers)[0].value = nullptr;
  EXPECT_EQ(send(nullTexts).error, "Expected value for argument 'Id'.");
  const_cast<HostHeader*>(nullTexts.record().headers)[0].name = nullptr;
  EXPECT_FALSE(send(nullTexts).failed);

  TestRequest nullContentType(RequestMethod::Post, "/things/n", things_);
  nullContentType.body("application/json", "{}");
  nullContentType.record().contentType = nullptr;
  EXPECT_EQ(send(nullContentType).error, "Unsupported body content type");
}

}  // namespace
}  // namespace Quor
