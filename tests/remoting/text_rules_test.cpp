#include <gtest/gtest.h>

#include <string>

#include "remoting/function_name.h"
#include "remoting/query_string.h"
#include "remoting/request_method.h"
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

TEST(QueryStrings, EmptyPiecesGiveTheEmptyKey) {
  EXPECT_EQ(parseQuery("/x?"), (PathCaptures{{"", ""}}));
  EXPECT_EQ(parseQuery("/x?a=1&&=2"), (PathCaptures{{"", "2"}, {"a", "1"}}));
}

}  // namespace
}  // namespace Quor
