#pragma once
// The functions tagged "$builtin" that the dispatcher serves from a registry
// when its caller hands one in (see BuiltinPath in remoting/dispatcher.h).
// "Help" is the one there is.

#include "remoting/host_response.h"
#include "remoting/route.h"

namespace Quor {

class TypeRegistry;

inline constexpr char helpFunctionName[] = "Help";
inline constexpr char unsupportedBuiltinMessage[] = "Unsupported builtin function";

// "Help": the full help of every function, type and event of registry as the
// response body (enumerations by name). A failure to build or convert it, and
// any other function, answer status 400 with the reason as error text.
void runBuiltin(const TypeRegistry& registry, HostResponse& hostResponse, const RouteMatch& match);

}  // namespace Quor
