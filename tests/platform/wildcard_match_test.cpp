#include "platform/wildcard_match.h"

#include <string>

#include <gtest/gtest.h>

namespace Quor {
namespace {

const LeadBytes singleByte;

bool matches(std::string_view name, std::string_view pattern) { return wildcardMatch(name, pattern, singleByte); }

TEST(WildcardMatch, IgnoresTheCaseOfLetters) {
  EXPECT_TRUE(matches("Shortcut.lnk", "*.LNK"));
  EXPECT_TRUE(matches("SHORTCUT.LNK", "shortcut.lnk"));
  EXPECT_FALSE(matches("Shortcut.lnk", "*.lnx"));
}

TEST(WildcardMatch, QuestionMarkTakesExactlyOneCharacter) {
  EXPECT_TRUE(matches("a.lnk", "?.lnk"));
  EXPECT_FALSE(matches("ab.lnk", "?.lnk"));
  EXPECT_FALSE(matches(".lnk", "?.lnk"));
  EXPECT_TRUE(matches("?.lnk", "?.lnk"));
}

TEST(WildcardMatch, StarTakesAnyRunTheEmptyRunIncluded) {
  EXPECT_TRUE(matches("ab", "a*b"));
  EXPECT_TRUE(matches("a--b", "a*b"));
  EXPECT_FALSE(matches("a--bc", "a*b"));
  EXPECT_TRUE(matches("", "*"));
  EXPECT_TRUE(matches("anything at all", "*"));
  EXPECT_TRUE(matches(".lnk", "*.lnk"));
}

TEST(WildcardMatch, TheWholeNameMustMatchTheWholePattern) {
  EXPECT_FALSE(matches("a.lnk", "lnk"));
  EXPECT_FALSE(matches("a.lnk", "a"));
  EXPECT_FALSE(matches("a.lnk.bak", "*.lnk"));
  EXPECT_FALSE(matches("a", ""));
  EXPECT_TRUE(matches("", ""));
  EXPECT_FALSE(matches("", "?"));
}

TEST(WildcardMatch, StarBacktracksToLaterPositions) {
  // The first place where the rest could start is not the one that works.
  EXPECT_TRUE(matches("a.lnk.lnk", "*.lnk"));
  EXPECT_TRUE(matches("aab", "*ab"));
  EXPECT_TRUE(matches("abxbc", "a*b*c"));
  EXPECT_TRUE(matches("Tessaryn client alpha (2).lnk", "*client*alpha*.lnk"));
  EXPECT_FALSE(matches("Tessaryn client beta.lnk", "*client*alpha*.lnk"));
}

TEST(WildcardMatch, TrailingStarAcceptsAnyRest) {
  EXPECT_TRUE(matches("Uninstall Tessaryn client alpha.exe", "Uninstall*"));
  EXPECT_TRUE(matches("Uninstall", "Uninstall*"));
  EXPECT_TRUE(matches("Uninstall", "Uninstall***"));
  EXPECT_FALSE(matches("Uninstal", "Uninstall*"));
}

TEST(WildcardMatch, ManyStarsAgainstALongNameEnd) {
  // Retrying every star at every position would take about 2^200 steps here.
  const std::string name(200, 'a');
  EXPECT_FALSE(matches(name, "*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b"));
  EXPECT_TRUE(matches(name + "b", "*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b"));
}

TEST(WildcardMatch, TakesDoubleByteCharactersWhole) {
  const LeadBytes shiftJis = codePageLeadBytes(932);
  ASSERT_TRUE(shiftJis.isLeadByte('\x83')) << "code page 932 is not known to the system";
  // 0x83 0x5C is one character, whose second byte is that of "\".
  const std::string katakana = "\x83\x5C";
  EXPECT_TRUE(wildcardMatch(katakana + ".lnk", "?.lnk", shiftJis));
  EXPECT_FALSE(wildcardMatch(katakana + ".lnk", "??.lnk", shiftJis));
  // 0x83 0x41 and 0x83 0x61 are two different characters; their second bytes
  // only look like "A" and "a".
  EXPECT_FALSE(wildcardMatch("\x83\x61.lnk", "\x83\x41.lnk", shiftJis));
  EXPECT_TRUE(wildcardMatch("\x83\x61.lnk", "\x83\x61.LNK", shiftJis));
  EXPECT_TRUE(wildcardMatch("x" + katakana + "y.lnk", "x*y.lnk", shiftJis));
}

}  // namespace
}  // namespace Quor
