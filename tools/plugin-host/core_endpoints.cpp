#include "core_endpoints.h"

#include <cstring>
#include <string_view>

#include "binding/library_allocator.h"
#include "formats/value_text_writer.h"
#include "host_value_json.h"
#include "output.h"
#include "steps.h"

namespace PluginHost {
namespace {

constexpr std::string_view commandLinePath = "/quorclient/command-line-args";
constexpr std::string_view settingsPrefix = "/data-store/v1/install-settings/";
constexpr std::string_view telemetryPrefix = "/telemetry/v1/events/";
constexpr std::uint32_t getCode = 2;
constexpr std::uint32_t postCode = 6;
const char emptyText[1] = "";

// What the core answers, before it is written into the record.
struct CoreAnswer {
  std::int32_t status = 200;
  Quor::Value body;
  std::string error;  // non-empty: an error answer
};

CoreAnswer errorAnswer(std::int32_t status, std::string text) {
  CoreAnswer answer;
  answer.status = status;
  answer.error = std::move(text);
  return answer;
}

std::string methodText(std::uint32_t code) {
  const char* text = requestMethodText(code);
  if (*text != '\0') return text;
  static const char* const others[] = {"", "", "", "HEAD", "OPTIONS", "PATCH"};
  if (code < 6 && *others[code] != '\0') return others[code];
  return "method " + std::to_string(code);
}

}  // namespace

CoreEndpoints::CoreEndpoints(Output& output, std::vector<std::string> commandLineArgs, InstallSettingsStore& settings,
                             std::vector<CoreFailure> failures)
    : output_(output), commandLineArgs_(std::move(commandLineArgs)), settings_(settings), failures_(std::move(failures)) {}

void CoreEndpoints::answer(Quor::HostResponse& response, const Quor::HostRequest& request) {
  const std::string path = request.path != nullptr ? request.path : "";
  const std::string method = methodText(request.method);

  // The arguments as values, and as JSON for the printed line.
  std::vector<Quor::Value> arguments;
  std::vector<std::string> printedArguments;
  CoreAnswer answer;
  bool readable = request.argumentCount == 0 || request.arguments != nullptr;
  for (std::uint32_t index = 0; readable && index < request.argumentCount; ++index) {
    Quor::HostErrorSink sink{};
    Quor::Value value;
    if (!Quor::hostValueToValue(sink, value, request.arguments[index].value, "<argument>")) {
      answer = errorAnswer(400, sink.errorMessage != nullptr ? sink.errorMessage : "unreadable argument");
      if (sink.errorMessageOwned != 0) Quor::libraryFree(sink.errorMessage);
      readable = false;
      break;
    }
    printedArguments.push_back(Quor::valueToText(value, Quor::ValueTextStyle::Json));
    arguments.push_back(std::move(value));
  }
  if (!readable && answer.error.empty()) answer = errorAnswer(400, "the request's argument array is missing");

  bool telemetry = false;
  if (const CoreFailure* failure = findCoreFailure(failures_, method, path); readable && failure != nullptr) {
    answer = errorAnswer(failure->status, failure->text);
  } else if (readable) {
    if (path == commandLinePath) {
      if (request.method != getCode) {
        answer = errorAnswer(405, method + " " + path + ": the core answers GET only");
      } else {
        answer.body.makeCollection();
        for (const std::string& argument : commandLineArgs_) answer.body.appendElement().setString(argument);
      }
    } else if (path.starts_with(settingsPrefix) && path.size() > settingsPrefix.size()) {
      const std::string key = path.substr(settingsPrefix.size());
      if (request.method == getCode) {
        answer.body = settings_.read(key);
      } else if (request.method == postCode) {
        if (arguments.empty()) {
          answer = errorAnswer(400, "POST " + path + ": the request carries no value to store");
        } else if (Outcome<Done> stored = settings_.write(key, arguments.front()); !stored) {
          answer = errorAnswer(500, stored.error());
        }
      } else {
        answer = errorAnswer(405, method + " " + path + ": the core answers GET and POST only");
      }
    } else if (path.starts_with(telemetryPrefix) && path.size() > telemetryPrefix.size()) {
      if (request.method != postCode) {
        answer = errorAnswer(405, method + " " + path + ": the core answers POST only");
      } else {
        telemetry = true;
        output_.telemetry(path.substr(telemetryPrefix.size()),
                          printedArguments.empty() ? std::string("null") : printedArguments.front());
      }
    } else {
      answer = errorAnswer(404, "The core has no endpoint " + method + " " + path);
    }
  }

  std::memset(static_cast<void*>(&response), 0, sizeof response);
  response.release = releaseCoreResponse;
  response.contentType = emptyText;
  response.status = answer.status;
  PrintedAnswer printed;
  printed.status = answer.status;
  if (!answer.error.empty()) {
    response.errorMessage = Quor::libraryDuplicateText(answer.error.c_str());
    response.errorMessageOwned = 1;
    printed.error = answer.error;
  } else if (Outcome<Quor::HostValue> body = ownedHostValue(answer.body); body) {
    response.body = body.value();
    printed.body = Quor::valueToText(answer.body, Quor::ValueTextStyle::Json);
  } else {
    response.status = printed.status = 500;
    response.errorMessage = Quor::libraryDuplicateText(body.error().c_str());
    response.errorMessageOwned = 1;
    printed.error = body.error();
  }
  if (!telemetry) output_.coreRequest(method, path, printedArguments, printed);
}

void releaseCoreResponse(Quor::HostResponse* response) {
  if (response == nullptr) return;
  Quor::releaseHostValue(response->body);
  if (response->errorMessageOwned != 0) Quor::libraryFree(response->errorMessage);
  std::memset(static_cast<void*>(response), 0, sizeof *response);
}

}  // namespace PluginHost
