#include "formats/json_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "binding/nesting_limit.h"
#include "formats/value_text_writer.h"
#include "small_stack_thread.h"

namespace Quor {
namespace {

// The value with every scalar tagged by its kind (u:, i:, f:, ...).
std::string typedText(const ValueResult& result) { return valueToText(result.value(), ValueTextStyle::Typed); }

std::string readTyped(const char* text) {
  const ValueResult result = parseJson(text);
  EXPECT_TRUE(result.ok()) << text << ": " << result.error();
  return typedText(result);
}

std::string errorOf(const std::string& text) {
  const ValueResult result = parseJson(text.c_str());
  EXPECT_FALSE(result.ok()) << text;
  return std::string(result.error());
}

TEST(JsonReaderEmptyText, EmptyOrWhitespaceOnlyTextIsAnEmptyValue) {
  for (const char* text : {"", "   \n", "\t\r\n ", " "}) {
    const ValueResult result = parseJson(text);
    EXPECT_TRUE(result.ok()) << '"' << text << '"';
    EXPECT_EQ(result.value().kind(), ValueKind::Empty);
    EXPECT_EQ(result.error(), "");
  }
}

TEST(JsonReaderEmptyText, NullTextIsAnEmptyValue) {
  const ValueResult result = parseJson(nullptr);
  EXPECT_TRUE(result.ok());
  EXPECT_TRUE(result.value().isEmpty());
}

TEST(JsonReaderEmptyText, OtherWhitespaceIsNotSkipped) {
  // Only tab, line feed, carriage return and space are JSON whitespace.
  EXPECT_EQ(errorOf("\v"), "Error: Invalid value. at offset 0.");
  EXPECT_EQ(errorOf("\f1"), "Error: Invalid value. at offset 0.");
}

TEST(JsonReaderNumbers, NonNegativeIntegersAreUnsigned) {
  EXPECT_EQ(readTyped("0"), "u:0");
  EXPECT_EQ(readTyped("4294967295"), "u:4294967295");
  EXPECT_EQ(readTyped("4294967296"), "u:4294967296");
  EXPECT_EQ(readTyped("18446744073709551615"), "u:18446744073709551615");

  const ValueResult big = parseJson("4294967296");
  EXPECT_EQ(big.value().kind(), ValueKind::Unsigned);
  EXPECT_EQ(big.value().getUnsigned(), 4294967296ull);
}

TEST(JsonReaderNumbers, NegativeIntegersAreSigned) {
  EXPECT_EQ(readTyped("-1"), "i:-1");
  EXPECT_EQ(readTyped("-2147483648"), "i:-2147483648");
  EXPECT_EQ(readTyped("-2147483649"), "i:-2147483649");
  EXPECT_EQ(readTyped("-9223372036854775808"), "i:-9223372036854775808");

  const ValueResult minusOne = parseJson("-1");
  EXPECT_EQ(minusOne.value().kind(), ValueKind::Signed);
  EXPECT_EQ(minusOne.value().getSigned(), -1);
}

TEST(JsonReaderNumbers, MinusZeroKeepsItsSignAsASignedZero) {
  const ValueResult result = parseJson("-0");
  EXPECT_EQ(result.value().kind(), ValueKind::Signed);
  EXPECT_EQ(result.value().getSigned(-5), 0);
}

TEST(JsonReaderNumbers, FractionsExponentsAndOutOfRangeIntegersAreFloats) {
  const struct {
    const char* text;
    double value;
  } cases[] = {
      {"2.5", 2.5},
      {"1e2", 100.0},
      {"1E2", 100.0},
      {"1.0", 1.0},
      {"-0.5", -0.5},
      {"1e-2", 0.01},
      {"18446744073709551616", 18446744073709551616.0},
      {"-9223372036854775809", -9223372036854775808.0},
      {"123456789012345678901234567890", 1.2345678901234568e29},
  };
  for (const auto& entry : cases) {
    const ValueResult result = parseJson(entry.text);
    ASSERT_TRUE(result.ok()) << entry.text;
    EXPECT_EQ(result.value().kind(), ValueKind::Float) << entry.text;
    EXPECT_DOUBLE_EQ(result.value().getFloat(), entry.value) << entry.text;
  }
}

TEST(JsonReaderNumbers, TinyNumbersUnderflowToZero) {
  const ValueResult result = parseJson("[1.5e-400, -2e-330]");
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.value().element(0).getFloat(-1), 0.0);
  EXPECT_EQ(result.value().element(1).getFloat(-1), 0.0);
  EXPECT_TRUE(std::signbit(result.value().element(1).getFloat()));
}

TEST(JsonReaderScalars, LiteralsAndStrings) {
  EXPECT_EQ(readTyped("true"), "true");
  EXPECT_EQ(readTyped("false"), "false");
  EXPECT_EQ(readTyped("null"), "null");
  EXPECT_EQ(readTyped("\"text\""), "\"text\"");

  const ValueResult yes = parseJson(" true ");
  EXPECT_EQ(yes.value().kind(), ValueKind::Bool);
  EXPECT_TRUE(yes.value().getBool());
  const ValueResult text = parseJson("\"\"");
  EXPECT_EQ(text.value().kind(), ValueKind::String);
  EXPECT_EQ(text.value().size(), 0u);
}

TEST(JsonReaderScalars, EscapesAreDecodedToUtf8) {
  const ValueResult result = parseJson(R"("a\"\\\/\b\f\n\r\t\u00e9\u20ac\ud83d\ude00")");
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.value().getString(), "a\"\\/\b\f\n\r\t\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
}

TEST(JsonReaderScalars, EscapedNulKeepsTheWholeText) {
  const ValueResult result = parseJson(R"({"k\u0000ey":"a\u0000b","k":1})");
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.value().size(), 2u);
  EXPECT_EQ(result.value().member(std::string_view("k\0ey", 4)).getString(), std::string_view("a\0b", 3));
  EXPECT_EQ(result.value().member("k").getUnsigned(), 1u);
}

