#include "platform/directory_walk.h"

#include <algorithm>
#include <set>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_tree.h"

namespace Quor {
namespace {

using testing::ListedEntry;
using testing::relativePaths;
using testing::TestTree;
using ::testing::Contains;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::UnorderedElementsAre;
using ::testing::UnorderedElementsAreArray;

constexpr std::uint32_t depthFirst = searchDepthFirst;
constexpr std::uint32_t breadthFirst = 0;
// What the shortcut migration asks for.
constexpr std::uint32_t shortcutWalk = searchDepthFirst | searchPassedOn;

std::vector<ListedEntry> walk(const std::string& folder, std::string_view pattern, std::uint32_t flags,
                              std::int32_t maxDepth) {
  const std::shared_ptr<DirectoryIterator> iterator = openWalk(folder, pattern, flags, maxDepth);
  return testing::drain(*iterator);
}

std::size_t depthOf(const std::string& relativePath) {
  return static_cast<std::size_t>(std::count(relativePath.begin(), relativePath.end(), '/'));
}

std::string folderOf(const std::string& relativePath) {
  const std::size_t slash = relativePath.rfind('/');
  return slash == std::string::npos ? std::string() : relativePath.substr(0, slash);
}

bool isUnder(const std::string& relativePath, const std::string& folder) {
  return relativePath.compare(0, folder.size() + 1, folder + "/") == 0;
}

// Whether the entries below `folder` come one after the other, with nothing
// from elsewhere between them.
bool isContiguous(const std::vector<std::string>& paths, const std::string& folder) {
  bool started = false;
  bool ended = false;
  for (const std::string& path : paths) {
    const bool inside = isUnder(path, folder);
    if (inside && ended) return false;
    if (inside) started = true;
    if (!inside && started) ended = true;
  }
  return true;
}

// Whether the entries of `folder` itself come one after the other.
bool isListedTogether(const std::vector<std::string>& paths, const std::string& folder) {
  std::vector<std::string> inFolder;
  for (const std::string& path : paths) inFolder.push_back(folderOf(path) == folder ? "in" : "out");
  const auto first = std::find(inFolder.begin(), inFolder.end(), "in");
  const auto last = std::find(inFolder.rbegin(), inFolder.rend(), "in").base();
  return std::count(first, last, "out") == 0;
}

// The migration's example: shortcuts on four levels, a folder named like a
// shortcut two levels down.
void addShortcutTree(const TestTree& tree) {
  ASSERT_TRUE(tree.addFile("a.lnk"));
  ASSERT_TRUE(tree.addFile("notes.txt"));
  ASSERT_TRUE(tree.addFile("sub/b.lnk"));
  ASSERT_TRUE(tree.addFile("sub/deeper/c.lnk"));
  ASSERT_TRUE(tree.addFile("sub/deeper/deepest/d.lnk"));
  ASSERT_TRUE(tree.addFile("sub/deeper/x.lnk/inside.lnk"));
}

TEST(DirectoryWalk, FindsShortcutsDownToTheDepthLimit) {
  TestTree tree;
  addShortcutTree(tree);

  const std::vector<ListedEntry> entries = walk(tree.root(), "*.lnk", shortcutWalk, 2);
  EXPECT_THAT(relativePaths(entries),
              UnorderedElementsAre("a.lnk", "sub/b.lnk", "sub/deeper/c.lnk", "sub/deeper/x.lnk"));
  for (const ListedEntry& entry : entries) {
    EXPECT_EQ(entry.fullPath, tree.path(entry.relativePath));
    EXPECT_EQ(entry.currentFolder, tree.path(folderOf(entry.relativePath)));
    EXPECT_EQ(entry.name, entry.relativePath.substr(entry.relativePath.rfind('/') + 1));
    // The folder at the limit is handed out like a file, not entered.
    EXPECT_EQ(entry.isDirectory, entry.name == "x.lnk");
  }
}

TEST(DirectoryWalk, NormalizesTheStartingFolder) {
  TestTree tree;
  ASSERT_TRUE(tree.addFile("sub/b.lnk"));
  std::string folder = tree.root() + "\\\\";
  std::replace(folder.begin(), folder.end(), '/', '\\');

  const std::vector<ListedEntry> entries = walk(folder, "*", depthFirst, -1);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].currentFolder, tree.path("sub"));
  EXPECT_EQ(entries[0].relativePath, "sub/b.lnk");
  EXPECT_EQ(entries[0].fullPath, tree.path("sub/b.lnk"));
}

