#include "logging/make_error.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace Quor {
namespace {

TEST(MakeError, NamedTemplateGivesMessageCodeAndFields) {
  const PluginError error =
      makeError(404, "Error response for {method} {url}: {error}", "GET", std::string("/x"), std::string_view("boom"));
  EXPECT_EQ(error.code, 404);
  EXPECT_EQ(error.message, "Error response for GET /x: boom");
  EXPECT_EQ(textForm(error),
            R"({"message":"Error response for GET /x: boom","errorCode_int":404,"method":"GET","url":"/x","error":"boom"})");
}

TEST(MakeError, PositionalTemplatePassesThrough) {
  const PluginError error = makeError(55, "Failed to delete %s", "x.lnk");
  EXPECT_EQ(error.message, "Failed to delete x.lnk");
  EXPECT_EQ(textForm(error), R"({"message":"Failed to delete x.lnk","errorCode_int":55})");
}

TEST(MakeError, WithoutValuesOrCode) {
  const PluginError error = makeError(0, "Player Declined Uac Prompt");
  EXPECT_EQ(error.code, 0);
  EXPECT_TRUE(error.fields.empty());
  EXPECT_EQ(textForm(error), "Player Declined Uac Prompt");
  EXPECT_EQ(makeError(0, "100%% done").message, "100% done");
}

TEST(MakeError, TypedValuesAndSuffixes) {
  const PluginError error = makeError(0, "{#count} items of {#size} bytes, {ratio} full", std::int32_t{-3},
                                      std::uint64_t{18446744073709551615ull}, 0.25);
  EXPECT_EQ(error.message, "-3 items of 18446744073709551615 bytes, 0.25 full");
  EXPECT_EQ(textForm(error),
            R"({"message":"-3 items of 18446744073709551615 bytes, 0.25 full","count_int":-3,)"
            R"("size_int":18446744073709551615,"ratio":0.25})");
}

TEST(MakeError, HiddenAndAlternativePlaceholders) {
  const PluginError hidden = makeError(0, "Retrying {!attempt} now", std::int32_t{3});
  EXPECT_EQ(hidden.message, "Retrying now");
  EXPECT_EQ(textForm(hidden), R"({"message":"Retrying now","attempt":3})");

  const PluginError alternative = makeError(0, "Folder {path?unknown}", "");
  EXPECT_EQ(alternative.message, "Folder unknown");
  EXPECT_TRUE(alternative.fields.empty());
}

TEST(MakeError, MixedTemplatesFillEveryValueOnce) {
  EXPECT_EQ(makeError(0, "Failed {op} on %s", "read", "file.txt").message, "Failed read on file.txt");
  EXPECT_EQ(makeError(0, "%s: {op} x%d", "cmd", "run", std::int32_t{2}).message, "cmd: run x2");
  EXPECT_EQ(makeError(0, "Retry {n}0 times", std::int32_t{5}).message, "Retry 50 times");
}

TEST(MakeError, AnErrorAsValueIsItsTextForm) {
  const PluginError cause = makeError(55, "Failed to delete %s", "x.lnk");
  const PluginError error = makeError(7, "Migration failed: {cause}", cause);
  EXPECT_EQ(error.message, R"(Migration failed: {"message":"Failed to delete x.lnk","errorCode_int":55})");
  const ErrorFieldValue* field = error.fields.find("cause");
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(std::get<std::string>(*field), textForm(cause));
}

TEST(MakeError, CharacterArraysStopAtTheirEnd) {
  const char name[4] = {'a', 'b', 'c', 'd'};
  const PluginError error = makeError(0, "{file}", name);
  EXPECT_EQ(error.message, "abcd");
  EXPECT_EQ(std::get<std::string>(*error.fields.find("file")), "abcd");
}

}  // namespace
}  // namespace Quor