TEST(JsonReaderContainers, ArrayElementsKeepTheirOrderAndKinds) {
  const ValueResult result = parseJson("[1, null, true]");
  ASSERT_TRUE(result.ok());
  const Value& value = result.value();
  ASSERT_EQ(value.kind(), ValueKind::Collection);
  ASSERT_EQ(value.size(), 3u);
  EXPECT_EQ(value.element(0).kind(), ValueKind::Unsigned);
  EXPECT_EQ(value.element(0).getUnsigned(), 1u);
  EXPECT_EQ(value.element(1).kind(), ValueKind::Empty);
  EXPECT_EQ(value.element(2).kind(), ValueKind::Bool);
  EXPECT_TRUE(value.element(2).getBool());
}

TEST(JsonReaderContainers, NullsInsideArraysAreAppendedAsEmptyElements) {
  EXPECT_EQ(readTyped("[null,null,[null],null]"), "[null,null,[null],null]");
  EXPECT_EQ(parseJson("[null]").value().size(), 1u);
}

TEST(JsonReaderContainers, EmptyContainersKeepTheirKind) {
  const ValueResult array = parseJson("[]");
  EXPECT_EQ(array.value().kind(), ValueKind::Collection);
  EXPECT_EQ(array.value().size(), 0u);
  const ValueResult object = parseJson("{}");
  EXPECT_EQ(object.value().kind(), ValueKind::Structure);
  EXPECT_EQ(object.value().size(), 0u);
  EXPECT_EQ(readTyped(R"({"a":[],"b":{},"c":[[]]})"), R"({"a":[],"b":{},"c":[[]]})");
}

TEST(JsonReaderContainers, MembersAreVisitedInNameOrder) {
  EXPECT_EQ(readTyped(R"({"b":1,"a":-1,"B":2.5,"aa":"x"})"), R"({"B":f:2.5,"a":i:-1,"aa":"x","b":u:1})");
}

TEST(JsonReaderContainers, NullMemberExistsAndIsEmpty) {
  const ValueResult result = parseJson(R"({"a":null})");
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.value().size(), 1u);
  EXPECT_TRUE(result.value().hasMember("a"));
  EXPECT_EQ(result.value().member("a").kind(), ValueKind::Empty);
}