// A chain of folders L1/L2/L3/L4 with one file on each level.
class DepthLimit : public ::testing::TestWithParam<std::int32_t> {
 protected:
  static constexpr int levels = 4;

  void SetUp() override {
    std::string folder;
    for (int level = 0; level <= levels; ++level) {
      ASSERT_TRUE(tree.addFile(folder + "f" + std::to_string(level)));
      folder += "L" + std::to_string(level + 1) + "/";
    }
  }

  // The relative paths of the file and of the folder on `level`.
  static std::string fileOn(int level) { return folderPath(level) + "f" + std::to_string(level); }
  static std::string folderOn(int level) { return folderPath(level) + "L" + std::to_string(level + 1); }
  static std::string folderPath(int level) {
    std::string path;
    for (int above = 1; above <= level; ++above) path += "L" + std::to_string(above) + "/";
    return path;
  }
  int deepestListedLevel() const { return GetParam() == -1 ? levels : std::min(GetParam(), levels); }

  TestTree tree;
};

TEST_P(DepthLimit, DepthFirstHandsOutTheFoldersAtTheLimitInsteadOfEnteringThem) {
  std::vector<std::string> expected;
  for (int level = 0; level <= deepestListedLevel(); ++level) expected.push_back(fileOn(level));
  if (deepestListedLevel() < levels) expected.push_back(folderOn(deepestListedLevel()));

  EXPECT_THAT(relativePaths(walk(tree.root(), "*", depthFirst, GetParam())), UnorderedElementsAreArray(expected));
}

TEST_P(DepthLimit, BreadthFirstHandsOutEveryEntryDownToTheLimit) {
  std::vector<std::string> expected;
  for (int level = 0; level <= deepestListedLevel(); ++level) {
    expected.push_back(fileOn(level));
    if (level < levels) expected.push_back(folderOn(level));
  }

  EXPECT_THAT(relativePaths(walk(tree.root(), "*", breadthFirst, GetParam())), UnorderedElementsAreArray(expected));
}

INSTANTIATE_TEST_SUITE_P(DirectoryWalk, DepthLimit, ::testing::Values(0, 1, 2, 3, -1),
                         [](const ::testing::TestParamInfo<std::int32_t>& info) {
                           return info.param < 0 ? std::string("Unlimited") : "Depth" + std::to_string(info.param);
                         });

TEST(DirectoryWalk, NegativeLimitsOtherThanUnlimitedEnterNothing) {
  TestTree tree;
  ASSERT_TRUE(tree.addFile("a.lnk"));
  ASSERT_TRUE(tree.addFile("sub/b.lnk"));

  EXPECT_THAT(relativePaths(walk(tree.root(), "*", depthFirst, -2)), UnorderedElementsAre("a.lnk", "sub"));
  EXPECT_THAT(relativePaths(walk(tree.root(), "*", breadthFirst, -100)), UnorderedElementsAre("a.lnk", "sub"));
}

// Two subtrees whose orders differ by traversal whatever order the system
// lists a folder in.
void addTwoSubtrees(const TestTree& tree) {
  ASSERT_TRUE(tree.addFile("P/p.lnk"));
  ASSERT_TRUE(tree.addFile("P/P2/pp.lnk"));
  ASSERT_TRUE(tree.addFile("Q/q.lnk"));
  ASSERT_TRUE(tree.addFile("Q/Q2/qq.lnk"));
}

TEST(DirectoryWalk, DepthFirstFinishesOneSubtreeBeforeTheNext) {
  TestTree tree;
  addTwoSubtrees(tree);

  const std::vector<std::string> paths = relativePaths(walk(tree.root(), "*", depthFirst, -1));
  ASSERT_THAT(paths, UnorderedElementsAre("P/p.lnk", "P/P2/pp.lnk", "Q/q.lnk", "Q/Q2/qq.lnk"));
  EXPECT_TRUE(isContiguous(paths, "P")) << ::testing::PrintToString(paths);
  EXPECT_TRUE(isContiguous(paths, "Q")) << ::testing::PrintToString(paths);
  EXPECT_TRUE(isContiguous(paths, "P/P2")) << ::testing::PrintToString(paths);
}

