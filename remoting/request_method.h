#pragma once
// Request method codes as they travel in every request record.

#include <cstdint>

namespace Quor {

enum class RequestMethod : std::uint32_t {
  None = 0,
  Delete = 1,
  Get = 2,
  Head = 3,
  Options = 4,
  Patch = 5,
  Post = 6,
  Put = 7,
  // The method's text travels separately (HostRequest::customMethod).
  Custom = 8,
};

// The code as received: anything outside 1 to 8 reads as None.
RequestMethod requestMethodFromCode(std::uint32_t code);

// The code a request record carries for method: None for anything outside
// 1 to 8.
inline std::uint32_t requestMethodCode(RequestMethod method) {
  return static_cast<std::uint32_t>(requestMethodFromCode(static_cast<std::uint32_t>(method)));
}

// "DELETE", "GET", "HEAD", "OPTIONS", "PATCH", "POST", "PUT"; the empty text
// for None, Custom and codes outside 1 to 8.
const char* methodName(std::uint32_t code);
inline const char* methodName(RequestMethod method) { return methodName(static_cast<std::uint32_t>(method)); }

}  // namespace Quor
