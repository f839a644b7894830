#pragma once
// The entries of a folder search or a walk, handed out one at a time. An
// iterator moves forward only and is shared: it lives (with the system search
// handles it holds open) until its last owner lets it go.

#include <cstdint>
#include <memory>
#include <string>

namespace Quor {

// Search flags.
// The traversal of a walk is in the two lowest bits: searchDepthFirst there
// means depth first, any other value breadth first.
inline constexpr std::uint32_t searchTraversalMask = 3;
inline constexpr std::uint32_t searchDepthFirst = 2;
// Only directories: the system is asked to list only directories, and every
// other entry it lists anyway is skipped.
inline constexpr std::uint32_t searchDirectoriesOnly = 4;
// Handed on by a walk to each of its folder searches, which ignore it.
inline constexpr std::uint32_t searchPassedOn = 8;

class DirectoryIterator {
 public:
  DirectoryIterator() = default;
  DirectoryIterator(const DirectoryIterator&) = delete;
  DirectoryIterator& operator=(const DirectoryIterator&) = delete;
  virtual ~DirectoryIterator() = default;

  // Whether an entry is current. Once false it stays false.
  virtual bool valid() const = 0;
  // Moves to the next entry; nothing happens when none is current.
  virtual void advance() = 0;

  // The current entry; empty texts and false when none is current.
  virtual const std::string& name() const = 0;
  virtual bool isDirectory() const = 0;
  // The folder the entry is in.
  virtual const std::string& currentFolder() const = 0;
  // The entry's path from the folder the search or walk started in.
  virtual const std::string& relativePath() const = 0;
  // The current folder joined with the name.
  virtual const std::string& fullPath() const = 0;
};

}  // namespace Quor
