// Tests of readShortcut and writeShortcut, with the shell's own
// IShellLinkA and the .lnk header as independent readers. The lnkinfo check
// (lnkinfo_check.sh, CTest test <label>.plugin_lnkinfo) runs the
// ShellLinkExport case below and reads its files with Debian's lnkinfo.

#include "plugin/shell_link.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <variant>

#include "plugin/path_utilities.h"
#include "plugin/shell_error_codes.h"
#include "shell_test_support.h"

namespace Quor {
namespace {

using QcpTest::ComApartment;
using QcpTest::LinkHeader;
using QcpTest::ScratchFolder;

std::int64_t codeField(const PluginError& error) {
  const ErrorFieldValue* value = error.fields.find("errorCode_int");
  if (value == nullptr || !std::holds_alternative<std::int64_t>(*value)) return -1;
  return std::get<std::int64_t>(*value);
}

class ShellLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(apartment_.result()));
    ASSERT_TRUE(scratch_.created());
    const Expected<std::string> root = canonicalLongPath(scratch_.path());
    ASSERT_TRUE(root) << root.error().message;
    root_ = *root;
    ASSERT_TRUE(CreateDirectoryA((root_ + "\\Game Root").c_str(), nullptr));
    legacy_ = root_ + "\\Game Root\\Tessaryn.exe";
    client_ = root_ + "\\Game Root\\TessarynClient.exe";
    ASSERT_TRUE(QcpTest::writeFile(legacy_, "MZ"));
    ASSERT_TRUE(QcpTest::writeFile(client_, "MZ"));
  }

  ComApartment apartment_;
  ScratchFolder scratch_;
  std::string root_;
  std::string legacy_;
  std::string client_;
};

TEST_F(ShellLinkTest, WriteThenReadRoundTrip) {
  const std::string link = root_ + "\\Tessaryn.lnk";
  const ShortcutInfo written{client_, root_ + "\\Game Root", client_};
  const Expected<void> saved = writeShortcut(link, written);
  ASSERT_TRUE(saved) << saved.error().message;

  const Expected<ShortcutInfo> read = readShortcut(link);
  ASSERT_TRUE(read) << read.error().message;
  // The target may come back in its 8.3 form (SLGP_SHORTPATH): compare it
  // through canonicalLongPath, as the migration does.
  const Expected<std::string> target = canonicalLongPath(read->target);
  ASSERT_TRUE(target) << target.error().message << " (read " << read->target << ")";
  EXPECT_EQ(*target, client_);
  EXPECT_TRUE(read->targetIsExact);
  EXPECT_EQ(read->workingDirectory, root_ + "\\Game Root");
  EXPECT_EQ(read->iconPath, client_);

  const QcpTest::ShellView shell = QcpTest::readWithShell(link);
  ASSERT_TRUE(SUCCEEDED(shell.result));
  EXPECT_EQ(shell.iconIndex, 0);
  EXPECT_EQ(shell.arguments, "");
}

TEST_F(ShellLinkTest, ReadDoesNotChangeTheFile) {
  const std::string link = root_ + "\\Legacy.lnk";
  ASSERT_EQ(QcpTest::writeLegacyShortcut(link, legacy_, "--from-kxu -x", root_, legacy_, 2, "Play"), S_OK);
  const std::string before = QcpTest::readFile(link);
  const Expected<ShortcutInfo> read = readShortcut(link);
  ASSERT_TRUE(read) << read.error().message;
  EXPECT_EQ(*canonicalLongPath(read->target), legacy_);
  EXPECT_EQ(read->workingDirectory, root_);
  EXPECT_EQ(read->iconPath, legacy_);
  EXPECT_EQ(QcpTest::readFile(link), before);
}

