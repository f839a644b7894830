// Tests of the text-level path operations and canonicalLongPath.

#include "plugin/path_utilities.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "plugin/ansi_path_form.h"
#include "plugin/shell_error_codes.h"
#include "shell_test_support.h"

namespace Quor {
namespace {

using QcpTest::ScratchFolder;

std::int64_t codeField(const PluginError& error) {
  const ErrorFieldValue* value = error.fields.find("errorCode_int");
  if (value == nullptr || !std::holds_alternative<std::int64_t>(*value)) return -1;
  return std::get<std::int64_t>(*value);
}

// ---- joinPath ------------------------------------------------------------------

TEST(JoinPath, DocumentedEdgeCases) {
  EXPECT_EQ(joinPath("C:\\a\\b", "..", ".."), "C:/a/b/../..");
  EXPECT_EQ(joinPath("C:/x", "D:\\y"), "D:/y");
  EXPECT_EQ(joinPath("C:\\Windows\\system32", "cmd.exe"), "C:/Windows/system32/cmd.exe");
}

TEST(JoinPath, UninstallerPattern) {
  const std::string base = joinPath("C:\\Games\\T\\a\\b\\c\\d\\e\\f", "../../../../../../");
  EXPECT_EQ(base, "C:/Games/T/a/b/c/d/e/f/../../../../../../");
  EXPECT_EQ(joinPath(base, "Uninstall Tessaryn client alpha*.*"),
            "C:/Games/T/a/b/c/d/e/f/../../../../../../Uninstall Tessaryn client alpha*.*");
}

TEST(JoinPath, SkipsAbsentAndEmptyParts) {
  EXPECT_EQ(joinPath("a", "", "b", nullptr, "c"), "a/b/c");
  EXPECT_EQ(joinPath("", "a"), "a");
  EXPECT_EQ(joinPath(nullptr, nullptr), "");
  EXPECT_EQ(joinPath(""), "");
  EXPECT_EQ(joinPath("only"), "only");
}

TEST(JoinPath, NoDoubleSeparator) {
  EXPECT_EQ(joinPath("C:\\a\\", "b"), "C:/a/b");
  EXPECT_EQ(joinPath("C:/a/", "b/", "c"), "C:/a/b/c");
  // A part's own leading separator makes it absolute rather than joined.
  EXPECT_EQ(joinPath("C:/a", "/b"), "/b");
  EXPECT_EQ(joinPath("C:/a", "\\b\\c"), "/b/c");
}

TEST(JoinPath, AbsolutePartsStartAfresh) {
  EXPECT_EQ(joinPath("a", "b", "C:", "d"), "C:/d");
  EXPECT_EQ(joinPath("a", "\\\\server\\share", "x"), "//server/share/x");
  // Only the second character counts: "x:" anywhere else is a plain part.
  EXPECT_EQ(joinPath("a", "bc:d"), "a/bc:d");
  EXPECT_EQ(joinPath("a", "b"), "a/b");
}

TEST(JoinPath, EveryBackslashBecomesSlash) {
  EXPECT_EQ(joinPath("C:\\a\\\\b"), "C:/a//b");
  EXPECT_EQ(joinPath("x", "y\\z\\"), "x/y/z/");
}

TEST(JoinPath, AllEightParts) {
  EXPECT_EQ(joinPath("1", "2", "3", "4", "5", "6", "7", "8"), "1/2/3/4/5/6/7/8");
}

TEST(JoinPath, AcceptsStringsAndViews) {
  const std::string base = "C:\\base";
  const std::string_view name = "file.txt";
  EXPECT_EQ(joinPath(base, name), "C:/base/file.txt");
}

TEST(JoinPath, StopsAtThePartThatDoesNotFit) {
  const std::string long259(259, 'a');
  EXPECT_EQ(joinPath(long259), long259);
  // A 260-character first part does not fit at all.
  EXPECT_EQ(joinPath(std::string(260, 'a')), "");
  // 250 + "/" + 8 = 259 fits exactly.
  const std::string base(250, 'b');
  EXPECT_EQ(joinPath(base, std::string(8, 'c')), base + "/" + std::string(8, 'c'));
  // 250 + "/" + 9 = 260 does not: the separator is written, the part is not,
  // and later parts are not looked at.
  EXPECT_EQ(joinPath(base, std::string(9, 'c'), "d"), base + "/");
  // 259 characters leave no room for a separator; an empty part still fits.
  EXPECT_EQ(joinPath(long259, "", "x"), long259);
}

TEST(JoinPath, SecondByteOfADoubleByteCharacterIsNoSeparator) {
  // Code page 932: "\x95\x5C" is one character whose second byte is 0x5C.
  const std::array<std::string_view, 2> parts{"C:\\\x95\x5C", "x"};
  EXPECT_EQ(detail::joinPathInCodePage(932, parts), "C:/\x95\x5C/x");
  const std::array<std::string_view, 2> trailing{"C:\\\x95\x5C\\", "x"};
  EXPECT_EQ(detail::joinPathInCodePage(932, trailing), "C:/\x95\x5C/x");
  // In a single-byte code page the same bytes are two characters.
  EXPECT_EQ(detail::joinPathInCodePage(1252, parts), "C:/\x95/x");
}

// ---- isPathWithin --------------------------------------------------------------

TEST(IsPathWithin, DocumentedEdgeCases) {
  EXPECT_TRUE(isPathWithin("C:\\Games\\T\\", "c:\\games\\t\\Client.exe"));
  EXPECT_FALSE(isPathWithin("C:\\Games\\T", "C:\\Games\\T2\\x.exe"));
  EXPECT_TRUE(isPathWithin("C:\\Games\\T", "C:\\Games\\T"));
}

TEST(IsPathWithin, EmptyDirectory) {
  EXPECT_TRUE(isPathWithin("", ""));
  EXPECT_FALSE(isPathWithin("", "C:\\x"));
  EXPECT_FALSE(isPathWithin("C:\\x", ""));
}

TEST(IsPathWithin, SeparatorsAndTrailingSeparator) {
  EXPECT_TRUE(isPathWithin("C:\\Games\\T", "C:\\Games\\T\\"));
  EXPECT_TRUE(isPathWithin("C:\\Games\\T", "C:\\Games\\T/sub/x.exe"));
  EXPECT_TRUE(isPathWithin("C:/Games/T/", "C:/Games/T/x.exe"));
  EXPECT_TRUE(isPathWithin("C:\\Games\\T\\", "C:\\Games\\T"));
  // Only one trailing separator is ignored.
  EXPECT_FALSE(isPathWithin("C:\\Games\\T\\\\", "C:\\Games\\T\\x.exe"));
  // The separators themselves are compared as written.
  EXPECT_FALSE(isPathWithin("C:\\Games\\T", "C:/Games/T/x.exe"));
}

TEST(IsPathWithin, PrefixesThatAreNotFolders) {
  EXPECT_FALSE(isPathWithin("C:\\Games\\T", "C:\\Games\\Tx"));
  EXPECT_FALSE(isPathWithin("C:\\Games\\T", "C:\\Games\\T.exe"));
  EXPECT_FALSE(isPathWithin("C:\\Games\\T", "C:\\Games"));
  EXPECT_FALSE(isPathWithin("C:\\Games\\T", "D:\\Games\\T\\x.exe"));
}

TEST(IsPathWithin, CaseIgnoredBeyondAscii) {
  // Code page 1252: "\xC4" is "Ä", "\xE4" is "ä".
  EXPECT_TRUE(detail::isPathWithinInCodePage(1252, "C:\\Spiele\\\xC4rger", "c:\\spiele\\\xE4rger\\x.exe"));
  EXPECT_FALSE(detail::isPathWithinInCodePage(1252, "C:\\Spiele\\\xC4rger", "c:\\spiele\\arger\\x.exe"));
}

TEST(IsPathWithin, DoubleByteCharacterEndingIn0x5C) {
  // Code page 932: the directory "C:\<0x95 0x5C>" ends in a character, not in
  // a separator, so nothing is dropped from it.
  EXPECT_TRUE(detail::isPathWithinInCodePage(932, "C:\\\x95\x5C", "C:\\\x95\x5C\\x.exe"));
  EXPECT_FALSE(detail::isPathWithinInCodePage(932, "C:\\\x95\x5C", "C:\\\x95\x5Cx.exe"));
}

// ---- fileNamePart --------------------------------------------------------------

TEST(FileNamePart, DocumentedEdgeCases) {
  EXPECT_EQ(fileNamePart("C:/Users/Public/Desktop/x.lnk"), "x.lnk");
  EXPECT_EQ(fileNamePart("C:x.lnk"), "x.lnk");
}

TEST(FileNamePart, OtherCases) {
  EXPECT_EQ(fileNamePart("C:\\Games\\T\\Tessaryn.exe"), "Tessaryn.exe");
  EXPECT_EQ(fileNamePart("C:\\Games/T\\x"), "x");
  EXPECT_EQ(fileNamePart("plain.exe"), "plain.exe");
  EXPECT_EQ(fileNamePart(""), "");
  EXPECT_EQ(fileNamePart("C:\\Games\\"), "");
  EXPECT_EQ(fileNamePart("C:"), "");
  EXPECT_EQ(fileNamePart("\\\\server\\share\\a b.lnk"), "a b.lnk");
}

TEST(FileNamePart, DoubleByteCharacterEndingIn0x5C) {
  EXPECT_EQ(detail::fileNamePartInCodePage(932, "C:\\dir\\\x95\x5C.exe"), "\x95\x5C.exe");
  EXPECT_EQ(detail::fileNamePartInCodePage(1252, "C:\\dir\\\x95\x5C.exe"), ".exe");
}

// ---- Paths in full: exact ANSI forms, currentDirectory, executableDirectory --------

TEST(AnsiPathForm, IsExactOrNoneAndMessagesShowWhatIsMissing) {
  const struct {
    unsigned codePage;
    std::wstring_view wide;
    std::optional<std::string> exact;
    std::string forMessage;
  } cases[] = {
      {1252, L"C:\\Games\\Caf\u00E9", "C:\\Games\\Caf\xE9", "C:\\Games\\Caf\xE9"},
      // Best fit would make "?", "Lodz" and "Games" of these.
      {1252, L"C:\\\u0418\u0433\u0440\u044B", std::nullopt, "C:\\<U+0418><U+0433><U+0440><U+044B>"},
      {1252, L"\u0141\u00F3d\u017A", std::nullopt, "<U+0141>\xF3" "d<U+017A>"},
      {1252, L"C:\\\uFF27\uFF41\uFF4D\uFF45\uFF53", std::nullopt, "C:\\<U+FF27><U+FF41><U+FF4D><U+FF45><U+FF53>"},
      // One folder, not two: the full-width reverse solidus is no separator.
      {1252, L"a\uFF3Cb", std::nullopt, "a<U+FF3C>b"},
      {1252, L"x\U0001F600", std::nullopt, "x<U+1F600>"},
      {1251, L"C:\\\u0418\u0433\u0440\u044B", "C:\\\xC8\xE3\xF0\xFB", "C:\\\xC8\xE3\xF0\xFB"},
      // Code page 932 holds the full-width reverse solidus as 0x81 0x5F.
      {932, L"a\uFF3Cb", "a\x81\x5F" "b", "a\x81\x5F" "b"},
  };
  for (const auto& testCase : cases) {
    SCOPED_TRACE(testCase.forMessage);
    EXPECT_EQ(detail::exactFormInCodePage(testCase.codePage, testCase.wide), testCase.exact);
    EXPECT_EQ(detail::formForMessageInCodePage(testCase.codePage, testCase.wide), testCase.forMessage);
  }
}

TEST(NarrowPath, RefusesWhatIsTooLong) {
  const std::wstring longest = L"C:\\" + std::wstring(256, L'x');
  EXPECT_EQ(*narrowPath(longest, "The folder"), "C:\\" + std::string(256, 'x'));
  const Expected<std::string> tooLong = narrowPath(longest + L"y", "The folder");
  ASSERT_FALSE(tooLong);
  EXPECT_EQ(tooLong.error().message, "The folder C:\\" + std::string(256, 'x') + "y is longer than 259 bytes.");
}

TEST(CurrentDirectory, IsReadInFullAndRefusedWhenTheCodePageLacksACharacter) {
  ScratchFolder scratch;
  ASSERT_TRUE(scratch.created());
  wchar_t previous[MAX_PATH] = {};
  ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, previous), 0u);
  const std::wstring base(scratch.path().begin(), scratch.path().end());
  const std::wstring cyrillic = base + L"\\\u0418\u0433\u0440\u044B";
  ASSERT_TRUE(CreateDirectoryW(cyrillic.c_str(), nullptr));
  ASSERT_TRUE(SetCurrentDirectoryW(cyrillic.c_str()));
  const Expected<std::string> refused = currentDirectory();
  ASSERT_TRUE(SetCurrentDirectoryW(base.c_str()));
  const Expected<std::string> plain = currentDirectory();
  SetCurrentDirectoryW(previous);

