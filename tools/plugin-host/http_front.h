#pragma once
// plugin-host --serve: the plugin's endpoints over HTTP on a loopback
// address, beside the simulator's own under /_host/ (describe, stats,
// events, wait, shutdown, the event stream) and its page at "/".

#include "plugin_session.h"
#include "serve_address.h"

namespace PluginHost {

// Serves until POST /_host/shutdown or Ctrl-C; false (the reason on standard
// error) when the address cannot be bound, which ends the program as a wrong
// command line does. The plugin stays the caller's to
// close.
bool serveHttp(PluginSession& session, Output& output, ServeAddress address);

}  // namespace PluginHost