TEST(DirectoryWalk, BreadthFirstFinishesOneLevelBeforeTheNext) {
  TestTree tree;
  addTwoSubtrees(tree);

  const std::vector<std::string> paths = relativePaths(walk(tree.root(), "*", breadthFirst, -1));
  ASSERT_THAT(paths, UnorderedElementsAre("P", "Q", "P/p.lnk", "P/P2", "Q/q.lnk", "Q/Q2", "P/P2/pp.lnk",
                                          "Q/Q2/qq.lnk"));
  EXPECT_TRUE(std::is_sorted(paths.begin(), paths.end(),
                             [](const std::string& a, const std::string& b) { return depthOf(a) < depthOf(b); }))
      << ::testing::PrintToString(paths);
  EXPECT_TRUE(isListedTogether(paths, "P")) << ::testing::PrintToString(paths);
  EXPECT_TRUE(isListedTogether(paths, "Q")) << ::testing::PrintToString(paths);
}

TEST(DirectoryWalk, AnyTraversalValueButDepthFirstIsBreadthFirst) {
  TestTree tree;
  addTwoSubtrees(tree);

  for (const std::uint32_t traversal : {0u, 1u, 3u}) {
    const std::vector<std::string> paths = relativePaths(walk(tree.root(), "*", traversal, 0));
    EXPECT_THAT(paths, UnorderedElementsAre("P", "Q")) << "traversal " << traversal;
  }
}

TEST(DirectoryWalk, FilterDoesNotKeepTheWalkOutOfFolders) {
  TestTree tree;
  ASSERT_TRUE(tree.addFile("Programs/Game/Tessaryn.lnk"));
  ASSERT_TRUE(tree.addFile("Programs/Game/readme.txt"));

  EXPECT_THAT(relativePaths(walk(tree.root(), "*.LNK", shortcutWalk, 2)),
              UnorderedElementsAre("Programs/Game/Tessaryn.lnk"));
  EXPECT_THAT(relativePaths(walk(tree.root(), "?.lnk", breadthFirst, -1)), IsEmpty());
}

TEST(DirectoryWalk, DirectoriesOnlyHandsOutNoFiles) {
  TestTree tree;
  ASSERT_TRUE(tree.addFile("a.lnk"));
  ASSERT_TRUE(tree.addFile("xa/b.lnk"));
  ASSERT_TRUE(tree.addFile("xa/xb/c.lnk"));
  ASSERT_TRUE(tree.addFile("y/xc.lnk"));

  EXPECT_THAT(relativePaths(walk(tree.root(), "*", breadthFirst | searchDirectoriesOnly, -1)),
              UnorderedElementsAre("xa", "y", "xa/xb"));
  EXPECT_THAT(relativePaths(walk(tree.root(), "x*", breadthFirst | searchDirectoriesOnly, -1)),
              UnorderedElementsAre("xa", "xa/xb"));
  // Depth first hands out only the folders it does not enter.
  EXPECT_THAT(relativePaths(walk(tree.root(), "*", depthFirst | searchDirectoriesOnly, 1)),
              UnorderedElementsAre("xa/xb"));
}

TEST(DirectoryWalk, FindsNothingWhereThereIsNothing) {
  TestTree tree;
  ASSERT_TRUE(tree.addFolder("empty"));
  ASSERT_TRUE(tree.addFile("file.lnk"));

  for (const std::uint32_t flags : {depthFirst, breadthFirst}) {
    EXPECT_THAT(walk(tree.path("empty"), "*", flags, -1), IsEmpty());
    EXPECT_THAT(walk(tree.path("missing"), "*", flags, -1), IsEmpty());
    EXPECT_THAT(walk(tree.path("file.lnk"), "*", flags, -1), IsEmpty());
  }
}

