#pragma once
// Reading a request body by its content type.

#include <cstddef>
#include <string_view>

#include "binding/value.h"

namespace Quor {

// Decodes a request body. The content type is compared by prefix without
// regard to case:
//   "application/x-msgpack" (also "...-ext"): MessagePack over length bytes;
//     bytes left after the value fail with "Extra MessgePack data found in body";
//   "application/json", "application/vnd.api+json": JSON;
//   "application/x-yaml": YAML;
//   anything else: "Unsupported body content type".
// JSON and YAML bodies are texts that end at their first NUL; when length is
// not 0 the text also ends after length bytes, so a body the core did not
// terminate is never read beyond its length. Decoder failures carry the
// decoder's message.
ValueResult decodeBody(std::string_view contentType, const void* body, std::size_t length);

}  // namespace Quor
