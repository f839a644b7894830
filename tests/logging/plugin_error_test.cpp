#include "logging/plugin_error.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "binding/format_message.h"

namespace Quor {
namespace {

PluginError errorWith(std::string message) {
  PluginError error;
  error.message = std::move(message);
  return error;
}

TEST(PluginErrorSetCode, NonZeroCodeIsStoredAndMirroredAsSignedField) {
  PluginError error;
  setCode(error, -55);
  EXPECT_EQ(error.code, -55);
  ASSERT_EQ(error.fields.size(), 1u);
  const ErrorFieldValue* field = error.fields.find("errorCode_int");
  ASSERT_NE(field, nullptr);
  ASSERT_TRUE(std::holds_alternative<std::int64_t>(*field));
  EXPECT_EQ(std::get<std::int64_t>(*field), -55);
}

TEST(PluginErrorSetCode, ZeroChangesNothing) {
  PluginError error;
  setCode(error, 0);
  EXPECT_EQ(error.code, 0);
  EXPECT_TRUE(error.fields.empty());

  setCode(error, 7);
  setCode(error, 0);
  EXPECT_EQ(error.code, 7);
  EXPECT_EQ(std::get<std::int64_t>(*error.fields.find("errorCode_int")), 7);
}

TEST(PluginErrorSetCode, ANewCodeReplacesTheField) {
  PluginError error;
  setCode(error, 1);
  setCode(error, 2);
  EXPECT_EQ(error.code, 2);
  EXPECT_EQ(error.fields.size(), 1u);
  EXPECT_EQ(std::get<std::int64_t>(*error.fields.find("errorCode_int")), 2);
}

TEST(PluginErrorTextForm, WithoutMessageItIsEmpty) {
  PluginError error;
  setCode(error, 5);
  error.fields.set("path_str", std::string("x"));
  EXPECT_EQ(textForm(error), "");
}

TEST(PluginErrorTextForm, MessageAloneWhenThereIsNoCodeAndNoField) {
  EXPECT_EQ(textForm(errorWith("Player Declined Uac Prompt")), "Player Declined Uac Prompt");
}

TEST(PluginErrorTextForm, MessageAndCodeWhenThereIsNoField) {
  PluginError error = errorWith("Something failed");
  error.code = 42;
  EXPECT_EQ(textForm(error), "Something failed (42)");
  error.code = -3;
  EXPECT_EQ(textForm(error), "Something failed (-3)");
}

TEST(PluginErrorTextForm, TheFieldsCountFieldAloneKeepsThePlainForm) {
  PluginError error = errorWith("Plain");
  error.fields.set("errorFields_int", std::int64_t{2});
  EXPECT_EQ(textForm(error), "Plain");
  error.code = 9;
  EXPECT_EQ(textForm(error), "Plain (9)");
  error.fields.set("other", true);
  EXPECT_EQ(textForm(error), R"({"message":"Plain","errorFields_int":2,"other":true})");
}

TEST(PluginErrorTextForm, ACodeSetThroughSetCodeGivesJson) {
  PluginError error = errorWith("Failed to delete x.lnk");
  setCode(error, 55);
  EXPECT_EQ(textForm(error), R"({"message":"Failed to delete x.lnk","errorCode_int":55})");
}

TEST(PluginErrorTextForm, FieldsOfEveryKindFollowTheMessageInTheOrderFirstSet) {
  PluginError error = errorWith("m");
  error.fields.set("text", std::string("a\"b\\c/d\n\x01"));
  error.fields.set("flag", false);
  error.fields.set("signed", std::numeric_limits<std::int64_t>::min());
  error.fields.set("unsigned", std::numeric_limits<std::uint64_t>::max());
  error.fields.set("float", 2.5);
  error.fields.set("flag", true);
  EXPECT_EQ(textForm(error),
            R"({"message":"m","text":"a\"b\\c/d\n\u0001","flag":true,"signed":-9223372036854775808,)"
            R"("unsigned":18446744073709551615,"float":2.5})");
}

TEST(PluginErrorTextForm, TheMessageIsEscapedAndNonFiniteFloatsStayJson) {
  PluginError error = errorWith("line 1\nline \"2\"\t\\");
  error.fields.set("ratio", std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(textForm(error), R"({"message":"line 1\nline \"2\"\t\\","ratio":null})");
}

TEST(PluginErrorFormatArgument, IsWrittenAsItsTextForm) {
  PluginError error = errorWith("Failed to delete x.lnk");
  setCode(error, 55);
  EXPECT_EQ(FormatMessage("Migration failed: %1", error),
            R"(Migration failed: {"message":"Failed to delete x.lnk","errorCode_int":55})");
  EXPECT_EQ(FormatMessage("[%s] [%d]", errorWith("plain"), errorWith("other")), "[plain] [other]");
}

}  // namespace
}  // namespace Quor
