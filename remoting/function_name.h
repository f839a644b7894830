#pragma once
// The name of the function that serves a method and path.

#include <cstdint>
#include <string>
#include <string_view>

namespace Quor {

// The method's name ("GET" gives "Get/"; none and custom methods give
// nothing) followed by the path, written as one identifier: "!", "+", "-",
// ".", "/" and "_" are dropped and make the next character upper case, "{"
// becomes "By" and does the same, "}" is dropped, and the first character is
// upper case. GET "/qel-beta-opt-in/v1/needs-migration" is named
// "GetQelBetaOptInV1NeedsMigration"; PUT "/a/{id}/b_c" is "PutAByIdBC".
std::string functionNameFor(std::uint32_t methodCode, std::string_view path);

}  // namespace Quor
