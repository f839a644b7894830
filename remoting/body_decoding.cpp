#include "remoting/body_decoding.h"

#include "remoting/content_decoding.h"
#include "remoting/dispatch_messages.h"

namespace Quor {

namespace {

constexpr ContentTypeName bodyJsonTypes[] = {ContentTypes::json, ContentTypes::jsonApi};

constexpr ContentRules requestBodyRules{
    .jsonTypes = bodyJsonTypes,
    .yamlType = ContentTypes::yaml,
    .recognisesUntypedStructures = false,
    .bytesAfterMessagePack = DispatchMessages::extraMessagePackData,
    .unsupportedType = DispatchMessages::unsupportedBodyContentType,
    .bytesMayBeCText = true,
};

}  // namespace

ValueResult decodeBody(std::string_view contentType, const void* body, std::size_t length) {
  return std::move(
      decodeContent(requestBodyRules, contentType, std::string_view(static_cast<const char*>(body), length), false)
          .result);
}

}  // namespace Quor
