#include "remoting/request_method.h"

namespace Quor {

RequestMethod requestMethodFromCode(std::uint32_t code) {
  return code >= 1 && code <= 8 ? static_cast<RequestMethod>(code) : RequestMethod::None;
}

const char* methodName(std::uint32_t code) {
  static const char* const names[] = {"", "DELETE", "GET", "HEAD", "OPTIONS", "PATCH", "POST", "PUT", ""};
  return code < sizeof names / sizeof names[0] ? names[code] : "";
}

}  // namespace Quor