TEST(DirectoryWalk, AnEmptyStartingFolderIsNotTheCurrentFolder) {
  TestTree tree;
  ASSERT_TRUE(tree.addFile("a.lnk"));
  const testing::CurrentFolderScope inTree(tree.root());
  ASSERT_TRUE(inTree.entered());

  EXPECT_THAT(walk("", "*", depthFirst, -1), IsEmpty());
  EXPECT_THAT(walk("", "*.lnk", breadthFirst, 2), IsEmpty());
  // The current folder by name is walked.
  EXPECT_THAT(relativePaths(walk(".", "*", depthFirst, -1)), UnorderedElementsAre("a.lnk"));
}

TEST(DirectoryWalk, RefusesToWalkUnderAssets) {
  TestTree tree;
  ASSERT_TRUE(tree.addFile("assets/a.lnk"));
  ASSERT_TRUE(tree.addFile("assets/sub/b.lnk"));
  const testing::CurrentFolderScope inTree(tree.root());
  ASSERT_TRUE(inTree.entered());

  EXPECT_THAT(walk("assets", "*", depthFirst, -1), IsEmpty());
  EXPECT_THAT(walk("Assets\\", "*.lnk", breadthFirst, -1), IsEmpty());
  EXPECT_THAT(walk("ASSETS/sub", "*", depthFirst, -1), IsEmpty());
  EXPECT_THAT(relativePaths(walk(tree.path("assets"), "*.lnk", depthFirst, -1)),
              UnorderedElementsAre("a.lnk", "sub/b.lnk"));
}

TEST(DirectoryWalk, NeverTakesANameThatWouldChangeThePath) {
  // Made on the Unix side: the folder "c\d" (a link to c/d) and the file
  // "c\d.lnk" would both be taken for entries of c/d once joined into a path.
  const std::string names = testing::unixFixture("names");
  EXPECT_THAT(relativePaths(walk(names, "*.lnk", depthFirst, -1)),
              UnorderedElementsAre("plain.lnk", "c/d.lnk", "c/d/real.lnk"));
  EXPECT_THAT(relativePaths(walk(names, "*", breadthFirst, -1)),
              UnorderedElementsAre("plain.lnk", "c", "c/d.lnk", "c/d", "c/d/real.lnk"));
}

TEST(DirectoryWalk, ListsEveryOneOfManyEntriesOnce) {
  TestTree tree;
  std::set<std::string> created;
  for (const std::string folder : {"", "one/", "one/two/"}) {
    for (int index = 0; index < 400; ++index) {
      const std::string path = folder + "shortcut " + std::to_string(index) + ".lnk";
      ASSERT_TRUE(tree.addFile(path));
      created.insert(path);
    }
  }

  for (const std::uint32_t flags : {depthFirst, breadthFirst}) {
    std::vector<std::string> paths = relativePaths(walk(tree.root(), "*.lnk", flags, -1));
    EXPECT_EQ(paths.size(), created.size());
    EXPECT_EQ(std::set<std::string>(paths.begin(), paths.end()), created);
  }
}

TEST(DirectoryWalk, LeavesOutEntriesWhosePathsDoNotFit) {
  // long: eight nested folders of 50 characters; Windows paths end at 260
  // bytes, and a path cut to fit would name another folder.
  const std::string folder = testing::unixFixture("long");
  const std::vector<ListedEntry> entries = walk(folder, "*", breadthFirst, -1);
  const auto folders = std::count_if(entries.begin(), entries.end(), [](const ListedEntry& e) { return e.isDirectory; });
  EXPECT_GE(folders, 1);
  EXPECT_LT(folders, 8);
  EXPECT_THAT(relativePaths(entries), Contains("top.lnk"));

  for (const std::uint32_t flags : {depthFirst, breadthFirst}) {
    for (const ListedEntry& entry : walk(folder, "*", flags, -1)) {
      EXPECT_LE(entry.fullPath.size(), maxSearchPathLength);
      EXPECT_EQ(entry.fullPath, folder + "/" + entry.relativePath);
      EXPECT_NE(entry.name, "bottom.lnk");
    }
  }
}

