#pragma once
// Turning an argument text into a value, by content type or by what the text
// looks like.

#include <string_view>

#include "binding/value.h"
#include "remoting/remoting_response.h"

namespace Quor {

// Assigns text to target, by the first rule that applies:
//   1. content type "application/x-msgpack...", or structured without a
//      content type and a first byte 0x80-0x9F or 0xDC-0xDF: MessagePack
//      (bytes after the value are ignored);
//   2. "application/json...", or structured without a content type and "{"
//      or "[" after leading spaces: JSON;
//   3. "text/x-yaml...", or structured without a content type and "---"
//      after leading spaces: YAML;
//   4. "application/octet-stream...": the bytes as a blob;
//   5. otherwise the text as a string.
// Content types compare by prefix, without regard to case. A decoder failure
// fails the response with "Couldn't deserialize <format> value for parameter
// '<parameterName>' of '<functionName>': <decoder message>" and leaves target
// as it was.
void assignText(RemotingResponse& response, Value& target, std::string_view text, std::string_view parameterName,
                std::string_view functionName, std::string_view contentType, bool structured);

}  // namespace Quor
