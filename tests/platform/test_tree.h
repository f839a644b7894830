#pragma once
// Folder trees for the directory search tests: built fresh on disk for each
// test under the build folder and removed afterwards, and the fixed trees with
// symbolic links and odd names that the build makes (unix_fixtures.cmake).

#include <string>
#include <string_view>
#include <vector>

#include "platform/directory_iterator.h"

namespace Quor::testing {

class TestTree {
 public:
  // A fresh, empty tree named after the running test.
  TestTree();
  ~TestTree();
  TestTree(const TestTree&) = delete;
  TestTree& operator=(const TestTree&) = delete;

  // The tree's folder as Windows programs see it ("Z:/.../Suite.Test.1234").
  const std::string& root() const { return root_; }
  // root() + "/" + relative; root() for the empty text.
  std::string path(std::string_view relative) const;

  // Create a folder or an empty file, and the folders above it; false when
  // the system refuses.
  bool addFolder(std::string_view relative) const;
  bool addFile(std::string_view relative) const;

  // Fails while a search handle on the folder is open.
  bool rename(std::string_view fromRelative, std::string_view toRelative) const;

 private:
  std::string root_;
};

// A folder of the fixed trees ("loop", "self", "names"), as Windows programs
// see it.
std::string unixFixture(std::string_view relative);

// Makes `folder` the current folder for the life of the object.
class CurrentFolderScope {
 public:
  explicit CurrentFolderScope(const std::string& folder);
  ~CurrentFolderScope();
  CurrentFolderScope(const CurrentFolderScope&) = delete;
  CurrentFolderScope& operator=(const CurrentFolderScope&) = delete;

  bool entered() const { return entered_; }

 private:
  std::string previous_;
  bool entered_ = false;
};

struct ListedEntry {
  std::string name;
  bool isDirectory = false;
  std::string currentFolder;
  std::string relativePath;
  std::string fullPath;
};

// Every entry the iterator hands out, in order. Stops after `limit` entries so
// that a search that never ends fails the test instead of hanging it.
std::vector<ListedEntry> drain(DirectoryIterator& iterator, std::size_t limit = 100000);

std::vector<std::string> relativePaths(const std::vector<ListedEntry>& entries);

}  // namespace Quor::testing
