#pragma once
// The simulator's command line: options first, then the steps.

#include <optional>
#include <string>
#include <vector>

#include "plugin_session.h"
#include "serve_address.h"
#include "steps.h"

namespace PluginHost {

struct CommandLine {
  SessionOptions session;
  std::string pluginName;  // picks Plugins\<name>\<name>.dll when --plugin is not given
  bool json = false;
  std::vector<Step> steps;
  std::optional<ServeAddress> serve;  // --serve: HTTP after the steps
};

// The parsed command line, or the exit code when the program should end at
// once (help printed: 0; a wrong command line, reported on standard error: 2).
struct ParsedCommandLine {
  std::optional<CommandLine> commandLine;
  int exitCode = 0;
};

ParsedCommandLine parseCommandLine(int argc, char** argv);

}  // namespace PluginHost
