#pragma once
// The test plugin's items route: a path parameter, the rest of the path, a
// query argument and a JSON body, answered as a structure. The test plugin
// serves it, and the crossing benchmark registers the same route in process
// so both sides do the same work.

#include <cstdint>
#include <string>

#include "binding/value.h"
#include "remoting/transport.h"

namespace Quor {

inline RegistrationBuilder addTestItemsRoute(Transport& transport) {
  return transport
      .addRoute(RequestMethod::Post, "/test-plugin/v1/items/{id}?{+query}",
                [](std::int32_t id, const std::string&, std::int32_t limit, const Value& body) {
                  Value answer;
                  answer.makeStructure();
                  answer.writeMember("id").setSigned(id);
                  answer.writeMember("limit").setSigned(limit);
                  answer.writeMember("name").setString(body.member("name").getString());
                  answer.writeMember("tagCount").setUnsigned(static_cast<std::uint64_t>(body.member("tags").size()));
                  return answer;
                })
      .parameter(0, "id")
      .parameter(1, "query")
      .parameter(2, "limit")
      .parameter(3, "body")
      .location(0, ArgumentLocation::Path)
      .location(1, ArgumentLocation::Path)
      .location(2, ArgumentLocation::Query)
      .location(3, ArgumentLocation::Body);
}

}  // namespace Quor
