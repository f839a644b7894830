// Runs every file of the public JSON parsing test suite through parseJson:
// y_ files must be read, n_ files must fail with a proper message, i_ files
// may go either way; none may crash or hang.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "formats/json_reader.h"
#include "formats/value_text_writer.h"

namespace Quor {
namespace {

const std::filesystem::path suiteFolder = std::filesystem::path(QCP_SHARED_DIR) / "testdata" / "json-test-suite";

// n_ files that the reader's own rules accept, with the value they give.
const std::map<std::string, std::string> acceptedByTheReadersRules = {
    // Empty text is an empty value, not an error.
    {"n_structure_no_data.json", "null"},
    // Whitespace-only text is an empty value too.
    {"n_single_space.json", "null"},
    // The text ends at its first NUL, so "123" followed by a NUL is 123.
    {"n_multidigit_number_then_00.json", "u:123"},
};

struct SuiteFile {
  std::string name;
  std::string content;
};

std::vector<SuiteFile> suiteFiles(char kind) {
  std::vector<SuiteFile> files;
  for (const auto& entry : std::filesystem::directory_iterator(suiteFolder)) {
    const std::string name = entry.path().filename().string();
    if (name.size() < 2 || name[0] != kind || name[1] != '_' || entry.path().extension() != ".json") continue;
    std::ifstream stream(entry.path(), std::ios::binary);
    files.push_back({name, std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>())});
  }
  std::sort(files.begin(), files.end(), [](const SuiteFile& a, const SuiteFile& b) { return a.name < b.name; });
  return files;
}

// "Error: <text> at offset <digits>."
bool isParseErrorMessage(std::string_view message) {
  const std::string_view prefix = "Error: ";
  const std::string_view marker = " at offset ";
  if (message.substr(0, prefix.size()) != prefix || message.size() < prefix.size() + marker.size() + 3) return false;
  if (message.back() != '.') return false;
  const std::size_t at = message.rfind(marker);
  if (at == std::string_view::npos || at <= prefix.size()) return false;
  const std::string_view digits = message.substr(at + marker.size(), message.size() - 1 - at - marker.size());
  return !digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

TEST(JsonConformance, SuiteIsPresent) {
  ASSERT_TRUE(std::filesystem::is_directory(suiteFolder)) << suiteFolder.string();
  EXPECT_GT(suiteFiles('y').size(), 90u);
  EXPECT_GT(suiteFiles('n').size(), 180u);
  EXPECT_GT(suiteFiles('i').size(), 30u);
}

TEST(JsonConformance, EveryYFileIsRead) {
  for (const SuiteFile& file : suiteFiles('y')) {
    const ValueResult result = parseJson(file.content.c_str());
    EXPECT_TRUE(result.ok()) << file.name << ": " << result.error();
  }
}

TEST(JsonConformance, EveryNFileFailsWithAnOffsetMessage) {
  std::size_t accepted = 0;
  for (const SuiteFile& file : suiteFiles('n')) {
    const ValueResult result = parseJson(file.content.c_str());
    const auto exception = acceptedByTheReadersRules.find(file.name);
    if (exception != acceptedByTheReadersRules.end()) {
      ++accepted;
      EXPECT_TRUE(result.ok()) << file.name << ": " << result.error();
      EXPECT_EQ(valueToText(result.value(), ValueTextStyle::Typed), exception->second) << file.name;
      continue;
    }
    EXPECT_FALSE(result.ok()) << file.name << " was read as " << valueToText(result.value(), ValueTextStyle::Typed);
    EXPECT_TRUE(isParseErrorMessage(result.error())) << file.name << ": " << result.error();
  }
  EXPECT_EQ(accepted, acceptedByTheReadersRules.size());
}

TEST(JsonConformance, EveryIFileEitherReadsOrFailsWithAnOffsetMessage) {
  for (const SuiteFile& file : suiteFiles('i')) {
    const ValueResult result = parseJson(file.content.c_str());
    if (!result.ok()) {
      EXPECT_TRUE(isParseErrorMessage(result.error())) << file.name << ": " << result.error();
    }
  }
}

}  // namespace
}  // namespace Quor
