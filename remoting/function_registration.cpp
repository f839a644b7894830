#include "remoting/function_registration.h"

#include "logging/logger.h"

namespace Quor {

bool FunctionRegistration::rebuildRoute() {
  Expected<Route> made = makeRoute(*this);
  if (!made) {
    route.reset();
    log(LogLevel::Error, LogCategory::Dbg, "The path template '%s' of '%s' is not usable: %s", pathTemplate.c_str(),
        function != nullptr ? function->name.c_str() : "", made.error().message.c_str());
    return false;
  }
  route = std::move(made.value());
  return true;
}

}  // namespace Quor
