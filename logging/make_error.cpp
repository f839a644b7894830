#include "logging/make_error.h"

namespace Quor::detail {

std::string formatPositional(std::string_view format, const FormatArgument* arguments, std::size_t count) {
  char buffer[formatMessageCapacity];
  const std::size_t written = formatMessageInto(buffer, sizeof buffer, format, arguments, count);
  return std::string(buffer, written);
}

}  // namespace Quor::detail
