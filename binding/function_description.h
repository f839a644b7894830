#pragma once
// Descriptions of the bound functions and events that the type registry
// keeps for the remoting layer, the help listing and the core's API
// description.

#include <string>
#include <vector>

#include "binding/type_description.h"

namespace Quor {

struct ParameterDescription {
  std::string name;
  std::string description;
  bool optional = false;
  TypeRef type;
  TypeRef declaredType;  // described to the core instead when its kind is not None

  const TypeRef& describedType() const { return declaredType.kind != NativeKind::None ? declaredType : type; }
};

struct FunctionDescription {
  std::string name;
  std::string nameSpace;
  std::string description;
  std::string help;  // printed after the description in help output
  std::vector<ParameterDescription> parameters;
  TypeRef returns;
  TypeRef declaredReturns;  // described to the core instead when its kind is not None
  std::vector<std::string> tags;
  bool threadSafe = false;
  bool async = false;
  // The registry that serves the function; it names enumerations in results.
  const TypeRegistry* owner = nullptr;

  const TypeRef& describedReturns() const {
    return declaredReturns.kind != NativeKind::None ? declaredReturns : returns;
  }
};

struct EventDescription {
  std::string name;
  std::string nameSpace;
  std::string description;
  const TypeDescription* payload = nullptr;  // the registered payload type
  std::vector<std::string> tags;
};

}  // namespace Quor
