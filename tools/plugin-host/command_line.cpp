#include "command_line.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "plugin_library.h"
#include "qcp_version.h"

namespace PluginHost {
namespace {

constexpr const char* defaultPluginName = "qcp-be-qel-beta-opt-in";

constexpr const char* stepsHelp = R"(Steps, run in order after the plugin has started:
  GET|POST|PUT|DELETE PATH [BODY]
                     a request to the plugin's endpoint for that method and
                     path (query included); BODY is JSON text sent as
                     application/json. Before it:
                       --arg NAME=JSON     a typed argument (empty NAME: by position)
                       --header NAME=VALUE a request header
  repeat N STEP      runs STEP N times; repeat N { STEP... } runs several
  event NAME JSON    delivers an event to the handler the plugin registered for NAME
  wait               waits until every scheduled job has run
  stats              prints the plugin's memory statistics
  describe           prints the plugin's registration answer as JSON
  sleep SECONDS      waits that long (a fraction allowed), jobs running meanwhile
  hold               jobs scheduled from now on are held, not run ...
  release            ... until this step releases them
  stop [SECONDS]     stops the plugin now, without waiting for its jobs; then
                     fires the callbacks of the jobs not run yet (they must do
                     nothing), waits up to SECONDS (default 10) for the worker
                     to leave the plugin's callback and unloads the plugin.
                     Only sleep steps may follow.
  stop-in-yield [SECONDS]
                     the plugin's next yield (on whatever thread) calls stop
                     from inside it; once the step that yielded is over, the
                     stop is finished as by stop SECONDS. Later steps but
                     sleep are skipped once the plugin is stopped.
  background STEP    runs STEP (a request, an event or a repeat) on a thread
                     of its own and goes on at once; it is joined before the
                     plugin is unloaded, and skips what comes after a stop.

Once stop has returned, every call the plugin still makes into the core
(releasing an answer or a stream excepted) is printed as a late-call line.

The core's endpoints the plugin may call: GET /quorclient/command-line-args,
GET and POST /data-store/v1/install-settings/<key>, POST /telemetry/v1/events/<name>;
--fail-core makes one of them answer a chosen status and error text instead.

Exit codes: 0 every step ran (whatever the plugin answered); 1 the plugin could
not be loaded or started; 2 a wrong command line; 3 the worker was still inside
the plugin's callback when stop's limit ran out (the plugin is not unloaded). A
core the plugin refuses ends the process from inside the plugin.

Example:
  plugin-host --core-arg --from-kxu GET /qel-beta-opt-in/v1/needs-migration)";

// "X.Y.Z" with three unsigned 32-bit numbers.
std::string parseVersion(const std::string& text, std::array<std::uint32_t, 3>& version) {
  const char* position = text.data();
  const char* end = text.data() + text.size();
  for (std::size_t part = 0; part < 3; ++part) {
    const auto [next, error] = std::from_chars(position, end, version[part]);
    if (error != std::errc{} || next == position) return "expected X.Y.Z with three whole numbers";
    position = next;
    if (part < 2) {
      if (position == end || *position != '.') return "expected X.Y.Z with three whole numbers";
      ++position;
    }
  }
  return position == end ? std::string() : "expected X.Y.Z with three whole numbers";
}

// CLI11's usage line knows nothing of the steps after the options.
class UsageFormatter : public CLI::Formatter {
 public:
  std::string make_usage(const CLI::App*, std::string) const override {
    return "Usage: plugin-host [OPTIONS] [STEP...]\n";
  }
};

// The words after the program's name, with "--fail-core METHOD X" made
// "--fail-core" "METHOD X".
std::vector<std::string> joinedFailCoreWords(int argc, char** argv) {
  std::vector<std::string> words(argv + 1, argv + argc);
  for (std::size_t index = 0; index + 2 < words.size(); ++index) {
    const std::string& method = words[index + 1];
    const bool methodWord = !method.empty() && method.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") == std::string::npos;
    if (words[index] != "--fail-core" || !methodWord) continue;
    words[index + 1] = method + ' ' + words[index + 2];
    words.erase(words.begin() + static_cast<std::ptrdiff_t>(index) + 2);
  }
  return words;
}

int wrong(const std::string& message) {
  std::fprintf(stderr, "plugin-host: %s\nRun with --help for more information.\n", message.c_str());
  return exitWrongCommandLine;
}

}  // namespace

