#include "platform/found_entry.h"

#include <gtest/gtest.h>

namespace Quor {
namespace {

FoundEntry entry(std::uint32_t attributes, std::uint32_t reparseTag) { return FoundEntry{"x", attributes, reparseTag}; }

constexpr std::uint32_t directoryReparsePoint = fileAttributeDirectory | fileAttributeReparsePoint;

TEST(IsLinkToElsewhere, JunctionsAndSymbolicLinksLeadElsewhere) {
  EXPECT_TRUE(isLinkToElsewhere(entry(directoryReparsePoint, 0xA0000003)));  // mount point, junction
  EXPECT_TRUE(isLinkToElsewhere(entry(directoryReparsePoint, 0xA000000C)));  // symbolic link
}

TEST(IsLinkToElsewhere, PlaceholdersAndPlainFoldersAreThemselves) {
  EXPECT_FALSE(isLinkToElsewhere(entry(directoryReparsePoint, 0x9000001A)));  // cloud files placeholder
  EXPECT_FALSE(isLinkToElsewhere(entry(directoryReparsePoint, 0x80000013)));  // deduplicated
  EXPECT_FALSE(isLinkToElsewhere(entry(fileAttributeDirectory, 0)));
  // A tag only counts with the reparse-point attribute.
  EXPECT_FALSE(isLinkToElsewhere(entry(fileAttributeDirectory, 0xA0000003)));
}

}  // namespace
}  // namespace Quor
