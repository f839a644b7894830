#include "platform/search_path.h"

#include <string>

#include <gtest/gtest.h>

namespace Quor {
namespace {

const LeadBytes singleByte;

std::string normalize(std::string_view path, TrailingSeparator trailing = TrailingSeparator::Keep) {
  return normalizeSearchPath(path, trailing, singleByte);
}

LeadBytes shiftJis() {
  LeadBytes leadBytes = codePageLeadBytes(932);
  EXPECT_TRUE(leadBytes.isLeadByte('\x83')) << "code page 932 is not known to the system";
  return leadBytes;
}

TEST(NormalizeSearchPath, TurnsBothSeparatorsIntoSlashAndCollapsesRuns) {
  EXPECT_EQ(normalize("C:\\Users\\Public//Desktop"), "C:/Users/Public/Desktop");
  EXPECT_EQ(normalize("C:\\\\a//\\b\\/c"), "C:/a/b/c");
  EXPECT_EQ(normalize("relative\\sub"), "relative/sub");
  EXPECT_EQ(normalize(""), "");
}

TEST(NormalizeSearchPath, KeepsTheLeadingDoubleSeparatorOfANetworkPath) {
  EXPECT_EQ(normalize("\\\\server\\share\\x"), "//server/share/x");
  EXPECT_EQ(normalize("/\\server"), "//server");
  EXPECT_EQ(normalize("///x"), "//x");
  EXPECT_EQ(normalize("a//x"), "a/x");
}

TEST(NormalizeSearchPath, RemovesOneTrailingSeparatorOnlyOnRequest) {
  EXPECT_EQ(normalize("C:/a/"), "C:/a/");
  EXPECT_EQ(normalize("C:/a/", TrailingSeparator::Remove), "C:/a");
  EXPECT_EQ(normalize("C:\\a\\\\", TrailingSeparator::Remove), "C:/a");
  EXPECT_EQ(normalize("C:/a", TrailingSeparator::Remove), "C:/a");
}

TEST(NormalizeSearchPath, NeverTurnsTheRootIntoTheCurrentFolder) {
  // The empty text would be the current folder, another place altogether.
  EXPECT_EQ(normalize("/", TrailingSeparator::Remove), "/");
  EXPECT_EQ(normalize("\\\\", TrailingSeparator::Remove), "//");
}

TEST(NormalizeSearchPath, LeavesTheSecondByteOfADoubleByteCharacterAlone) {
  const LeadBytes leadBytes = shiftJis();
  // "C:\ソ\x": the 0x5C inside 0x83 0x5C is not a separator.
  EXPECT_EQ(normalizeSearchPath("C:\\\x83\x5C\\x", TrailingSeparator::Keep, leadBytes), "C:/\x83\x5C/x");
  EXPECT_EQ(normalizeSearchPath("C:\\\x83\x5C", TrailingSeparator::Remove, leadBytes), "C:/\x83\x5C");
  // In a single-byte code page the same bytes are a character and a "\".
  EXPECT_EQ(normalizeSearchPath("C:\\\x83\x5C", TrailingSeparator::Remove, singleByte), "C:/\x83");
}

TEST(IsRefusedSearchPath, RefusesPathsUnderAssetsInAnyCase) {
  EXPECT_TRUE(isRefusedSearchPath("assets/x.lnk"));
  EXPECT_TRUE(isRefusedSearchPath("ASSETS/"));
  EXPECT_TRUE(isRefusedSearchPath("Assets/sub/*"));
  EXPECT_FALSE(isRefusedSearchPath("assets"));
  EXPECT_FALSE(isRefusedSearchPath("assetsX/y"));
  EXPECT_FALSE(isRefusedSearchPath("C:/game/assets/*"));
}

TEST(IsRefusedSearchPath, RefusesWhatTheSystemWouldReadAsAnotherPath) {
  EXPECT_TRUE(isRefusedSearchPath(""));
  EXPECT_TRUE(isRefusedSearchPath(std::string_view("C:/T\0/../*", 10)));
  EXPECT_FALSE(isRefusedSearchPath("C:/" + std::string(maxSearchPathLength - 3, 'a')));
  EXPECT_TRUE(isRefusedSearchPath("C:/" + std::string(maxSearchPathLength - 2, 'a')));
}

TEST(SplitSearchPath, CutsAtTheLastSeparator) {
  const SearchPathParts parts = splitSearchPath("C:/T/Uninstall Tessaryn client alpha*.*", singleByte);
  EXPECT_EQ(parts.folder, "C:/T");
  EXPECT_EQ(parts.pattern, "Uninstall Tessaryn client alpha*.*");
  EXPECT_FALSE(parts.driveRelative);

  const SearchPathParts network = splitSearchPath("//server/share/*", singleByte);
  EXPECT_EQ(network.folder, "//server/share");
  EXPECT_EQ(network.pattern, "*");
}

TEST(SplitSearchPath, WithoutAFolderSearchesTheCurrentOne) {
  const SearchPathParts parts = splitSearchPath("*.lnk", singleByte);
  EXPECT_EQ(parts.folder, "");
  EXPECT_EQ(parts.pattern, "*.lnk");
  EXPECT_FALSE(parts.driveRelative);

  const SearchPathParts onDrive = splitSearchPath("C:*.lnk", singleByte);
  EXPECT_EQ(onDrive.folder, "C:");
  EXPECT_EQ(onDrive.pattern, "*.lnk");
  EXPECT_TRUE(onDrive.driveRelative);
}

TEST(SplitSearchPath, KeepsTheRootAsTheFolder) {
  EXPECT_EQ(splitSearchPath("/*", singleByte).folder, "/");
  EXPECT_EQ(splitSearchPath("C:/*", singleByte).folder, "C:");
}

TEST(AppendPathPart, PutsOneSlashBetween) {
  EXPECT_EQ(appendPathPart("C:/a", "b", singleByte), "C:/a/b");
  EXPECT_EQ(appendPathPart("C:/a/", "b", singleByte), "C:/a/b");
  EXPECT_EQ(appendPathPart("C:\\a\\", "b\\c", singleByte), "C:\\a\\b/c");
  EXPECT_EQ(appendPathPart("", "b", singleByte), "b");
  EXPECT_EQ(appendPathPart("C:/a", "", singleByte), "C:/a");
  EXPECT_EQ(appendPathPart("C:", "*", singleByte), "C:/*");
}

TEST(AppendPathPart, RefusesAPathThatDoesNotFit) {
  const std::string base = "C:/" + std::string(maxSearchPathLength - 5, 'a');
  ASSERT_EQ(base.size(), maxSearchPathLength - 2);
  EXPECT_EQ(appendPathPart(base, "b", singleByte), base + "/b");
  EXPECT_EQ(appendPathPart(base, "bc", singleByte), std::nullopt);
  EXPECT_EQ(appendPathPart(base, "*", singleByte)->size(), maxSearchPathLength);
}

TEST(AppendPathPart, SeesNoSeparatorInsideADoubleByteCharacter) {
  const LeadBytes leadBytes = shiftJis();
  EXPECT_EQ(appendPathPart("C:/\x83\x5C", "x", leadBytes), "C:/\x83\x5C/x");
  EXPECT_EQ(appendPathPart("C:/", "\x83\x5C", leadBytes), "C:/\x83\x5C");
}

TEST(IsListableEntryName, RefusesDotEntriesAndNamesThatWouldChangeThePath) {
  EXPECT_FALSE(isListableEntryName("", singleByte));
  EXPECT_FALSE(isListableEntryName(".", singleByte));
  EXPECT_FALSE(isListableEntryName("..", singleByte));
  for (const char* name : {"a/b", "a\\b", "C:x", "a*", "a?", "a<b", "a>b", "a|b", "a\"b", "a\tb"}) {
    EXPECT_FALSE(isListableEntryName(name, singleByte)) << name;
  }
  EXPECT_TRUE(isListableEntryName("...", singleByte));
  EXPECT_TRUE(isListableEntryName(".hidden", singleByte));
  EXPECT_TRUE(isListableEntryName("Tessaryn client alpha (2).lnk", singleByte));
}

TEST(IsListableEntryName, AcceptsDoubleByteNamesWhoseSecondByteLooksLikeASeparator) {
  const LeadBytes leadBytes = shiftJis();
  // 0x83 0x5C and 0x83 0x7C: second bytes "\" and "|".
  EXPECT_TRUE(isListableEntryName("\x83\x5C.lnk", leadBytes));
  EXPECT_TRUE(isListableEntryName("\x83\x7C", leadBytes));
  EXPECT_FALSE(isListableEntryName("\x83\x5C\\x", leadBytes));
}

}  // namespace
}  // namespace Quor
