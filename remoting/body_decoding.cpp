#include "remoting/body_decoding.h"

#include <cstring>
#include <string>

#include "formats/json_reader.h"
#include "formats/msgpack_reader.h"
#include "formats/yaml_reader.h"
#include "remoting/content_types.h"
#include "remoting/dispatch_messages.h"

namespace Quor {

namespace {

// The body as a terminated text: the body itself when it is terminated
// within its length (or has no length), else a terminated copy of its bytes.
class BodyText {
 public:
  BodyText(const void* body, std::size_t length) {
    const char* text = static_cast<const char*>(body);
    if (length == 0 || std::memchr(text, '\0', length) != nullptr) {
      text_ = text;
    } else {
      copy_.assign(text, length);
      text_ = copy_.c_str();
    }
  }
  const char* c_str() const { return text_; }

 private:
  const char* text_ = nullptr;
  std::string copy_;
};

}  // namespace

ValueResult decodeBody(std::string_view contentType, const void* body, std::size_t length) {
  if (contentTypeMatches(contentType, ContentTypes::msgpack)) {
    MessagePackReading reading = parseMessagePack(body, length);
    if (reading.result.ok() && reading.position < length) {
      return ValueResult::failure(DispatchMessages::extraMessagePackData);
    }
    return std::move(reading.result);
  }
  if (contentTypeMatches(contentType, ContentTypes::json) || contentTypeMatches(contentType, ContentTypes::jsonApi)) {
    return parseJson(BodyText(body, length).c_str());
  }
  if (contentTypeMatches(contentType, ContentTypes::yaml)) {
    return parseYaml(BodyText(body, length).c_str());
  }
  return ValueResult::failure(DispatchMessages::unsupportedBodyContentType);
}

}  // namespace Quor
