#pragma once
// Failures on demand: an endpoint of the core that answers a chosen status
// and error text instead of doing its work (--fail-core), so that the
// plugin's paths for a failing core can be run end to end.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "outcome.h"

namespace PluginHost {

struct CoreFailure {
  std::string method;  // GET, POST, PUT or DELETE
  std::string path;    // the whole path, query included
  std::int32_t status = 500;
  std::string text;
};

// From the option's two values: METHOD and PATH=STATUS:TEXT, STATUS a number
// from 100 to 599 and TEXT not empty (one pair of double quotes around it is
// taken off). The first "=" followed by a status and ":" ends the path.
Outcome<CoreFailure> parseCoreFailure(std::string_view method, std::string_view pathAndAnswer);

// The failure set for this request (the last given wins), or null.
const CoreFailure* findCoreFailure(const std::vector<CoreFailure>& failures, std::string_view method,
                                   std::string_view path);

}  // namespace PluginHost
