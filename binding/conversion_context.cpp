#include "binding/conversion_context.h"

#include <cstdint>

#include "binding/conversion_messages.h"
#include "binding/format_message.h"

namespace Quor {

bool ConversionContext::enter(std::string_view name) {
  if (depth_ >= maxConversionDepth) {
    fail(FormatMessage(ConversionMessages::nestedTooDeeply, name, static_cast<std::uint32_t>(maxConversionDepth)));
    return false;
  }
  ++depth_;
  return true;
}

bool ToValueContext::enter() {
  if (depth_ >= maxConversionDepth) {
    fail(FormatMessage(ConversionMessages::nativeNestedTooDeeply, static_cast<std::uint32_t>(maxConversionDepth)));
    return false;
  }
  ++depth_;
  return true;
}

}  // namespace Quor
