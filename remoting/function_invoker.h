#pragma once
// The call interface of a bound function: its arguments arrive as Value
// trees, are converted to the native parameters, the function is called, and
// its result is written into the response.
//
// One invoker serves every request of its function, on whatever threads the
// core calls in on: the native arguments of one call live in what prepare
// hands back (the token), never in the invoker.

#include <cstdint>
#include <vector>

#include "binding/fnv1a.h"
#include "binding/static_type.h"
#include "binding/value.h"
#include "remoting/remoting_request.h"
#include "remoting/remoting_response.h"

namespace Quor {

class FunctionInvoker {
 public:
  virtual ~FunctionInvoker() = default;

  // Converts the arguments (one per parameter) to the native parameters.
  // Failures go to response. The answer is a token for invoke and release;
  // 0 stands for nothing to release. The arguments are this call's own: an
  // invoker whose function is not handed the request (requestType() null)
  // may move a Value argument into its parameter instead of copying it.
  virtual std::uint32_t prepare(RemotingResponse& response, std::vector<Value>& arguments,
                                std::uint32_t requestId) = 0;
  // Calls the function with the arguments of token. request is null unless
  // requestType() names a request record; the result or failure goes to
  // response.
  virtual void invoke(RemotingResponse& response, const RemotingRequest* request, std::uint32_t token,
                      std::uint32_t requestId) = 0;
  // Frees what prepare made for token.
  virtual void release(std::uint32_t token) noexcept = 0;
  // The hash code of the request record the function takes, or null when it
  // takes none.
  virtual const std::uint32_t* requestType() const = 0;
};

// The other name under which the core knows the request record.
inline constexpr std::uint32_t httpBaseTransportRequestHashCode =
    fnv1a("unsigned int __cdecl StaticType::HashCode<struct Quor::HttpBaseTransport::Request>(void)");

// Whether a function whose requestType() is type is handed the request.
inline bool takesRemotingRequest(const std::uint32_t* type) {
  return type != nullptr &&
         (*type == httpBaseTransportRequestHashCode || *type == StaticType::HashCode<RemotingRequest>());
}

}  // namespace Quor
