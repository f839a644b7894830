#include "logging/log_categories.h"
#include "logging/log_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace Quor {
namespace {

constexpr std::uint64_t bit(unsigned n) {
  return std::uint64_t{1} << n;
}

// A three-letter name for number n (AAA, AAB, ...), none of them in the
// start-up set.
std::string generatedName(unsigned n) {
  return {static_cast<char>('Q' + n / 26 / 26 % 26), static_cast<char>('A' + n / 26 % 26),
          static_cast<char>('A' + n % 26)};
}

TEST(LogCategoryTable, StartsWithTheNineStartUpCategories) {
  LogCategoryTable table;
  EXPECT_EQ(table.inUse(), 9u);
  const char* names[] = {"DBG", "GEN", "XTR", "PRF", "MEM", "DSK", "NET", "TST", "LOC"};
  for (unsigned i = 0; i < 9; ++i) {
    EXPECT_STREQ(table.name(i), names[i]);
    EXPECT_EQ(table.fromName(names[i]), bit(i)) << names[i];
  }
  EXPECT_STREQ(table.name(9), "???");
  EXPECT_STREQ(table.name(63), "???");
  EXPECT_STREQ(table.name(64), "???");
  EXPECT_EQ(table.inUse(), 9u);
}

TEST(LogCategoryTable, NewNameTakesTheNextBitOnce) {
  LogCategoryTable table;
  EXPECT_EQ(table.fromName("UIX"), bit(9));
  EXPECT_EQ(table.fromName("UIX"), bit(9));
  EXPECT_EQ(table.fromName("AUD"), bit(10));
  EXPECT_STREQ(table.name(9), "UIX");
  EXPECT_EQ(table.inUse(), 11u);
}

TEST(LogCategoryTable, OnlyTheFirstThreeCharactersCount) {
  LogCategoryTable table;
  EXPECT_EQ(table.fromName("LOCAL"), LogCategory::Loc);
  EXPECT_EQ(table.fromName("DBGX"), bit(0));
  EXPECT_EQ(table.fromName("NETWORK"), bit(6));
  // Shorter names are names of their own.
  EXPECT_EQ(table.fromName("LO"), bit(9));
  EXPECT_EQ(table.fromName("L"), bit(10));
  EXPECT_STREQ(table.name(9), "LO");
  EXPECT_EQ(table.fromName("LOC"), bit(8));
}

TEST(LogCategoryTable, NoNameIsNoCategory) {
  LogCategoryTable table;
  EXPECT_EQ(table.fromName(nullptr), 0u);
  EXPECT_EQ(table.fromName(""), 0u);
  EXPECT_EQ(table.inUse(), 9u);
}

TEST(LogCategoryTable, PastSixtyFourNamesNewNamesGetNoCategory) {
  LogCategoryTable table;
  for (unsigned n = 9; n < 64; ++n) {
    ASSERT_EQ(table.fromName(generatedName(n).c_str()), bit(n)) << n;
  }
  EXPECT_EQ(table.inUse(), 64u);
  EXPECT_STREQ(table.name(63), generatedName(63).c_str());
  EXPECT_EQ(table.fromName("ZZZ"), 0u);
  EXPECT_EQ(table.fromName("YYY"), 0u);
  EXPECT_EQ(table.inUse(), 64u);
  // Names already in the table are still found.
  EXPECT_EQ(table.fromName(generatedName(63).c_str()), bit(63));
  EXPECT_EQ(table.fromName("DBG"), bit(0));
  // Nothing of the refused names was stored anywhere.
  char names[kCategoryCount * 4];
  table.names(names, sizeof names, ~std::uint64_t{0});
  EXPECT_EQ(std::strstr(names, "ZZZ"), nullptr);
  EXPECT_EQ(std::strlen(names), 64u * 4 - 1);
}

TEST(LogCategoryTable, NamesOfAMask) {
  LogCategoryTable table;
  char buffer[64];
  EXPECT_EQ(table.names(buffer, sizeof buffer, 3), 7u);
  EXPECT_STREQ(buffer, "DBG;GEN");
  table.names(buffer, sizeof buffer, 0);
  EXPECT_STREQ(buffer, "");
  table.names(buffer, sizeof buffer, bit(8) | bit(2) | bit(40));
  EXPECT_STREQ(buffer, "XTR;LOC;???");
}

TEST(LogCategoryTable, NamesAreCutToTheBuffer) {
  LogCategoryTable table;
  char storage[16];
  std::memset(storage, 'Z', sizeof storage);
  EXPECT_EQ(table.names(storage, 6, 3), 5u);
  EXPECT_STREQ(storage, "DBG;G");
  for (std::size_t i = 6; i < sizeof storage; ++i) {
    EXPECT_EQ(storage[i], 'Z');
  }
  EXPECT_EQ(table.names(storage, 1, 3), 0u);
  EXPECT_STREQ(storage, "");
  EXPECT_EQ(table.names(storage, 0, 3), 0u);
}

TEST(LogCategoryTable, ThreadsRegisteringTheSameNamesShareBits) {
  LogCategoryTable table;
  constexpr unsigned kNames = 20;
  std::vector<std::vector<std::uint64_t>> seen(4, std::vector<std::uint64_t>(kNames));
  std::vector<std::thread> threads;
  for (unsigned t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (unsigned n = 0; n < kNames; ++n) {
        seen[t][n] = table.fromName(generatedName(n).c_str());
      }
    });
  }
  for (auto& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(table.inUse(), 9u + kNames);
  for (unsigned t = 1; t < 4; ++t) {
    EXPECT_EQ(seen[t], seen[0]);
  }
}

TEST(ProcessCategories, LocHoldsBitEightFromStartUp) {
  EXPECT_EQ(categoryFromName("LOC"), bit(8));
  EXPECT_EQ(categoryFromName("LOCALIZATION"), bit(8));
  EXPECT_EQ(categoryFromName("DBG"), LogCategory::Dbg);
  EXPECT_STREQ(categoryName(1), "GEN");
  char buffer[16];
  categoryNames(buffer, sizeof buffer, LogCategory::Dbg | LogCategory::Gen);
  EXPECT_STREQ(buffer, "DBG;GEN");
}

}  // namespace
}  // namespace Quor
