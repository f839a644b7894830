#pragma once
// The answer a bound function builds, before it is written into the core's
// response record.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "binding/value.h"
#include "remoting/response_stream.h"

namespace Quor {

struct RemotingResponse {
  ValueResult result;  // the function's result, or its failure
  std::uint8_t transferFlag = 0;
  std::int32_t transferMode = 0;
  std::uint32_t status = 0;
  std::string contentType;
  std::map<std::string, std::string> headers;
  std::unique_ptr<ResponseStream> stream;

  // Replaces the result with a failure carrying message and destroys any
  // stream the response holds.
  void setError(std::string_view message);
};

}  // namespace Quor
