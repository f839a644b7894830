#include "platform/folder_search.h"

#include <algorithm>
#include <set>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_tree.h"

namespace Quor {
namespace {

using testing::ListedEntry;
using testing::TestTree;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::UnorderedElementsAre;

std::vector<ListedEntry> search(const std::string& wildcardPath, std::uint32_t flags = 0) {
  const std::shared_ptr<DirectoryIterator> iterator = openFolderSearch(wildcardPath, flags);
  return testing::drain(*iterator);
}

std::vector<std::string> names(const std::vector<ListedEntry>& entries) {
  std::vector<std::string> result;
  for (const ListedEntry& entry : entries) result.push_back(entry.name);
  return result;
}

TEST(FolderSearch, ListsTheMatchingEntriesOfTheFolderOnly) {
  TestTree tree;
  ASSERT_TRUE(tree.addFile("Uninstall Tessaryn client alpha.exe"));
  ASSERT_TRUE(tree.addFile("Uninstall Tessaryn client alpha 2.dat"));
  ASSERT_TRUE(tree.addFile("Other.exe"));
  ASSERT_TRUE(tree.addFile("sub/Uninstall Tessaryn client alpha 3.exe"));

  const std::vector<ListedEntry> entries = search(tree.path("Uninstall Tessaryn client alpha*.*"));
  ASSERT_THAT(names(entries),
              UnorderedElementsAre("Uninstall Tessaryn client alpha.exe", "Uninstall Tessaryn client alpha 2.dat"));
  for (const ListedEntry& entry : entries) {
    EXPECT_FALSE(entry.isDirectory);
    EXPECT_EQ(entry.currentFolder, tree.root());
    EXPECT_EQ(entry.relativePath, entry.name);
    EXPECT_EQ(entry.fullPath, tree.root() + "/" + entry.name);
  }
}

TEST(FolderSearch, NeverHandsOutDotEntries) {
  TestTree tree;
  ASSERT_TRUE(tree.addFile("a.lnk"));
  ASSERT_TRUE(tree.addFolder("sub"));

  const std::vector<ListedEntry> entries = search(tree.path("*"));
  ASSERT_THAT(names(entries), UnorderedElementsAre("a.lnk", "sub"));
  for (const ListedEntry& entry : entries) EXPECT_EQ(entry.isDirectory, entry.name == "sub");
}

TEST(FolderSearch, NormalizesThePathItIsGiven) {
  TestTree tree;
  ASSERT_TRUE(tree.addFile("sub/a.lnk"));
  std::string path = tree.path("sub") + "\\\\*";
  std::replace(path.begin(), path.end(), '/', '\\');

  const std::vector<ListedEntry> entries = search(path);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].currentFolder, tree.path("sub"));
  EXPECT_EQ(entries[0].fullPath, tree.path("sub/a.lnk"));
}

TEST(FolderSearch, DirectoriesOnlySkipsFilesTheSystemListsAnyway) {
  // Some file systems (and Wine) ignore the directories-only hint.
  TestTree tree;
  ASSERT_TRUE(tree.addFile("a.lnk"));
  ASSERT_TRUE(tree.addFolder("sub"));
  ASSERT_TRUE(tree.addFolder("other.lnk"));

  EXPECT_THAT(names(search(tree.path("*"), searchDirectoriesOnly)), UnorderedElementsAre("sub", "other.lnk"));
  EXPECT_THAT(names(search(tree.path("*.lnk"), searchDirectoriesOnly)), ElementsAre("other.lnk"));
  // The bit a walk passes on changes nothing.
  EXPECT_THAT(names(search(tree.path("*"), searchPassedOn)), UnorderedElementsAre("a.lnk", "sub", "other.lnk"));
}

TEST(FolderSearch, FindsNothingWhereThereIsNoFolder) {
  TestTree tree;
  ASSERT_TRUE(tree.addFile("file.txt"));
  ASSERT_TRUE(tree.addFolder("empty"));

  EXPECT_THAT(search(tree.path("empty/*")), IsEmpty());
  EXPECT_THAT(search(tree.path("missing/*")), IsEmpty());
  EXPECT_THAT(search(tree.path("file.txt/*")), IsEmpty());
  EXPECT_THAT(search(tree.path("*.none")), IsEmpty());
  EXPECT_THAT(search(""), IsEmpty());
}

