#include "logging/named_template.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Quor {
namespace {

struct Outcome {
  std::string format;
  ErrorFields fields;
};

Outcome rewrite(std::string_view format, const std::vector<ErrorFieldValue>& values) {
  Outcome outcome;
  outcome.format = namedTemplate(format, values, outcome.fields);
  return outcome;
}

std::string textField(const ErrorFields& fields, std::string_view name) {
  const ErrorFieldValue* value = fields.find(name);
  return value != nullptr && std::holds_alternative<std::string>(*value) ? std::get<std::string>(*value) : "<none>";
}

std::vector<std::string> fieldNames(const ErrorFields& fields) {
  std::vector<std::string> names;
  for (const ErrorField& field : fields) names.push_back(field.name);
  return names;
}

TEST(NamedTemplatePlaceholders, NamesBecomePositionsAndRecordTheirValues) {
  const Outcome outcome = rewrite("Error response for {method} {url}: {error}",
                                  {std::string("GET"), std::string("/x"), std::string("boom")});
  EXPECT_EQ(outcome.format, "Error response for %1 %2: %3");
  EXPECT_EQ(fieldNames(outcome.fields), (std::vector<std::string>{"method", "url", "error"}));
  EXPECT_EQ(textField(outcome.fields, "method"), "GET");
  EXPECT_EQ(textField(outcome.fields, "url"), "/x");
  EXPECT_EQ(textField(outcome.fields, "error"), "boom");
}

TEST(NamedTemplatePlaceholders, ConversionTextGivesTheExplicitForm) {
  const Outcome outcome = rewrite("{a} {n:5d}", {std::string("x"), std::int64_t{7}});
  EXPECT_EQ(outcome.format, "%1 %2$5d");
  EXPECT_EQ(std::get<std::int64_t>(*outcome.fields.find("n")), 7);
}

TEST(NamedTemplatePlaceholders, MissingValuesWriteNothingButStillCount) {
  const Outcome outcome = rewrite("{a} and {b} or %s", {std::string("only")});
  EXPECT_EQ(outcome.format, "%1 and  or ");
  EXPECT_EQ(fieldNames(outcome.fields), std::vector<std::string>{"a"});
}

TEST(NamedTemplatePlaceholders, AnEmptyNameRecordsNoField) {
  const Outcome outcome = rewrite("value {} here", {std::int64_t{1}});
  EXPECT_EQ(outcome.format, "value %1 here");
  EXPECT_TRUE(outcome.fields.empty());
}

TEST(NamedTemplatePlaceholders, ARepeatedNameKeepsTheLastValue) {
  const Outcome outcome = rewrite("{x} {x}", {std::string("first"), std::string("second")});
  EXPECT_EQ(outcome.format, "%1 %2");
  EXPECT_EQ(outcome.fields.size(), 1u);
  EXPECT_EQ(textField(outcome.fields, "x"), "second");
}

TEST(NamedTemplateTypeSuffix, TheValueKindIsAppended) {
  const Outcome outcome = rewrite("{#count} {#size} {#ok} {#ratio} {#name}",
                                  {std::int64_t{3}, std::uint64_t{4}, true, 0.5, std::string("n")});
  EXPECT_EQ(outcome.format, "%1 %2 %3 %4 %5");
  EXPECT_EQ(fieldNames(outcome.fields),
            (std::vector<std::string>{"count_int", "size_int", "ok_bool", "ratio_float", "name_str"}));
  EXPECT_EQ(std::get<std::int64_t>(*outcome.fields.find("count_int")), 3);
  EXPECT_EQ(std::get<std::uint64_t>(*outcome.fields.find("size_int")), 4u);
}

TEST(NamedTemplateTypeSuffix, AKnownSuffixIsKept) {
  const Outcome outcome = rewrite("{#a_bool}{#b_int}{#c_long}{#d_float}{#e_str}{#f_time}{#g_ip}{#h_id}{#plain}",
                                  {std::int64_t{1}, std::int64_t{2}, std::int64_t{3}, std::int64_t{4}, std::int64_t{5},
                                   std::int64_t{6}, std::int64_t{7}, std::int64_t{8}, std::int64_t{9}});
  EXPECT_EQ(fieldNames(outcome.fields),
            (std::vector<std::string>{"a_bool", "b_int", "c_long", "d_float", "e_str", "f_time", "g_ip", "h_id_int",
                                      "plain_int"}));
}

TEST(NamedTemplateTypeSuffix, WithoutTheFlagNothingIsAppended) {
  const Outcome outcome = rewrite("{count}", {std::int64_t{3}});
  EXPECT_EQ(fieldNames(outcome.fields), std::vector<std::string>{"count"});
}

TEST(NamedTemplateAlternative, EmptyValuesWriteTheAlternativeAndRecordNothing) {
  for (const ErrorFieldValue& empty :
       {ErrorFieldValue(std::string()), ErrorFieldValue(false), ErrorFieldValue(std::int64_t{0}),
        ErrorFieldValue(std::uint64_t{0}), ErrorFieldValue(0.0)}) {
    const Outcome outcome = rewrite("[{name?none}]", {empty});
    EXPECT_EQ(outcome.format, "[none]");
    EXPECT_TRUE(outcome.fields.empty());
  }
}

TEST(NamedTemplateAlternative, OtherValuesResolveNormally) {
  const Outcome outcome = rewrite("[{name?none}]", {std::string("x")});
  EXPECT_EQ(outcome.format, "[%1]");
  EXPECT_EQ(textField(outcome.fields, "name"), "x");
}

TEST(NamedTemplateAlternative, ConversionTakesPrecedence) {
  EXPECT_EQ(rewrite("{n?none:d}", {std::int64_t{0}}).format, "none");
  EXPECT_EQ(rewrite("{n?none:d}", {std::int64_t{7}}).format, "%1$d");
  // Once ":" was seen, the characters stay with the conversion.
  EXPECT_EQ(rewrite("{n:5?d}", {std::int64_t{7}}).format, "%1$5d");
}

TEST(NamedTemplateHide, RecordsTheFieldAndDropsTheBlanksBefore) {
  const Outcome outcome = rewrite("Retrying {!attempt} now", {std::int64_t{3}});
  EXPECT_EQ(outcome.format, "Retrying now");
  EXPECT_EQ(std::get<std::int64_t>(*outcome.fields.find("attempt")), 3);
  EXPECT_EQ(rewrite("a \t\n{!x}", {std::string("v")}).format, "a");
}

TEST(NamedTemplateBraces, DoubledBracesAreLiteral) {
  const Outcome outcome = rewrite("{{literal}} and }} and } end", {std::string("unused")});
  EXPECT_EQ(outcome.format, "{literal} and } and } end");
  EXPECT_TRUE(outcome.fields.empty());
}

TEST(NamedTemplateBraces, BackslashTakesTheNextCharacterLiterally) {
  const Outcome outcome = rewrite(R"({a\}b\:c\?d\!e\\})", {std::string("v")});
  EXPECT_EQ(outcome.format, "%1");
  EXPECT_EQ(fieldNames(outcome.fields), std::vector<std::string>{R"(a}b:c?d!e\)"});
}

TEST(NamedTemplateBraces, ANestedOpeningBraceIsIgnored) {
  const Outcome outcome = rewrite("{a{b}", {std::string("v")});
  EXPECT_EQ(outcome.format, "%1");
  EXPECT_EQ(fieldNames(outcome.fields), std::vector<std::string>{"ab"});
}

TEST(NamedTemplateBraces, AnUnclosedPlaceholderWritesNothing) {
  const Outcome outcome = rewrite("text {name", {std::string("v")});
  EXPECT_EQ(outcome.format, "text ");
  EXPECT_TRUE(outcome.fields.empty());
}

TEST(NamedTemplateOrdinary, PercentSignsPassThrough) {
  const Outcome outcome = rewrite("100%% of {x}", {std::string("v")});
  EXPECT_EQ(outcome.format, "100%% of %1");
  EXPECT_EQ(rewrite("Failed to delete %s", {std::string("x.lnk")}).format, "Failed to delete %s");
  EXPECT_EQ(rewrite("%-8s|%2$5.2f|%1", {std::string("a"), 2.5}).format, "%-8s|%2$5.2f|%1");
}

TEST(NamedTemplateOrdinary, OrdinaryPlaceholdersTakeTheirPositionsInTheNumbering) {
  const Outcome outcome = rewrite("%s then {name}", {std::string("a"), std::string("b")});
  EXPECT_EQ(outcome.format, "%s then %2");
  EXPECT_EQ(textField(outcome.fields, "name"), "b");

  // An explicit position moves the numbering on from there.
  const Outcome positional = rewrite("%2$s {x}", {std::string("a"), std::string("b"), std::string("c")});
  EXPECT_EQ(positional.format, "%2$s %3");
  EXPECT_EQ(textField(positional.fields, "x"), "c");

  // "*" widths take values too.
  const Outcome star = rewrite("%*d {x}", {std::int64_t{4}, std::int64_t{5}, std::string("c")});
  EXPECT_EQ(star.format, "%*d %3");
  EXPECT_EQ(textField(star.fields, "x"), "c");
}

TEST(NamedTemplateOrdinary, OrdinaryPlaceholdersAfterNamedOnesGetExplicitPositions) {
  // The formatter's own sequence does not count the numbered placeholders
  // that named fields become, so these need their number written out.
  EXPECT_EQ(rewrite("{op} on %s", {std::string("read"), std::string("f")}).format, "%1 on %2$s");
  EXPECT_EQ(rewrite("{op} %-5d|%*.*f", {std::string("x"), std::int64_t{1}, std::int64_t{6}, std::int64_t{2}, 0.5}).format,
            "%1 %2$-5d|%5$*3$.*4$f");
}

TEST(NamedTemplateOrdinary, AnUnreadablePlaceholderEndsTheStep) {
  const Outcome trailing = rewrite("{a} at 100%", {std::string("v")});
  EXPECT_EQ(trailing.format, "%1 at 100");
  EXPECT_EQ(fieldNames(trailing.fields), std::vector<std::string>{"a"});

  const Outcome overlong = rewrite("x %" + std::string(60, '0') + "d {a}", {std::string("v")});
  EXPECT_EQ(overlong.format, "x ");
  EXPECT_TRUE(overlong.fields.empty());
}

TEST(NamedTemplateOrdinary, APlaceholderWithoutValueAfterNamedOnesEndsTheStep) {
  // The formatter stops there; it must not fill in some other value.
  EXPECT_EQ(rewrite("{a} %s tail", {std::string("v")}).format, "%1 ");
}

TEST(NamedTemplateBareNumbers, ADigitOrDollarAfterABarePlaceholderGetsTheExplicitForm) {
  EXPECT_EQ(rewrite("{n}0 times", {std::int64_t{5}}).format, "%1$lld0 times");
  EXPECT_EQ(rewrite("{n}1", {std::uint64_t{5}}).format, "%1$llu1");
  EXPECT_EQ(rewrite("{p}$", {std::string("9")}).format, "%1$s$");
  EXPECT_EQ(rewrite("{f}2", {2.5}).format, "%1$g2");
  EXPECT_EQ(rewrite("{a}{b?7}", {std::string("x"), std::string()}).format, "%1$s7");
  EXPECT_EQ(rewrite("{a}x1", {std::string("x")}).format, "%1x1");
}

}  // namespace
}  // namespace Quor
