#pragma once
// An HTTP request to one of the plugin's endpoints as a request step, and
// the plugin's answer as an HTTP reply. Typed arguments come as headers:
// "X-Plugin-Arg-<name>: <JSON>" names one, "X-Plugin-Arg: <JSON>" (in
// order, repeatable) gives one by position.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "outcome.h"
#include "output.h"
#include "remoting/host_endpoint.h"
#include "steps.h"

namespace PluginHost {

using HttpHeaders = std::vector<std::pair<std::string, std::string>>;

struct HttpRequestText {
  std::uint32_t method = 0;  // a request method code
  std::string target;        // path and query, as received
  HttpHeaders headers;       // in the order received
  std::string body;
};

// The request step; the failure (a malformed argument, a body that cannot
// travel as text) is the client's to mend. A named argument takes the
// spelling of the endpoint's parameter (header names may arrive in any case).
Outcome<Step> requestStep(const HttpRequestText& request, const Quor::HostEndpoint* endpoint);

struct HttpReply {
  int status = 200;
  std::string contentType;
  std::string body;
  HttpHeaders headers;
};

// Status 0 becomes 200, or 500 with an error text; an error text goes as
// {"error": TEXT}; a blob or a stream as its bytes with the answer's content
// type; any other body as JSON. The answer's headers follow, but none that
// framing or cross-origin reading depends on.
HttpReply replyFor(const PrintedAnswer& answer);

// {"error": message} with the status.
HttpReply errorReply(int status, std::string_view message);

}  // namespace PluginHost