TEST(FolderSearch, RefusesPathsUnderAssets) {
  TestTree tree;
  ASSERT_TRUE(tree.addFile("assets/x.lnk"));
  const testing::CurrentFolderScope inTree(tree.root());
  ASSERT_TRUE(inTree.entered());

  EXPECT_THAT(search("assets/*"), IsEmpty());
  EXPECT_THAT(search("ASSETS\\*"), IsEmpty());
  EXPECT_THAT(search("Assets//x.lnk"), IsEmpty());
  // The same folder by its full path is searched.
  EXPECT_THAT(names(search(tree.path("assets/*"))), ElementsAre("x.lnk"));
}

TEST(FolderSearch, RefusesAPathWithAZeroByte) {
  // The system would search the text before the zero byte: the tree itself.
  TestTree tree;
  ASSERT_TRUE(tree.addFile("sub/a.lnk"));
  const std::string path = tree.path("sub") + std::string("\0/x/*", 5);
  EXPECT_THAT(search(path), IsEmpty());
}

TEST(FolderSearch, SearchesTheCurrentFolderOfADrive) {
  TestTree tree;
  ASSERT_TRUE(tree.addFile("a.lnk"));
  const testing::CurrentFolderScope inTree(tree.root());
  ASSERT_TRUE(inTree.entered());

  const std::vector<ListedEntry> entries = search("Z:*.lnk");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].currentFolder, "Z:");
  EXPECT_EQ(entries[0].fullPath, "Z:a.lnk");
}

TEST(FolderSearch, LeavesOutNamesAWindowsFileNameCannotHold) {
  // Made on the Unix side: joined into a path, "c\d.lnk" would be the file
  // c/d.lnk, "a:b.lnk" would start afresh, "e*f.lnk" would be a pattern.
  const std::string names = testing::unixFixture("names");
  EXPECT_THAT(search(names + "/*.lnk"), ElementsAre(::testing::Field(&ListedEntry::name, "plain.lnk")));
  EXPECT_THAT(search(names + "/*"), Not(Contains(::testing::Field(&ListedEntry::name, "c\\d"))));
}

TEST(FolderSearch, ListsEveryOneOfManyEntriesOnce) {
  TestTree tree;
  std::set<std::string> created;
  for (int index = 0; index < 1500; ++index) {
    const std::string name = "shortcut " + std::to_string(index) + ".lnk";
    ASSERT_TRUE(tree.addFile(name));
    created.insert(name);
  }

  const std::vector<std::string> listed = names(search(tree.path("*")));
  EXPECT_EQ(listed.size(), created.size());
  EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), created);
}

TEST(FolderSearch, ClosesItsHandleWhenDestroyedMidway) {
  TestTree tree;
  ASSERT_TRUE(tree.addFile("sub/a.lnk"));
  ASSERT_TRUE(tree.addFile("sub/b.lnk"));

  std::shared_ptr<DirectoryIterator> iterator = openFolderSearch(tree.path("sub/*"), 0);
  ASSERT_TRUE(iterator->valid());
  // An open search handle keeps the folder from being renamed.
  EXPECT_FALSE(tree.rename("sub", "renamed"));
  iterator.reset();
  EXPECT_TRUE(tree.rename("sub", "renamed"));
}

TEST(FolderSearch, ClosesItsHandleAtTheEndOfTheListing) {
  TestTree tree;
  ASSERT_TRUE(tree.addFile("sub/a.lnk"));

  const std::shared_ptr<DirectoryIterator> iterator = openFolderSearch(tree.path("sub/*"), 0);
  ASSERT_TRUE(iterator->valid());
  iterator->advance();
  ASSERT_FALSE(iterator->valid());
  EXPECT_TRUE(tree.rename("sub", "renamed"));

  // Past the end nothing is current and advancing changes nothing.
  iterator->advance();
  EXPECT_FALSE(iterator->valid());
  EXPECT_EQ(iterator->name(), "");
  EXPECT_EQ(iterator->fullPath(), "");
  EXPECT_EQ(iterator->currentFolder(), "");
}

TEST(FolderSearch, IsSharedUntilItsLastOwnerLetsGo) {
  TestTree tree;
  ASSERT_TRUE(tree.addFile("sub/a.lnk"));

  std::shared_ptr<DirectoryIterator> first = openFolderSearch(tree.path("sub/*"), 0);
  std::shared_ptr<DirectoryIterator> second = first;
  first.reset();
  ASSERT_TRUE(second->valid());
  EXPECT_EQ(second->name(), "a.lnk");
  EXPECT_FALSE(tree.rename("sub", "renamed"));
  second.reset();
  EXPECT_TRUE(tree.rename("sub", "renamed"));
}

}  // namespace
}  // namespace Quor
