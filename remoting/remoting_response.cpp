#include "remoting/remoting_response.h"

namespace Quor {

void RemotingResponse::setError(std::string_view message) {
  result = ValueResult::failure(message);
  stream.reset();
}

}  // namespace Quor