  ASSERT_FALSE(refused) << *refused;
  EXPECT_EQ(refused.error().message, "Cannot find the installation root: the current directory " + scratch.path() +
                                         "\\<U+0418><U+0433><U+0440><U+044B> has characters that the ANSI code page " +
                                         std::to_string(ansiCodePageNumber()) + " cannot hold.");
  EXPECT_EQ(plain ? *plain : plain.error().message, scratch.path());
}

TEST(ExecutableDirectory, IsTheFolderOfTheTestProgram) {
  char module[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameA(nullptr, module, MAX_PATH), 0u);
  const std::string path = module;
  const Expected<std::string> directory = executableDirectory();
  ASSERT_TRUE(directory) << directory.error().message;
  EXPECT_EQ(*directory, path.substr(0, path.find_last_of('\\') + 1));
}

// ---- canonicalLongPath ---------------------------------------------------------

TEST(CanonicalLongPath, ExistingFolderWithDotSteps) {
  ScratchFolder scratch;
  ASSERT_TRUE(scratch.created());
  ASSERT_TRUE(CreateDirectoryA(scratch.file("Sub Folder").c_str(), nullptr));
  ASSERT_TRUE(QcpTest::writeFile(scratch.file("Sub Folder\\Some Long Name.exe"), "MZ"));

  const Expected<std::string> root = canonicalLongPath(scratch.path());
  ASSERT_TRUE(root) << root.error().message;

  // "/" become "\", "." and ".." steps go.
  std::string messy = scratch.path() + "/Sub Folder/./../Sub Folder/Some Long Name.exe";
  const Expected<std::string> file = canonicalLongPath(messy);
  ASSERT_TRUE(file) << file.error().message;
  EXPECT_EQ(*file, *root + "\\Sub Folder\\Some Long Name.exe");
  EXPECT_TRUE(isPathWithin(*root, *file));
}

