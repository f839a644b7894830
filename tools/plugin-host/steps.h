#pragma once
// The steps the simulator runs against the plugin, and their grammar:
//
//   [--arg NAME=JSON]... [--header NAME=VALUE]... GET|POST|PUT|DELETE PATH [BODY]
//   repeat N STEP            repeat N { STEP... }
//   event NAME JSON          wait          stats          describe
//   sleep SECONDS            hold          release        stop [SECONDS]
//   stop-in-yield [SECONDS]  background STEP
//
// BODY is any token that is not a step word; it travels as JSON text.
// A steps file holds the same tokens, one step a line by habit: blank lines
// and lines starting with "#" are skipped, and a token may be quoted as in a
// shell ('...' as written, "..." with \" and \\).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "binding/value.h"
#include "outcome.h"

namespace PluginHost {

struct NamedArgument {
  std::string name;  // empty: a positional argument
  Quor::Value value;
};

struct Header {
  std::string name;
  std::string value;
};

struct Step {
  enum class Kind { Request, Repeat, Event, Wait, Stats, Describe, Sleep, Hold, Release, Stop, StopInYield, Background };
  Kind kind = Kind::Wait;
  // Request
  std::uint32_t method = 0;  // a request method code: DELETE 1, GET 2, POST 6, PUT 7
  std::string path;
  std::optional<std::string> body;
  std::string contentType;  // the body's; empty: application/json
  std::vector<NamedArgument> arguments;
  std::vector<Header> headers;
  // Repeat (and Background: its one step)
  std::uint64_t count = 0;
  std::vector<Step> steps;
  // Event
  std::string eventName;
  Quor::Value payload;
  // Sleep: how long; Stop, StopInYield: how long to wait for the worker to
  // leave the plugin's callback.
  double seconds = 0;
};

// How long `stop` waits for the worker by default, and the longest sleep
// or wait a step may ask for.
inline constexpr double defaultStopWaitSeconds = 10;
inline constexpr double longestStepSeconds = 3600;

// Repeats may nest this deep.
inline constexpr int maxRepeatNesting = 16;
// A repeat runs at most this many times.
inline constexpr std::uint64_t maxRepeatCount = 100'000'000;

Outcome<std::vector<Step>> parseSteps(const std::vector<std::string>& tokens);

// The tokens of a steps file's text.
Outcome<std::vector<std::string>> splitStepsText(std::string_view text);

// "GET", "POST", ...; the empty text for other codes.
const char* requestMethodText(std::uint32_t code);

}  // namespace PluginHost
