#include "remoting/builtin_functions.h"

#include <exception>
#include <string_view>

#include "binding/type_registry.h"
#include "remoting/api_help.h"
#include "remoting/remoting_response.h"

namespace Quor {

void runBuiltin(const TypeRegistry& registry, HostResponse& hostResponse, const RouteMatch& match) {
  RemotingResponse response;
  try {
    if (match.function == nullptr || match.function->name != std::string_view(helpFunctionName)) {
      response.setError(unsupportedBuiltinMessage);
      response.status = 400;
    } else {
      buildHelp(response.result, registry, registry.functionsSnapshot(), registry.typesSnapshot(),
                registry.eventsSnapshot(), BindingHelpFormat::Full);
      if (!response.result.ok()) response.status = 400;
    }
  } catch (const std::exception& error) {
    // As on the invocation path, nothing escapes to the core.
    response.setError(error.what());
    response.status = 500;
  }
  fillHostResponse(hostResponse, response, &registry);
}

}  // namespace Quor
