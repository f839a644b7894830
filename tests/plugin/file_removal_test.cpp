// Tests of removeFileForce.

#include "plugin/file_removal.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "shell_test_support.h"

namespace Quor {
namespace {

using QcpTest::ScratchFolder;

TEST(RemoveFileForce, MissingFileIsTrue) {
  ScratchFolder scratch;
  ASSERT_TRUE(scratch.created());
  EXPECT_TRUE(removeFileForce(scratch.file("Missing.exe")));
  EXPECT_TRUE(removeFileForce(scratch.file("No Folder\\Missing.exe")));
}

TEST(RemoveFileForce, NormalFileIsDeleted) {
  ScratchFolder scratch;
  ASSERT_TRUE(scratch.created());
  const std::string file = scratch.file("Uninstall Tessaryn client alpha.exe");
  ASSERT_TRUE(QcpTest::writeFile(file, "MZ"));
  EXPECT_TRUE(removeFileForce(file));
  EXPECT_FALSE(QcpTest::fileExists(file));
}

TEST(RemoveFileForce, SlashSeparatedPath) {
  ScratchFolder scratch;
  ASSERT_TRUE(scratch.created());
  const std::string file = scratch.file("Uninstall Tessaryn client alpha.dat");
  ASSERT_TRUE(QcpTest::writeFile(file, "data"));
  std::string slashed = file;
  for (char& c : slashed) {
    if (c == '\\') c = '/';
  }
  EXPECT_TRUE(removeFileForce(slashed));
  EXPECT_FALSE(QcpTest::fileExists(file));
}

TEST(RemoveFileForce, ReadOnlyFileIsDeleted) {
  ScratchFolder scratch;
  ASSERT_TRUE(scratch.created());
  const std::string file = scratch.file("Uninstall Tessaryn client alpha.exe");
  ASSERT_TRUE(QcpTest::writeFile(file, "MZ"));
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
  // A plain deletion is refused.
  ASSERT_FALSE(DeleteFileA(file.c_str()));
  EXPECT_TRUE(removeFileForce(file));
  EXPECT_FALSE(QcpTest::fileExists(file));
}

TEST(RemoveFileForce, FileHeldOpenStaysAndIsFalse) {
  ScratchFolder scratch;
  ASSERT_TRUE(scratch.created());
  const std::string file = scratch.file("Uninstall Tessaryn client alpha.exe");
  ASSERT_TRUE(QcpTest::writeFile(file, "MZ"));
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
  // Held open without FILE_SHARE_DELETE, as a running uninstaller would be.
  const HANDLE held = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(removeFileForce(file));
  CloseHandle(held);
  EXPECT_TRUE(QcpTest::fileExists(file));
  // Its read-only attribute is given back.
  EXPECT_NE(GetFileAttributesA(file.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
}

TEST(RemoveFileForce, FolderIsFalseAndLeftAlone) {
  ScratchFolder scratch;
  ASSERT_TRUE(scratch.created());
  const std::string folder = scratch.file("Uninstall Tessaryn client alpha.d");
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  ASSERT_TRUE(SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_READONLY));
  const DWORD before = GetFileAttributesA(folder.c_str());
  EXPECT_FALSE(removeFileForce(folder));
  EXPECT_EQ(GetFileAttributesA(folder.c_str()), before);
}

}  // namespace
}  // namespace Quor