TEST(JsonReaderContainers, NestedContainersMix) {
  EXPECT_EQ(readTyped(R"( {"list":[{"x":[1,{"y":-2}]},[],3.5],"z":{"q":{"r":[true]}}} )"),
            R"({"list":[{"x":[u:1,{"y":i:-2}]},[],f:3.5],"z":{"q":{"r":[true]}}})");
}

TEST(JsonReaderContainers, ReadContainersGrowAndCopyLikeAnyOther) {
  // Containers start with room for a few items in their header's block and
  // give back what they did not use when they close.
  for (const char* text : {"[[],{}]", "[[1,2],{\"a\":1,\"b\":2}]", "[[1,2,3,4,5],{\"a\":1,\"b\":2,\"c\":3,\"d\":4,\"e\":5}]"}) {
    ValueResult result = parseJson(text);
    ASSERT_TRUE(result.ok()) << text;
    Value& tree = result.value();
    const std::size_t items = tree.element(0).size();
    const Value before(tree);
    for (int added = 0; added < 10; ++added) {
      tree.writeElement(0).appendElement().setSigned(added);
      tree.writeElement(1).writeMember("z" + std::to_string(added)).setSigned(added);
    }
    EXPECT_EQ(tree.element(0).size(), items + 10u) << text;
    EXPECT_EQ(tree.element(1).size(), items + 10u) << text;
    EXPECT_EQ(tree.element(0).element(items + 9u).getSigned(), 9) << text;
    EXPECT_EQ(valueToText(before, ValueTextStyle::Typed), readTyped(text)) << text;
  }
}

TEST(JsonReaderRepeatedKeys, TheLastValueWins) {
  const ValueResult result = parseJson(R"({"a":1,"a":2})");
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.value().size(), 1u);
  EXPECT_EQ(result.value().member("a").getUnsigned(), 2u);
}

TEST(JsonReaderRepeatedKeys, ALaterContainerReplacesAnEarlierOneInsteadOfMerging) {
  EXPECT_EQ(readTyped(R"({"a":{"x":1},"a":{"y":2}})"), R"({"a":{"y":u:2}})");
  EXPECT_EQ(readTyped(R"({"a":[1,2],"a":[3]})"), R"({"a":[u:3]})");
  EXPECT_EQ(readTyped(R"({"a":[1],"a":5})"), R"({"a":u:5})");
  EXPECT_EQ(readTyped(R"({"a":5,"a":{"b":null}})"), R"({"a":{"b":null}})");
  EXPECT_EQ(readTyped(R"({"a":"x","a":null})"), R"({"a":null})");
}

TEST(JsonReaderRepeatedKeys, LargeObjectsComeOutInNameOrderWithTheLastValues) {
  // Members beyond a few dozen, scrambled, each name twice.
  std::string text = "{";
  for (int round = 0; round < 2; ++round) {
    for (int step = 0; step < 100; ++step) {
      const int index = (step * 37) % 100;
      text += "\"k" + std::to_string(index) + "\":" + std::to_string(round * 1000 + index) + ",";
    }
  }
  text.back() = '}';
  const ValueResult result = parseJson(text.c_str());
  ASSERT_TRUE(result.ok());
  ASSERT_EQ(result.value().size(), 100u);
  std::string previous;
  for (const MemberView member : result.value().members()) {
    EXPECT_LT(previous, std::string(member.name));
    previous = std::string(member.name);
    EXPECT_EQ(member.value.getUnsigned(), 1000u + std::stoul(previous.substr(1)));
  }
}

