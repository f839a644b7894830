#pragma once
// One entry as the system's directory search lists it, and what its
// attributes say about it.

#include <cstdint>
#include <string>

namespace Quor {

inline constexpr std::uint32_t fileAttributeDirectory = 0x10;
inline constexpr std::uint32_t fileAttributeReparsePoint = 0x400;
// Reparse tags with this bit stand for another named file or folder
// (junctions, mount points, symbolic links); the others (cloud placeholders,
// deduplicated files) are the entry itself, stored differently.
inline constexpr std::uint32_t reparseTagNameSurrogateBit = 0x20000000;

struct FoundEntry {
  std::string name;
  std::uint32_t attributes = 0;
  // The reparse tag when the reparse-point attribute is set, else 0.
  std::uint32_t reparseTag = 0;
};

inline bool isDirectory(const FoundEntry& entry) { return (entry.attributes & fileAttributeDirectory) != 0; }

// A junction or symbolic link: following it would leave the folder being
// walked, and may lead back into it.
inline bool isLinkToElsewhere(const FoundEntry& entry) {
  return (entry.attributes & fileAttributeReparsePoint) != 0 && (entry.reparseTag & reparseTagNameSurrogateBit) != 0;
}

}  // namespace Quor