TEST(CanonicalLongPath, ExpandsShortNames) {
  ScratchFolder scratch;
  ASSERT_TRUE(scratch.created());
  const std::string longPath = scratch.file("A Rather Long File Name.exe");
  ASSERT_TRUE(QcpTest::writeFile(longPath, "MZ"));
  char shortPath[MAX_PATH] = {};
  ASSERT_GT(GetShortPathNameA(longPath.c_str(), shortPath, MAX_PATH), 0u);
  // Wine makes up 8.3 names for Unix files ("AR~XXXX.EXE" style), Windows
  // has them on disk, unless 8.3 names are turned off for the volume.
  if (std::string(shortPath) == longPath) GTEST_SKIP() << "no 8.3 names on this volume";
  EXPECT_NE(QcpTest::fileExists(shortPath), false);

  const Expected<std::string> fromShort = canonicalLongPath(shortPath);
  const Expected<std::string> fromLong = canonicalLongPath(longPath);
  ASSERT_TRUE(fromShort) << fromShort.error().message;
  ASSERT_TRUE(fromLong) << fromLong.error().message;
  EXPECT_EQ(*fromShort, *fromLong);
  EXPECT_EQ(fileNamePart(*fromShort), "A Rather Long File Name.exe");
}

TEST(CanonicalLongPath, MissingFileIsCode62) {
  ScratchFolder scratch;
  ASSERT_TRUE(scratch.created());
  const std::string missing = scratch.path() + "/sub/../Missing.exe";
  const Expected<std::string> result = canonicalLongPath(missing);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().code, 62);
  EXPECT_EQ(result.error().code, ShellErrorCode::longPathName);
  // The message names the canonical path (step 2), not the argument.
  EXPECT_EQ(result.error().message, "Failed to get long path name for " + scratch.path() + "\\Missing.exe");
  EXPECT_EQ(codeField(result.error()), 62);
}