TEST_F(ShellLinkTest, WriteOverShortcutWithArgumentsDropsThem) {
  const std::string link = root_ + "\\Tessaryn.lnk";
  ASSERT_EQ(QcpTest::writeLegacyShortcut(link, legacy_, "--from-kxu --no-zamp", root_ + "\\Game Root", legacy_, 3,
                                         "Old launcher"),
            S_OK);
  const LinkHeader before = QcpTest::readLinkHeader(link);
  ASSERT_TRUE(before.valid);
  // The header check below can see arguments and a description.
  ASSERT_NE(before.linkFlags & LinkHeader::hasArguments, 0u);
  ASSERT_NE(before.linkFlags & LinkHeader::hasName, 0u);
  ASSERT_EQ(QcpTest::readWithShell(link).arguments, "--from-kxu --no-zamp");

  const Expected<void> saved = writeShortcut(link, {client_, root_ + "\\Game Root", client_});
  ASSERT_TRUE(saved) << saved.error().message;

  // The header: no arguments, no description, working directory and icon
  // present, icon index 0, default show command, no hot key.
  const LinkHeader after = QcpTest::readLinkHeader(link);
  ASSERT_TRUE(after.valid);
  EXPECT_EQ(after.linkFlags & LinkHeader::hasArguments, 0u);
  EXPECT_EQ(after.linkFlags & LinkHeader::hasName, 0u);
  EXPECT_NE(after.linkFlags & LinkHeader::hasWorkingDir, 0u);
  EXPECT_NE(after.linkFlags & LinkHeader::hasIconLocation, 0u);
  EXPECT_EQ(after.iconIndex, 0);
  EXPECT_EQ(after.showCommand, static_cast<std::uint32_t>(SW_SHOWNORMAL));
  EXPECT_EQ(after.hotKey, 0);

  // The shell's reader agrees.
  const QcpTest::ShellView shell = QcpTest::readWithShell(link);
  ASSERT_TRUE(SUCCEEDED(shell.result));
  EXPECT_EQ(shell.arguments, "");
  EXPECT_EQ(shell.description, "");
  EXPECT_EQ(shell.hotKey, 0);
  EXPECT_EQ(shell.showCommand, SW_SHOWNORMAL);
  EXPECT_EQ(shell.iconIndex, 0);
  EXPECT_EQ(shell.iconPath, client_);
  EXPECT_EQ(shell.workingDirectory, root_ + "\\Game Root");
  EXPECT_EQ(*canonicalLongPath(shell.target), client_);

  // And ours.
  const Expected<ShortcutInfo> read = readShortcut(link);
  ASSERT_TRUE(read) << read.error().message;
  EXPECT_EQ(*canonicalLongPath(read->target), client_);
  EXPECT_EQ(read->workingDirectory, root_ + "\\Game Root");
  EXPECT_EQ(read->iconPath, client_);
}

TEST_F(ShellLinkTest, ShortFormTargetComparesThroughCanonicalLongPath) {
  char shortTarget[MAX_PATH] = {};
  ASSERT_GT(GetShortPathNameA(legacy_.c_str(), shortTarget, MAX_PATH), 0u);
  const std::string link = root_ + "\\Short.lnk";
  const Expected<void> saved = writeShortcut(link, {shortTarget, root_, shortTarget});
  ASSERT_TRUE(saved) << saved.error().message;

  const Expected<ShortcutInfo> read = readShortcut(link);
  ASSERT_TRUE(read) << read.error().message;
  // Windows answers SLGP_SHORTPATH with the 8.3 form; Wine 8 gives back the
  // path as it was set. Either way canonicalLongPath gives the long form.
  RecordProperty("short_target", shortTarget);
  RecordProperty("read_target", read->target);
  const Expected<std::string> target = canonicalLongPath(read->target);
  ASSERT_TRUE(target) << target.error().message;
  EXPECT_EQ(*target, legacy_);
  EXPECT_EQ(fileNamePart(*target), "Tessaryn.exe");
  EXPECT_TRUE(isPathWithin(root_ + "\\Game Root", *target));
  // Without normalization the short form would not compare.
  if (std::string(shortTarget) != legacy_) {
    EXPECT_FALSE(isPathWithin(root_ + "\\Game Root", shortTarget));
  }
}

TEST_F(ShellLinkTest, LongTargetReadsBackCanonically) {
  const std::string link = root_ + "\\Long.lnk";
  ASSERT_TRUE(writeShortcut(link, {legacy_, root_, legacy_}));
  const Expected<ShortcutInfo> read = readShortcut(link);
  ASSERT_TRUE(read) << read.error().message;
  RecordProperty("read_target", read->target);
  EXPECT_EQ(*canonicalLongPath(read->target), legacy_);
}

// Through IShellLinkA the shell maps what the code page lacks to a look-alike:
// the target in "Ｇａｍｅｓ" would read as one in "Games", another folder.
TEST_F(ShellLinkTest, TextsAreReadInFullAndShownAsFarAsTheCodePageCanWhenNotExact) {
  const std::wstring twin = QcpTest::widened(root_) + L"\\\uFF27\uFF41\uFF4D\uFF45\uFF53";
  ASSERT_TRUE(CreateDirectoryW(twin.c_str(), nullptr));
  ASSERT_TRUE(QcpTest::createEmptyFile(twin + L"\\Tessaryn.exe"));
  const std::string link = root_ + "\\Twin.lnk";
  ASSERT_TRUE(QcpTest::writeFile(link, QcpTest::linkFileBytes({L".\\\uFF27\uFF41\uFF4D\uFF45\uFF53\\Tessaryn.exe",
                                                               twin, L"--from-kxu \uFF27", twin + L"\\Tessaryn.exe"})));
  ASSERT_EQ(QcpTest::readWithShell(link).target, root_ + "\\Games\\Tessaryn.exe");

  const Expected<ShortcutInfo> read = readShortcut(link);
  ASSERT_TRUE(read) << read.error().message;
  const std::string shown = root_ + "\\<U+FF27><U+FF41><U+FF4D><U+FF45><U+FF53>";
  EXPECT_EQ(read->target, shown + "\\Tessaryn.exe");
  EXPECT_FALSE(read->targetIsExact);
  EXPECT_EQ(read->workingDirectory, shown);
  EXPECT_EQ(read->iconPath, shown + "\\Tessaryn.exe");
  EXPECT_EQ(read->arguments, "--from-kxu <U+FF27>");
}