TEST(JsonReaderRepeatedKeys, RecordsOfRepeatedShapesReadAsEachDoesAlone) {
  // Shapes met again are ordered from memory: the same names in another
  // order, a repeated name, or the same ends and count must not fool it.
  std::vector<std::string> records = {
      R"({"d":1,"b":2,"e":3,"a":4,"c":5})",       R"({"d":6,"b":7,"e":8,"a":9,"c":10})",
      R"({"d":1,"e":2,"b":3,"a":4,"c":5})",       R"({"d":"x","b":[1],"e":{},"a":null,"c":true})",
      R"({"d":1,"b":2,"d":3,"a":4,"c":5})",       R"({"d":1,"b":2,"e":3,"a":4,"c":5})",
      R"({"d":1,"b":2,"d":3,"a":4,"c":5})",       R"({"d":1,"e":2,"b":3,"a":4,"c":5})",
      R"({"d":{"s":1,"r":2,"q":3,"p":4},"b":2,"e":{"s":5,"r":6,"q":7,"p":8},"a":4,"c":5})",
      R"({"d":1,"b":2,"d":3,"a":4,"c":5})",       R"({"d":1,"b":2,"e":3,"a":4,"c":5})",
  };
  // A replaced container frees names that later records intern again.
  std::string manyNames;
  for (int index = 0; index < 100; ++index) manyNames += "\"u" + std::to_string(index) + "\":" + std::to_string(index) + ",";
  manyNames.pop_back();
  records.push_back("{\"x\":{" + manyNames + "},\"x\":5}");
  records.push_back("{" + manyNames + ",\"w\":{" + manyNames + "}}");
  std::string array = "[";
  std::string expected = "[";
  for (const std::string& record : records) {
    array += record + ",";
    expected += readTyped(record.c_str()) + ",";
  }
  array.back() = ']';
  expected.back() = ']';
  EXPECT_EQ(readTyped(array.c_str()), expected);
}

TEST(JsonReaderInputEnd, NothingAfterANulIsSeen) {
  const std::string text("[1]\0 garbage", 12);
  const ValueResult result = parseJson(text.c_str());
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(typedText(result), "[u:1]");

  const std::string number("123\0" "00", 6);
  EXPECT_EQ(typedText(parseJson(number.c_str())), "u:123");
}

TEST(JsonReaderInputEnd, SurroundingWhitespaceIsAccepted) {
  EXPECT_EQ(readTyped("  [1] "), "[u:1]");
  EXPECT_EQ(readTyped("\r\n\t{}\n\n"), "{}");
}

TEST(JsonReaderInputEnd, TrailingTextFailsWithCode2AtItsOffset) {
  EXPECT_EQ(errorOf("[1] [2]"), "Error: The document root must not follow by other values. at offset 4.");
  EXPECT_EQ(errorOf("[1] x"), "Error: The document root must not follow by other values. at offset 4.");
  EXPECT_EQ(errorOf("1 2"), "Error: The document root must not follow by other values. at offset 2.");
  EXPECT_EQ(errorOf("{}\n\n}"), "Error: The document root must not follow by other values. at offset 4.");
}

TEST(JsonReaderErrors, EachErrorHasItsTextAndOffset) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"x", "Error: Invalid value. at offset 0."},
      {"[1,]", "Error: Invalid value. at offset 3."},
      {"  tru", "Error: Invalid value. at offset 5."},
      {"NaN", "Error: Invalid value. at offset 0."},
      {"[1 // no comments\n]", "Error: Missing a comma or ']' after an array element. at offset 3."},
      {"{1:2}", "Error: Missing a name for object member. at offset 1."},
      {R"({"a":1,})", "Error: Missing a name for object member. at offset 7."},
      {R"({"a" 1})", "Error: Missing a colon after a name of object member. at offset 5."},
      {R"({"a":1 "b":2})", "Error: Missing a comma or '}' after an object member. at offset 7."},
      {"[1 2]", "Error: Missing a comma or ']' after an array element. at offset 3."},
      {"[1", "Error: Missing a comma or ']' after an array element. at offset 2."},
      {R"("\u12G4")", "Error: Incorrect hex digit after \\u escape in string. at offset 1."},
      {R"("\uD800")", "Error: The surrogate pair in string is invalid. at offset 1."},
      {R"("x\uD800\u0041")", "Error: The surrogate pair in string is invalid. at offset 2."},
      {R"("\x")", "Error: Invalid escape character in string. at offset 1."},
      {"\"a\x01\"", "Error: Invalid escape character in string. at offset 2."},
      {"\"abc", "Error: Missing a closing quotation mark in string. at offset 4."},
      {"1e400", "Error: Number too big to be stored in double. at offset 0."},
      {"[0, 1.]", "Error: Miss fraction part in number. at offset 6."},
      {"1e", "Error: Miss exponent in number. at offset 2."},
      {"1e+", "Error: Miss exponent in number. at offset 3."},
      {"01", "Error: The document root must not follow by other values. at offset 1."},
  };
  for (const auto& entry : cases) {
    EXPECT_EQ(errorOf(entry.text), entry.message) << entry.text;
  }
}

