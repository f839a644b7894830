#pragma once
// A request step as the record the core hands to an endpoint, and the
// reading of the answer the plugin fills in.

#include <cstdint>
#include <string>
#include <vector>

#include "output.h"
#include "remoting/host_request.h"
#include "remoting/host_response.h"
#include "steps.h"

namespace PluginHost {

// Owns everything the request record points to: the path, the typed
// arguments (records owned by this program), the headers and the body.
class PreparedRequest {
 public:
  // Fails when an argument cannot become a record.
  static Outcome<PreparedRequest> prepare(const Step& step);

  PreparedRequest(PreparedRequest&& other) noexcept;
  PreparedRequest& operator=(PreparedRequest&&) = delete;
  PreparedRequest(const PreparedRequest&) = delete;
  ~PreparedRequest();

  // The record for the endpoint's context; valid while this object lives.
  const Quor::HostRequest& request(void* endpointContext, std::uint32_t requestId);

 private:
  PreparedRequest() = default;
  void point();

  std::uint32_t method_ = 0;
  std::string path_;
  std::vector<std::string> argumentNames_;
  std::vector<Quor::HostRequestArgument> arguments_;
  std::vector<Header> headerTexts_;
  std::vector<Quor::HostHeader> headers_;
  std::string body_;
  std::string contentType_;
  bool hasBody_ = false;
  Quor::HostRequest request_{};
};

// Reads what the plugin wrote into the response, a streamed answer
// included (its stream released through streamRelease), then hands the
// record back through its release function.
PrintedAnswer takeAnswer(Quor::HostResponse& response);

}  // namespace PluginHost