TEST_F(ShellLinkTest, SlashSeparatedLinkPath) {
  // The directory walk hands over paths joined with "/".
  const std::string link = joinPath(root_, "Slashes.lnk");
  ASSERT_NE(link.find('/'), std::string::npos);
  const Expected<void> saved = writeShortcut(link, {client_, root_, client_});
  ASSERT_TRUE(saved) << saved.error().message;
  EXPECT_TRUE(QcpTest::fileExists(root_ + "\\Slashes.lnk"));
  const Expected<ShortcutInfo> read = readShortcut(link);
  ASSERT_TRUE(read) << read.error().message;
  EXPECT_EQ(*canonicalLongPath(read->target), client_);
}

TEST_F(ShellLinkTest, TargetThatDoesNotExistIsWritten) {
  const std::string link = root_ + "\\Dangling.lnk";
  const std::string missing = root_ + "\\Game Root\\Gone.exe";
  const Expected<void> saved = writeShortcut(link, {missing, root_, missing});
  ASSERT_TRUE(saved) << saved.error().message;
  const Expected<ShortcutInfo> read = readShortcut(link);
  ASSERT_TRUE(read) << read.error().message;
  EXPECT_EQ(read->target, missing);
  // the shortcut migration skips it: the target cannot be normalized.
  const Expected<std::string> target = canonicalLongPath(read->target);
  ASSERT_FALSE(target);
  EXPECT_EQ(target.error().code, 62);
}