TEST(JsonReaderErrors, AFailedResultHoldsOnlyTheMessage) {
  const ValueResult result = parseJson(R"({"a":[1,2,{"b":)");
  EXPECT_FALSE(result.ok());
  const Value& value = result.value();
  EXPECT_EQ(value.kind(), ValueKind::Structure);
  EXPECT_EQ(value.size(), 1u);
  EXPECT_EQ(value.member("error").getString(), "Error: Invalid value. at offset 15.");
}

// depth levels of open, then inner, then depth levels of close.
std::string nested(std::size_t depth, const char* open, const char* close, const char* inner = "") {
  std::string text;
  for (std::size_t level = 0; level < depth; ++level) text += open;
  text += inner;
  for (std::size_t level = 0; level < depth; ++level) text += close;
  return text;
}

const std::string tooDeepMessage =
    "The document is nested deeper than " + std::to_string(maxNestingDepth) + " levels.";

TEST(JsonReaderNesting, DocumentsUpToTheLimitAreRead) {
  const ValueResult arrays = parseJson(nested(maxNestingDepth, "[", "]").c_str());
  ASSERT_TRUE(arrays.ok()) << arrays.error();
  const Value* innermost = &arrays.value();
  for (std::size_t level = 1; level < maxNestingDepth; ++level) innermost = &innermost->element(0);
  EXPECT_EQ(innermost->kind(), ValueKind::Collection);
  EXPECT_EQ(innermost->size(), 0u);

  const ValueResult objects = parseJson(nested(maxNestingDepth, R"({"a":)", "}", "0").c_str());
  ASSERT_TRUE(objects.ok()) << objects.error();
}

TEST(JsonReaderNesting, OneLevelMoreFailsAtTheBracketThatOpensIt) {
  EXPECT_EQ(errorOf(nested(maxNestingDepth + 1, "[", "]")),
            "Error: " + tooDeepMessage + " at offset " + std::to_string(maxNestingDepth) + ".");
  // Each level is 5 characters: {"a":
  EXPECT_EQ(errorOf(nested(maxNestingDepth + 1, R"({"a":)", "}", "0")),
            "Error: " + tooDeepMessage + " at offset " + std::to_string(5 * maxNestingDepth) + ".");
  // An outer array, a harmless element, then levels of two containers each:
  // the refused one is the object of the last level that fits half.
  const std::string mixed =
      "  [" + nested(maxNestingDepth / 2, "[", "]") + "," + nested(maxNestingDepth, R"([{"x":)", "}]", "0") + "]";
  const std::size_t refused = 3 + maxNestingDepth + 1 + (maxNestingDepth / 2 - 1) * 6 + 1;
  EXPECT_EQ(errorOf(mixed), "Error: " + tooDeepMessage + " at offset " + std::to_string(refused) + ".");
}

TEST(JsonReaderNesting, HostileNestingFailsCleanlyOnASmallStack) {
  const std::string brackets(1000000, '[');
  const std::string braces = [] {
    std::string text;
    for (int level = 0; level < 200000; ++level) text += R"({"":)";
    return text;
  }();
  // Exactly maxNestingDepth containers, two per level.
  const std::string limitDeep = nested(maxNestingDepth / 2, R"([{"k":)", "}]", "0");
  std::string bracketsError, bracesError, limitError = "not run";
  bool limitOk = false;
  // The host's threads may have small stacks; the limit must fit well within.
  ASSERT_TRUE(Testing::runOnSmallStack(512 * 1024, [&] {
    bracketsError = std::string(parseJson(brackets.c_str()).error());
    bracesError = std::string(parseJson(braces.c_str()).error());
    const ValueResult result = parseJson(limitDeep.c_str());
    limitOk = result.ok();
    limitError = std::string(result.error());
  }));
  EXPECT_EQ(bracketsError, "Error: " + tooDeepMessage + " at offset " + std::to_string(maxNestingDepth) + ".");
  EXPECT_EQ(bracesError, "Error: " + tooDeepMessage + " at offset " + std::to_string(4 * maxNestingDepth) + ".");
  EXPECT_TRUE(limitOk) << limitError;
}

}  // namespace
}  // namespace Quor
