// plugin-host [OPTIONS] [STEP...]: the platform core's side of the plugin
// ABI for integrators and tests. Loads the plugin DLL through its exported
// loader, starts it with a host function table of its own, runs the steps
// and prints what happens (with --serve it then serves the plugin over HTTP
// until told to stop), then stops and unloads it. --help lists the options
// and steps.

#include <cstdio>

#include "ansi_text.h"
#include "command_line.h"
#include "http_front.h"
#include "install_settings_store.h"
#include "output.h"
#include "plugin_session.h"

// The command line in full, kept in UTF-8: paths reach the system (and the
// plugin) whatever the ANSI code page lacks.
int wmain(int argc, wchar_t** wideArgv) {
  using namespace PluginHost;
  ToolText::Utf8Arguments arguments(argc, wideArgv);
  ParsedCommandLine parsed = parseCommandLine(arguments.argc(), arguments.argv());
  if (!parsed.commandLine) return parsed.exitCode;
  const CommandLine& line = *parsed.commandLine;

  Outcome<std::unique_ptr<InstallSettingsStore>> settings = InstallSettingsStore::open(line.session.storePath);
  if (!settings) {
    std::fprintf(stderr, "plugin-host: %s\n", settings.error().c_str());
    return exitWrongCommandLine;
  }
  Output output(line.json, stdout);
  PluginSession session(output, std::move(settings.value()), line.session);
  if (!session.open(line.session)) return exitPluginUnusable;
  session.run(line.steps);
  const bool served = !line.serve || serveHttp(session, output, *line.serve);
  session.close();
  return served ? exitSuccess : exitWrongCommandLine;
}
