#pragma once
// Base64 text of bytes (the standard alphabet with "=" padding), the form in
// which blobs appear in text formats.

#include <cstdint>
#include <span>
#include <string>

namespace Quor {

std::string base64Encode(std::span<const std::uint8_t> bytes);

}  // namespace Quor