TEST(DirectoryWalk, ALoopBackIntoTheTreeEndsAtTheDepthLimit) {
  // loop/sub/loop is a Unix symbolic link to loop, which Wine shows as a
  // folder: every pass through it is one level deeper.
  const std::string loop = testing::unixFixture("loop");
  const std::vector<ListedEntry> top = walk(loop + "/sub", "*", breadthFirst, 0);
  ASSERT_THAT(top, UnorderedElementsAre(::testing::Field(&ListedEntry::name, "b.lnk"),
                                        ::testing::AllOf(::testing::Field(&ListedEntry::name, "loop"),
                                                         ::testing::Field(&ListedEntry::isDirectory, true))));

  for (const std::uint32_t flags : {shortcutWalk, breadthFirst}) {
    for (const std::int32_t maxDepth : {0, 1, 2, 3}) {
      const std::vector<std::string> paths = relativePaths(walk(loop, "*.lnk", flags, maxDepth));
      EXPECT_THAT(paths, Contains("a.lnk"));
      if (maxDepth >= 1) {
        EXPECT_THAT(paths, Contains("sub/b.lnk"));
      }
      for (const std::string& path : paths) EXPECT_LE(depthOf(path), static_cast<std::size_t>(maxDepth)) << path;
    }
  }
}

TEST(DirectoryWalk, ALoopBackIntoTheTreeEndsWithoutADepthLimit) {
  // self/loop is self: without a limit only the length of the path ends it.
  const std::string self = testing::unixFixture("self");
  for (const std::uint32_t flags : {depthFirst, breadthFirst}) {
    const std::vector<ListedEntry> entries = walk(self, "*", flags, -1);
    EXPECT_THAT(relativePaths(entries), Contains("a.lnk"));
    for (const ListedEntry& entry : entries) {
      EXPECT_LE(entry.fullPath.size(), maxSearchPathLength);
      EXPECT_EQ(entry.fullPath, self + "/" + entry.relativePath);
    }
  }
}

TEST(DirectoryWalk, ClosesEveryHandleWhenStoppedEarly) {
  TestTree tree;
  ASSERT_TRUE(tree.addFile("L1/L2/L3/deep.lnk"));
  ASSERT_TRUE(tree.addFile("L1/L2/L3/deep2.lnk"));

  std::shared_ptr<DirectoryIterator> iterator = openWalk(tree.root(), "*.lnk", depthFirst, -1);
  ASSERT_TRUE(iterator->valid());
  ASSERT_EQ(iterator->currentFolder(), tree.path("L1/L2/L3"));
  // Every folder from the start down is open at its place.
  EXPECT_FALSE(tree.rename("L1/L2/L3", "L1/L2/M3"));
  EXPECT_FALSE(tree.rename("L1", "M1"));
  iterator.reset();
  EXPECT_TRUE(tree.rename("L1/L2/L3", "L1/L2/M3"));
  EXPECT_TRUE(tree.rename("L1", "M1"));
}

TEST(DirectoryWalk, ClosesEveryHandleAtTheEnd) {
  TestTree tree;
  ASSERT_TRUE(tree.addFile("L1/L2/deep.lnk"));

  for (const std::uint32_t flags : {depthFirst, breadthFirst}) {
    const std::shared_ptr<DirectoryIterator> iterator = openWalk(tree.path("L1"), "*", flags, -1);
    while (iterator->valid()) iterator->advance();
    EXPECT_TRUE(tree.rename("L1/L2", "L1/M2"));
    EXPECT_TRUE(tree.rename("L1/M2", "L1/L2"));
    iterator->advance();
    EXPECT_FALSE(iterator->valid());
    EXPECT_EQ(iterator->fullPath(), "");
  }
}

TEST(DirectoryWalk, IsSharedUntilItsLastOwnerLetsGo) {
  TestTree tree;
  ASSERT_TRUE(tree.addFile("L1/a.lnk"));

  std::shared_ptr<DirectoryIterator> first = openWalk(tree.root(), "*.lnk", shortcutWalk, 2);
  std::shared_ptr<DirectoryIterator> second = first;
  first.reset();
  ASSERT_TRUE(second->valid());
  EXPECT_EQ(second->relativePath(), "L1/a.lnk");
  EXPECT_FALSE(tree.rename("L1", "M1"));
  second.reset();
  EXPECT_TRUE(tree.rename("L1", "M1"));
}

}  // namespace
}  // namespace Quor
