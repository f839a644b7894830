#pragma once
// One call of a matched function, from the core's request record to the
// core's response record.

#include "remoting/host_request.h"
#include "remoting/host_response.h"
#include "remoting/route.h"

namespace Quor {

// Binds the arguments in this order, each source replacing what an earlier
// one put into the same argument: header texts, path parameters, query
// texts, the core's typed arguments (all four only until the first failure)
// and the body (always; its failure replaces an earlier one). Then, unless
// the response failed, prepares and calls the function, handing it the
// request record when it asks for one; writes the response into
// hostResponse (reset before) and releases the prepared arguments.
// Exceptions of the standard library (memory, container length) and of the
// function are answered as failures with status 500.
void invoke(HostResponse& hostResponse, const HostRequest& hostRequest, const RouteMatch& match);

// Time in 100-nanosecond ticks since 1970-01-01 UTC.
std::int64_t ticksSinceUnixEpoch();

}  // namespace Quor
