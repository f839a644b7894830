#include "test_tree.h"

#include <windows.h>

#include <cstring>

#include <gtest/gtest.h>

namespace Quor::testing {

namespace {

// Unique among the tests of all runs, so a tree left by a failed run is never
// taken for a fresh one.
std::string treeName() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info != nullptr ? std::string(info->test_suite_name()) + "." + info->name() : "tree";
  for (char& c : name) {
    if (c == '/') c = '_';  // parameterised names
  }
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  return name + "." + std::to_string(GetCurrentProcessId()) + "." + std::to_string(counter.QuadPart);
}

std::string parentOf(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash));
}

bool createFolders(const std::string& path) {
  if (CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) return true;
  const std::string parent = parentOf(path);
  if (parent.empty() || !createFolders(parent)) return false;
  return CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

// The trees hold plain files and folders only; links are never followed.
void removeTree(const std::string& folder) {
  WIN32_FIND_DATAA data{};
  const HANDLE handle = FindFirstFileA((folder + "/*").c_str(), &data);
  if (handle != INVALID_HANDLE_VALUE) {
    do {
      if (std::strcmp(data.cFileName, ".") == 0 || std::strcmp(data.cFileName, "..") == 0) continue;
      const std::string path = folder + "/" + data.cFileName;
      const DWORD attributes = data.dwFileAttributes;
      if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        removeTree(path);
      } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        RemoveDirectoryA(path.c_str());
      } else {
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(handle, &data));
    FindClose(handle);
  }
  RemoveDirectoryA(folder.c_str());
}

}  // namespace

TestTree::TestTree() : root_(std::string(QCP_BINARY_DIR) + "/platform_test_trees/" + treeName()) {
  EXPECT_TRUE(createFolders(root_)) << root_;
}

TestTree::~TestTree() { removeTree(root_); }

std::string TestTree::path(std::string_view relative) const {
  return relative.empty() ? root_ : root_ + "/" + std::string(relative);
}

bool TestTree::addFolder(std::string_view relative) const { return createFolders(path(relative)); }

bool TestTree::addFile(std::string_view relative) const {
  const std::string file = path(relative);
  if (!createFolders(parentOf(file))) return false;
  const HANDLE handle =
      CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  CloseHandle(handle);
  return true;
}

bool TestTree::rename(std::string_view fromRelative, std::string_view toRelative) const {
  return MoveFileA(path(fromRelative).c_str(), path(toRelative).c_str()) != 0;
}

std::string unixFixture(std::string_view relative) {
  return std::string(QCP_PLATFORM_FIXTURES_DIR) + "/" + std::string(relative);
}

CurrentFolderScope::CurrentFolderScope(const std::string& folder) {
  char buffer[MAX_PATH] = {};
  const DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
  if (length == 0 || length >= sizeof buffer) return;
  previous_.assign(buffer, length);
  entered_ = SetCurrentDirectoryA(folder.c_str()) != 0;
}

CurrentFolderScope::~CurrentFolderScope() {
  if (entered_) SetCurrentDirectoryA(previous_.c_str());
}

std::vector<ListedEntry> drain(DirectoryIterator& iterator, std::size_t limit) {
  std::vector<ListedEntry> entries;
  for (; iterator.valid(); iterator.advance()) {
    if (entries.size() == limit) {
      ADD_FAILURE() << "the search did not end after " << limit << " entries";
      break;
    }
    entries.push_back(ListedEntry{iterator.name(), iterator.isDirectory(), iterator.currentFolder(),
                                  iterator.relativePath(), iterator.fullPath()});
  }
  return entries;
}

std::vector<std::string> relativePaths(const std::vector<ListedEntry>& entries) {
  std::vector<std::string> paths;
  paths.reserve(entries.size());
  for (const ListedEntry& entry : entries) paths.push_back(entry.relativePath);
  return paths;
}

}  // namespace Quor::testing