ParsedCommandLine parseCommandLine(int argc, char** argv) {
  CommandLine line;
  line.pluginName = defaultPluginName;
  std::string coreVersion = "18.0.0";
  std::string stepsFile;
  std::string serveText;

  CLI::App app{
      "plugin-host: loads a plugin DLL as the platform core does, serves the core's endpoints to it and runs "
      "steps against it, printing every response, event, job, core request and log line.",
      "plugin-host"};
  app.footer(stepsHelp);
  app.formatter(std::make_shared<UsageFormatter>());
  app.add_option("--plugin", line.session.pluginPath,
                 "The plugin DLL to load (default: Plugins\\<name>\\<name>.dll beside this program)")
      ->type_name("FILE");
  app.add_option("--name", line.pluginName, "The plugin's folder and file name under Plugins")
      ->type_name("NAME")
      ->capture_default_str();
  app.add_option("--core-version", coreVersion, "The plugin API version the core announces")
      ->type_name("X.Y.Z")
      ->capture_default_str();
  app.add_option("--core-arg", line.session.coreArgs,
                 "A text of the core's command line, answered by /quorclient/command-line-args (repeatable)")
      ->type_name("TEXT")
      ->allow_extra_args(false);
  app.add_option("--store", line.session.storePath,
                 "Keep the install settings in this JSON file (read at start, rewritten atomically on each "
                 "change) instead of in memory")
      ->type_name("FILE");
  app.add_option("--steps", stepsFile, "Read the steps from this file (one a line; # starts a comment)")
      ->type_name("FILE");
  app.set_version_flag("--version", "plugin-host " QCP_VERSION_TEXT);
  std::vector<std::string> failureValues;
  // Options end at the first step, so the option's two words are made one
  // before CLI11 sees them (whose parse takes the words last first).
  std::vector<std::string> words = joinedFailCoreWords(argc, argv);
  std::reverse(words.begin(), words.end());
  app.add_option("--fail-core", failureValues,
                 "Make the core's endpoint METHOD PATH answer STATUS with the error TEXT (repeatable), e.g. "
                 "--fail-core GET /quorclient/command-line-args=500:\"no arguments\"")
      ->type_name("METHOD PATH=STATUS:TEXT")
      ->allow_extra_args(false);
  app.add_option("--stream-answers", line.session.streamBytesPerRead,
                 "Answer the core's endpoints as streamed answers of at most BYTES bytes per read (1 to 4096), "
                 "\"more\" set until the last read")
      ->type_name("BYTES")
      ->check(CLI::Range(1, 4096));
  app.add_flag("--json", line.json, "Print every line as a JSON object with a \"type\" member");
  app.add_option("--serve", serveText,
                 "After the steps, serve the plugin's endpoints over HTTP on this loopback address (127.0.0.1 "
                 "by default; port 0 picks a free one) until Ctrl-C or POST /_host/shutdown; implies --json")
      ->type_name("[ADDRESS:]PORT");
  // Options end at the first step; what follows, --arg and --header
  // included, is read as steps.
  app.prefix_command();
  app.allow_extras();

  try {
    app.parse(words);
  } catch (const CLI::CallForHelp&) {
    std::printf("%s", app.help().c_str());
    return {std::nullopt, exitSuccess};
  } catch (const CLI::CallForVersion& version) {
    std::printf("%s\n", version.what());
    return {std::nullopt, exitSuccess};
  } catch (const CLI::ParseError& error) {
    return {std::nullopt, wrong(error.what())};
  }

  if (const std::string problem = parseVersion(coreVersion, line.session.coreVersion); !problem.empty()) {
    return {std::nullopt, wrong("--core-version " + coreVersion + ": " + problem)};
  }
  if (line.pluginName.empty() || line.pluginName.find_first_of("\\/:") != std::string::npos) {
    return {std::nullopt, wrong("--name " + line.pluginName + ": expected a file name without folders")};
  }
  for (const std::string& value : failureValues) {
    const std::size_t blank = value.find(' ');
    Outcome<CoreFailure> failure =
        blank == std::string::npos ? parseCoreFailure(value, "")
                                   : parseCoreFailure(std::string_view(value).substr(0, blank), value.substr(blank + 1));
    if (!failure) return {std::nullopt, wrong(failure.error())};
    line.session.coreFailures.push_back(std::move(failure.value()));
  }
  if (line.session.pluginPath.empty()) line.session.pluginPath = defaultPluginPath(line.pluginName);
  if (!serveText.empty()) {
    Outcome<ServeAddress> address = parseServeAddress(serveText);
    if (!address) return {std::nullopt, wrong(address.error())};
    line.serve = address.value();
    line.json = true;  // the printed lines are the objects the event stream carries
  }

  std::vector<std::string> tokens = app.remaining();
  if (!stepsFile.empty()) {
    if (!tokens.empty()) return {std::nullopt, wrong("give the steps either on the command line or in --steps FILE")};
    std::ifstream file(stepsFile, std::ios::binary);
    if (!file) return {std::nullopt, wrong("--steps " + stepsFile + ": the file cannot be opened")};
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    Outcome<std::vector<std::string>> split = splitStepsText(text);
    if (!split) return {std::nullopt, wrong(split.error())};
    tokens = std::move(split.value());
  }
  Outcome<std::vector<Step>> steps = parseSteps(tokens);
  if (!steps) return {std::nullopt, wrong(steps.error())};
  line.steps = std::move(steps.value());
  // After a stop step the plugin is unloaded: there is nothing left to serve.
  for (const Step& step : line.steps) {
    if (line.serve && (step.kind == Step::Kind::Stop || step.kind == Step::Kind::StopInYield)) {
      return {std::nullopt, wrong("--serve cannot follow a stop step")};
    }
  }
  return {std::move(line), exitSuccess};
}

}  // namespace PluginHost
