#pragma once
// The core's own endpoints as the plugin reaches them through sendRequest:
//   GET  /quorclient/command-line-args         the --core-arg texts
//   GET  /data-store/v1/install-settings/KEY   the stored value (empty if never written)
//   POST /data-store/v1/install-settings/KEY   stores the request's argument
//   POST /telemetry/v1/events/NAME             recorded and printed
// Any other path is answered with an error text and status 404, another
// method on these paths with status 405. A request named by --fail-core
// answers the status and error text given there instead (telemetry sent to a
// failing endpoint is then not recorded).
//
// The answers are records this program owns: the plugin hands them back
// through their release function, releaseCoreResponse.

#include <string>
#include <vector>

#include "core_failures.h"
#include "install_settings_store.h"
#include "remoting/host_request.h"
#include "remoting/host_response.h"

namespace PluginHost {

class Output;

class CoreEndpoints {
 public:
  // A request matching one of `failures` gets its status and error text.
  CoreEndpoints(Output& output, std::vector<std::string> commandLineArgs, InstallSettingsStore& settings,
                std::vector<CoreFailure> failures = {});

  // Fills the response (whatever it held is overwritten, not freed: the
  // plugin hands in an empty record) and prints the request and its answer.
  void answer(Quor::HostResponse& response, const Quor::HostRequest& request);

 private:
  Output& output_;
  std::vector<std::string> commandLineArgs_;
  InstallSettingsStore& settings_;
  std::vector<CoreFailure> failures_;
};

// Frees what an answer of the core holds and zeroes the record.
void releaseCoreResponse(Quor::HostResponse* response);

}  // namespace PluginHost