// Reading loads with STGM_READ, so a read-only shortcut always reads; saving
// needs the file opened for writing, so it follows whether this system lets a
// read-only file be opened for writing: Windows refuses, Wine leaves it to the
// Unix permissions, which root passes. A probe asks the system that
// independently first.
TEST_F(ShellLinkTest, ReadOnlyShortcutIsReadAndWrittenExactlyWhenItOpensForWriting) {
  const std::string link = root_ + "\\ReadOnly.lnk";
  ASSERT_EQ(QcpTest::writeLegacyShortcut(link, legacy_, "-x", root_, legacy_, 1, "Old"), S_OK);
  ASSERT_TRUE(SetFileAttributesA(link.c_str(), FILE_ATTRIBUTE_READONLY));
  const std::string before = QcpTest::readFile(link);
  const HANDLE probe = CreateFileA(link.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  const bool writable = probe != INVALID_HANDLE_VALUE;
  if (writable) CloseHandle(probe);
  RecordProperty("read_only_writable", writable ? "yes" : "no");
  ASSERT_EQ(QcpTest::readFile(link), before);

  const Expected<ShortcutInfo> read = readShortcut(link);
  ASSERT_TRUE(read) << read.error().message;
  EXPECT_EQ(*canonicalLongPath(read->target), legacy_);
  const Expected<void> saved = writeShortcut(link, {client_, root_, client_});
  if (writable) {
    ASSERT_TRUE(saved) << saved.error().message;
    EXPECT_EQ(*canonicalLongPath(readShortcut(link)->target), client_);
  } else {
    ASSERT_FALSE(saved);
    EXPECT_EQ(saved.error().code, 48);
    EXPECT_EQ(saved.error().message, "Save failed for " + link);
    EXPECT_EQ(QcpTest::readFile(link), before);
  }
  EXPECT_NE(GetFileAttributesA(link.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
}

TEST_F(ShellLinkTest, GarbageFileIsCode51) {
  const std::string link = root_ + "\\Garbage.lnk";
  std::string bytes;
  for (int index = 0; index < 600; ++index) bytes += static_cast<char>((index * 37 + 11) & 0xFF);
  ASSERT_TRUE(QcpTest::writeFile(link, bytes));
  const Expected<ShortcutInfo> read = readShortcut(link);
  ASSERT_FALSE(read);
  EXPECT_EQ(read.error().code, 51);
  EXPECT_EQ(read.error().code, ShellErrorCode::readLoad);
  EXPECT_EQ(read.error().message, "Load failed for " + link);
  EXPECT_EQ(codeField(read.error()), 51);
  // Reading never changes the file.
  EXPECT_EQ(QcpTest::readFile(link), bytes);
}

TEST_F(ShellLinkTest, EmptyFileIsCode51) {
  const std::string link = root_ + "\\Empty.lnk";
  ASSERT_TRUE(QcpTest::writeFile(link, ""));
  const Expected<ShortcutInfo> read = readShortcut(link);
  ASSERT_FALSE(read);
  EXPECT_EQ(read.error().code, 51);
}

TEST_F(ShellLinkTest, MissingFileIsCode51) {
  const std::string link = root_ + "\\Missing.lnk";
  const Expected<ShortcutInfo> read = readShortcut(link);
  ASSERT_FALSE(read);
  EXPECT_EQ(read.error().code, 51);
  EXPECT_EQ(read.error().message, "Load failed for " + link);
  // Reading does not create it.
  EXPECT_FALSE(QcpTest::fileExists(link));
}

TEST_F(ShellLinkTest, WriteIntoMissingFolderIsCode48) {
  const std::string link = root_ + "\\No Such Folder\\Tessaryn.lnk";
  const Expected<void> saved = writeShortcut(link, {client_, root_, client_});
  ASSERT_FALSE(saved);
  EXPECT_EQ(saved.error().code, 48);
  EXPECT_EQ(saved.error().code, ShellErrorCode::writeSave);
  EXPECT_EQ(saved.error().message, "Save failed for " + link);
  EXPECT_EQ(codeField(saved.error()), 48);
  EXPECT_FALSE(QcpTest::fileExists(root_ + "\\No Such Folder"));
}

TEST_F(ShellLinkTest, LinkPathTooLongIsCode48) {
  const std::string link = root_ + "\\" + std::string(300, 'L') + ".lnk";
  const Expected<void> saved = writeShortcut(link, {client_, root_, client_});
  ASSERT_FALSE(saved);
  EXPECT_EQ(saved.error().code, 48);
  EXPECT_EQ(saved.error().message, "Save failed for " + link);
}

TEST(ShellLinkWithoutCom, CreateInstanceFailsWithCodes49And43) {
  // A thread without COM: CoCreateInstance answers CO_E_NOTINITIALIZED.
  Expected<ShortcutInfo> read = ShortcutInfo{};
  Expected<void> written;
  std::thread([&] {
    read = readShortcut("C:\\x.lnk");
    written = writeShortcut("C:\\x.lnk", {"C:\\a.exe", "C:\\", "C:\\a.exe"});
  }).join();
  ASSERT_FALSE(read);
  EXPECT_EQ(read.error().code, 49);
  EXPECT_EQ(read.error().message, "CoCreateInstance failed");
  ASSERT_FALSE(written);
  EXPECT_EQ(written.error().code, 43);
  EXPECT_EQ(written.error().message, "CoCreateInstance failed");
}

// Writes the files that lnkinfo_check.sh reads with Debian's lnkinfo: only
// when QCP_LNK_EXPORT_DIR names a folder (a Windows path), else skipped.
//   before.lnk  a legacy shortcut with arguments and a description;
//   after.lnk   the same, then overwritten by writeShortcut;
//   expected.txt  the target, working directory and icon path written.
TEST(ShellLinkExport, WritesShortcutsForLnkinfo) {
  const char* folder = std::getenv("QCP_LNK_EXPORT_DIR");
  if (folder == nullptr || *folder == '\0') GTEST_SKIP() << "QCP_LNK_EXPORT_DIR is not set";
  ComApartment apartment;
  ASSERT_TRUE(SUCCEEDED(apartment.result()));
  const Expected<std::string> root = canonicalLongPath(folder);
  ASSERT_TRUE(root) << root.error().message;
  const std::string legacy = *root + "\\Tessaryn.exe";
  const std::string client = *root + "\\TessarynClient.exe";
  ASSERT_TRUE(QcpTest::writeFile(legacy, "MZ"));
  ASSERT_TRUE(QcpTest::writeFile(client, "MZ"));
  for (const char* name : {"before.lnk", "after.lnk"}) {
    ASSERT_EQ(QcpTest::writeLegacyShortcut(*root + "\\" + name, legacy, "--from-kxu --no-zamp", *root, legacy, 3,
                                           "Old launcher"),
              S_OK);
  }
  const Expected<void> saved = writeShortcut(*root + "\\after.lnk", {client, *root, client});
  ASSERT_TRUE(saved) << saved.error().message;
  ASSERT_TRUE(QcpTest::writeFile(*root + "\\expected.txt",
                                 "target=" + client + "\nworking_directory=" + *root + "\nicon=" + client + "\n"));
}

}  // namespace
}  // namespace Quor
