#include "formats/base64.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>
#include <vector>

namespace Quor {
namespace {

std::string encodeText(std::string_view text) {
  return base64Encode(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

TEST(Base64Encode, StandardTestVectorsWithPadding) {
  EXPECT_EQ(encodeText(""), "");
  EXPECT_EQ(encodeText("f"), "Zg==");
  EXPECT_EQ(encodeText("fo"), "Zm8=");
  EXPECT_EQ(encodeText("foo"), "Zm9v");
  EXPECT_EQ(encodeText("foob"), "Zm9vYg==");
  EXPECT_EQ(encodeText("fooba"), "Zm9vYmE=");
  EXPECT_EQ(encodeText("foobar"), "Zm9vYmFy");
}

TEST(Base64Encode, HighBytesUseTheLastLettersOfTheAlphabet) {
  const std::vector<std::uint8_t> bytes = {0xFF, 0xFE, 0xFD, 0xFB, 0xEF, 0x00};
  EXPECT_EQ(base64Encode(bytes), "//79++8A");
}

}  // namespace
}  // namespace Quor
