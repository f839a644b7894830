#include <gtest/gtest.h>

#include <string>

#include "remoting/content_types.h"
#include "remoting/request_method.h"
#include "remoting/status_reason_table.h"

namespace Quor {
namespace {

TEST(StatusReasonTable, HoldsTheFortySixPhrases) {
  EXPECT_EQ(StatusReasonTable::size(), 46u);
  EXPECT_STREQ(StatusReasonTable::find(200), "OK");
  EXPECT_STREQ(StatusReasonTable::find(100), "Continue");
  EXPECT_STREQ(StatusReasonTable::find(404), "Not Found");
  EXPECT_STREQ(StatusReasonTable::find(507), "Insufficient Storage");
  EXPECT_STREQ(StatusReasonTable::find(207), "207 Multi-Status");
}

TEST(StatusReasonTable, HasNoEntryForTheGaps) {
  for (const int code : {0, 99, 103, 208, 306, 308, 418, 419, 420, 421, 425, 499, 506, 508, 600, -200}) {
    EXPECT_EQ(StatusReasonTable::find(code), nullptr) << code;
  }
}

TEST(RequestMethods, CodesAndNames) {
  EXPECT_STREQ(methodName(RequestMethod::Get), "GET");
  EXPECT_STREQ(methodName(1u), "DELETE");
  EXPECT_STREQ(methodName(3u), "HEAD");
  EXPECT_STREQ(methodName(4u), "OPTIONS");
  EXPECT_STREQ(methodName(5u), "PATCH");
  EXPECT_STREQ(methodName(6u), "POST");
  EXPECT_STREQ(methodName(7u), "PUT");
  EXPECT_STREQ(methodName(0u), "");
  EXPECT_STREQ(methodName(8u), "");
  EXPECT_STREQ(methodName(9u), "");
  EXPECT_STREQ(methodName(0xFFFFFFFFu), "");
  EXPECT_EQ(requestMethodFromCode(9), RequestMethod::None);
  EXPECT_EQ(requestMethodFromCode(0x80000006u), RequestMethod::None);
  EXPECT_EQ(requestMethodFromCode(8), RequestMethod::Custom);
  EXPECT_EQ(requestMethodFromCode(6), RequestMethod::Post);
}

TEST(ContentTypes, MatchByCaseInsensitivePrefix) {
  EXPECT_TRUE(contentTypeMatches("Application/JSON; charset=utf-8", ContentTypes::json));
  EXPECT_TRUE(contentTypeMatches("application/json", ContentTypes::json));
  EXPECT_FALSE(contentTypeMatches("text/json", ContentTypes::json));
  EXPECT_FALSE(contentTypeMatches("application/jso", ContentTypes::json));
  EXPECT_TRUE(contentTypeMatches("application/x-msgpack-ext", ContentTypes::msgpack));
  EXPECT_FALSE(contentTypeMatches("application/x-msgpack", ContentTypes::msgpackExt));
  EXPECT_TRUE(contentTypeMatches("TEXT/X-YAML", ContentTypes::yamlText));
  EXPECT_TRUE(contentTypeMatches("application/vnd.api+json", ContentTypes::jsonApi));
  EXPECT_TRUE(contentTypeMatches("application/octet-stream", ContentTypes::octetStream));
  EXPECT_FALSE(contentTypeMatches("", ContentTypes::yaml));
}

}  // namespace
}  // namespace Quor
