#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/json_reader.h"
#include "remoting/function_name.h"
#include "remoting/query_string.h"
#include "remoting/request_method.h"
#include "remoting/text_assignment.h"
#include "remoting/url_decode.h"

namespace Quor {
namespace {

TEST(UrlDecoding, PlusSignsAndEscapes) {
  EXPECT_EQ(urlDecode("a%2Fb+c"), "a/b c");
  EXPECT_EQ(urlDecode("%41%62%7e%7E"), "Ab~~");
  EXPECT_EQ(urlDecode("%00x"), std::string("\0x", 2));
  EXPECT_EQ(urlDecode("%C3%A9"), "\xC3\xA9");
  EXPECT_EQ(urlDecode("%2B"), "+");
  EXPECT_EQ(urlDecode(""), "");
}

TEST(UrlDecoding, APercentSignTooCloseToTheEndIsDropped) {
  EXPECT_EQ(urlDecode("abc%"), "abc");
  EXPECT_EQ(urlDecode("abc%4"), "abc4");
  EXPECT_EQ(urlDecode("%"), "");
}

TEST(UrlDecoding, AnEscapeWithoutTwoHexadecimalDigitsIsKeptAsWritten) {
  EXPECT_EQ(urlDecode("%zz"), "%zz");
  EXPECT_EQ(urlDecode("%4g"), "%4g");
  EXPECT_EQ(urlDecode("%g4"), "%g4");
  EXPECT_EQ(urlDecode("100%+x"), "100% x");
  // Decoding goes on right after the kept "%".
  EXPECT_EQ(urlDecode("%%41"), "%A");
  EXPECT_EQ(urlDecode("%%4"), "%4");
}

TEST(FunctionNames, FromMethodAndPath) {
  EXPECT_EQ(functionNameFor(2, "/qel-beta-opt-in/v1/needs-migration"), "GetQelBetaOptInV1NeedsMigration");
  EXPECT_EQ(functionNameFor(6, "/qel-beta-opt-in/v1/do-migration"), "PostQelBetaOptInV1DoMigration");
  EXPECT_EQ(functionNameFor(7, "/qel-beta-opt-in/v1/migration-error"), "PutQelBetaOptInV1MigrationError");
  EXPECT_EQ(functionNameFor(7, "/a/{id}/b_c"), "PutAByIdBC");
  EXPECT_EQ(functionNameFor(1, "/x!y+z.w"), "DeleteXYZW");
  EXPECT_EQ(functionNameFor(4, "/a"), "OptionsA");
  EXPECT_EQ(functionNameFor(5, "/{+rest}"), "PatchByRest");
}

TEST(FunctionNames, WithoutAMethodNameThePathAloneNamesTheFunction) {
  EXPECT_EQ(functionNameFor(0, "items/{id}"), "ItemsById");
  EXPECT_EQ(functionNameFor(8, "/items"), "Items");
  EXPECT_EQ(functionNameFor(42, "x"), "X");
}

TEST(FunctionNames, ClosingBracesAreDroppedWithoutCapitalising) {
  EXPECT_EQ(functionNameFor(2, "/a}b"), "GetAb");
  EXPECT_EQ(functionNameFor(2, "/{}x"), "GetByX");
  EXPECT_EQ(functionNameFor(2, "/a/B/"), "GetAB");
  EXPECT_EQ(functionNameFor(2, "/ALL-caps"), "GetALLCaps");
}

TEST(QueryStrings, SplitDecodedAndTheLastValueOfAKeyWins) {
  EXPECT_EQ(parseQuery("/x?a=1&b=2&a=3"), (PathCaptures{{"a", "3"}, {"b", "2"}}));
  EXPECT_EQ(parseQuery("/x?flag&k%20y=v+w%3D&e="), (PathCaptures{{"flag", ""}, {"k y", "v w="}, {"e", ""}}));
  EXPECT_EQ(parseQuery("/x?a=b=c"), (PathCaptures{{"a", "b=c"}}));
  EXPECT_EQ(parseQuery("/x?a?b=c"), (PathCaptures{{"a?b", "c"}}));
  EXPECT_EQ(parseQuery("/x"), PathCaptures{});
}

TEST(QueryStrings, APlainQueryIsReadAsParseQueryReadsItOrRefused) {
  const std::string manyPairs = "/x?a=1&b=2&c=3&d=4&e=5&f=6&g=7&h=8&i=9";
  const struct {
    std::string path;
    bool plain;
  } cases[] = {
      {"/x?limit=10", true},   {"/x?a=1&b&c=", true},  {"/x", true},        {"/x?a=b=c&b?=d", true},
      {"/x?b=1&a=2", false},   {"/x?a=1&a=2", false},  {"/x?a=1&&=2", false}, {"/x?k%20y=v", false},
      {"/x?k=v+w", false},     {manyPairs, false},     {"/x?", true},
  };
  for (const auto& testCase : cases) {
    PlainQuery plain;
    ASSERT_EQ(plain.read(testCase.path), testCase.plain) << testCase.path;
    if (!testCase.plain) continue;
    PathCaptures read;
    std::vector<std::string> order;
    for (const auto& [key, value] : plain.pairs()) {
      read.emplace(key, value);
      order.emplace_back(key);
    }
    EXPECT_EQ(read, parseQuery(testCase.path)) << testCase.path;
    std::vector<std::string> expectedOrder;
    for (const auto& [key, value] : parseQuery(testCase.path)) expectedOrder.push_back(key);
    EXPECT_EQ(order, expectedOrder) << testCase.path;
  }
}

TEST(QueryStrings, EmptyPiecesGiveTheEmptyKey) {
  EXPECT_EQ(parseQuery("/x?"), (PathCaptures{{"", ""}}));
  EXPECT_EQ(parseQuery("/x?a=1&&=2"), (PathCaptures{{"", "2"}, {"a", "1"}}));
}

TEST(TextAssignment, ContentTypesChooseTheDecoder) {
  RemotingResponse response;
  Value target;
  assignText(response, target, "[1,2]", "p", "F", "Application/JSON; charset=utf-8", false);
  EXPECT_EQ(target.kind(), ValueKind::Collection);
  assignText(response, target, "a: 1", "p", "F", "text/x-yaml", false);
  EXPECT_EQ(target.kind(), ValueKind::Structure);
  assignText(response, target, std::string("\x92\x01\x02\xFF", 4), "p", "F", "application/x-msgpack-ext", false);
  EXPECT_EQ(target.size(), 2u) << "bytes after the value are ignored";
  assignText(response, target, std::string("a\0b", 3), "p", "F", "application/octet-stream", true);
  ASSERT_EQ(target.kind(), ValueKind::Blob);
  EXPECT_EQ(target.getBlob().size(), 3u);
  // Without a decoder the text stays a text, even when it looks structured.
  assignText(response, target, "[1,2]", "p", "F", "text/plain", true);
  EXPECT_EQ(target.getString(), "[1,2]");
  assignText(response, target, "[1,2]", "p", "F", "", false);
  EXPECT_EQ(target.getString(), "[1,2]");
  EXPECT_TRUE(response.result.ok());
}

TEST(TextAssignment, AFailureLeavesTheTargetAsItWas) {
  RemotingResponse response;
  Value target;
  target.setString("before");
  assignText(response, target, "[1,", "param", "Fn", "application/json", false);
  EXPECT_FALSE(response.result.ok());
  EXPECT_EQ(response.result.error(),
            "Couldn't deserialize JSON value for parameter 'param' of 'Fn': " + std::string(parseJson("[1,").error()));
  EXPECT_EQ(target.getString(), "before");
}

}  // namespace
}  // namespace Quor
