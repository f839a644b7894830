// Aliases of long texts, in a program of its own so that CTest can stop it
// early should a reading take far longer than it should.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "formats/yaml_reader.h"

namespace Quor {
namespace {

std::string repeat(std::size_t count, const std::string& part) {
  std::string text;
  text.reserve(count * part.size());
  for (std::size_t index = 0; index < count; ++index) text += part;
  return text;
}

// Each alias below copies one text of 1 MiB: the budget holds 64 of them.
TEST(YamlAliasText, CopiesOfLongTextsFailPastTheBudget) {
  const std::string mebibyte(1 << 20, 'x');
  const std::size_t fitting = maxYamlAliasText / mebibyte.size();
  const std::string message = "YAML aliases copy more than " + std::to_string(maxYamlAliasText) + " bytes of text.";
  struct Shape {
    const char* what;
    std::string (*text)(const std::string& anchored, std::size_t aliases);
    std::string (*position)(std::size_t alias);  // of the alias numbered from 1
  };
  const Shape shapes[] = {
      {"a string used as a key",
       [](const std::string& anchored, std::size_t aliases) {
         return "a: &a " + anchored + "\nm:\n" + repeat(aliases, "  *a : 1\n");
       },
       [](std::size_t alias) { return "Alias \"a\". At line: " + std::to_string(2 + alias) + " col: 3"; }},
      {"a list holding a string",
       [](const std::string& anchored, std::size_t aliases) {
         return "a: &a [" + anchored + "]\nc: [" + repeat(aliases - 1, "*a, ") + "*a]";
       },
       [](std::size_t alias) { return "Alias \"a\". At line: 2 col: " + std::to_string(1 + 4 * alias); }},
      {"an anchored key",
       [](const std::string& anchored, std::size_t aliases) {
         // Explicit: a plain key may not be longer than 1024 characters.
         return "? &a " + anchored + "\n: 1\nc: [" + repeat(aliases - 1, "*a, ") + "*a]";
       },
       [](std::size_t alias) { return "Alias \"a\". At line: 3 col: " + std::to_string(1 + 4 * alias); }},
  };
  for (const Shape& shape : shapes) {
    const ValueResult atBudget = parseYaml(shape.text(mebibyte, fitting));
    EXPECT_TRUE(atBudget.ok()) << shape.what << ": " << atBudget.error();
    const ValueResult past = parseYaml(shape.text(mebibyte, 2000));
    EXPECT_FALSE(past.ok()) << shape.what;
    EXPECT_EQ(past.error(), message + " " + shape.position(fitting + 1)) << shape.what;
  }
}

// Smaller documents get a smaller budget: 64 bytes of copies per byte read,
// at least 1 MiB.
TEST(YamlAliasText, TheBudgetGrowsWithTheDocument) {
  for (const std::size_t anchoredLength : {std::size_t{1000}, std::size_t{100 * 1024}}) {
    const std::string text = "a: &a [" + std::string(anchoredLength, 'x') + "]\nc: [" + repeat(1999, "*a, ") + "*a]";
    const std::size_t budget = std::clamp<std::size_t>(64 * text.size(), 1 << 20, 64 << 20);
    const std::size_t fitting = budget / anchoredLength;
    ASSERT_LT(fitting, 2000u) << anchoredLength;
    const ValueResult result = parseYaml(text);
    EXPECT_EQ(result.error(), "YAML aliases copy more than " + std::to_string(budget) +
                                  " bytes of text. Alias \"a\". At line: 2 col: " + std::to_string(1 + 4 * (fitting + 1)))
        << anchoredLength;
  }
}

}  // namespace
}  // namespace Quor