TEST(CanonicalLongPath, MissingDriveIsCode62) {
  const Expected<std::string> result = canonicalLongPath("Q:\\definitely\\not\\here.exe");
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().code, 62);
}

TEST(CanonicalLongPath, EmptyPathIsTheRootOfTheCurrentDrive) {
  // PathCanonicalizeA makes a lone backslash of the empty text, and that path
  // (the root of the current drive) exists. An empty shortcut target (a link
  // to something that is not a file) thus normalizes to it and lies in no
  // installation root. An empty root directory, though, would normalize to it
  // too and then contain every path that begins with a backslash (UNC paths):
  // callers must not pass an empty root.
  const Expected<std::string> result = canonicalLongPath("");
  ASSERT_TRUE(result) << result.error().message;
  EXPECT_EQ(*result, "\\");
  EXPECT_FALSE(isPathWithin("C:\\Games\\T", *result));
  EXPECT_TRUE(isPathWithin(*result, "\\\\server\\share\\Tessaryn.exe"));
}

TEST(CanonicalLongPath, TooLongIsCode61) {
  const std::string tooLong = "C:/" + std::string(300, 'x');
  const Expected<std::string> result = canonicalLongPath(tooLong);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().code, 61);
  // The message names the copy with "\" separators.
  EXPECT_EQ(result.error().message, "Failed to canonicalize C:\\" + std::string(300, 'x'));
  EXPECT_EQ(codeField(result.error()), 61);
}

}  // namespace
}  // namespace Quor
