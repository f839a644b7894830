#pragma once
// What the simulator prints, one line per happening, in the order things
// happen: readable text, or with --json one JSON object per line whose
// "type" member says what it is. Lines come from the main thread and from
// the job thread; each is written whole and flushed.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "binding/memory_statistics.h"

namespace PluginHost {

// The answer to a request, as printed: a body (JSON text) or an error text.
struct PrintedAnswer {
  std::int32_t status = 0;
  std::optional<std::string> body;   // JSON text
  std::optional<std::string> error;  // the answer's error text
  std::string contentType;
  std::vector<std::pair<std::string, std::string>> headers;
  std::optional<std::string> stream;  // the text read from a streamed answer
  std::optional<std::string> blob;    // a blob body's bytes (body holds them as base64 text)
};

struct LoadedPlugin {
  std::string name;
  std::string path;
  std::string apiVersion;
  std::uint32_t endpoints = 0;
  std::uint32_t types = 0;
  std::uint32_t events = 0;
};

class Output {
 public:
  Output(bool json, std::FILE* stream) : json_(json), stream_(stream) {}

  bool json() const { return json_; }

  // Hands every line written from now on, without its line end, to tee as
  // well (under the same lock, so in the same order); an empty function
  // ends that.
  void teeTo(std::function<void(const std::string&)> tee) {
    const std::lock_guard<std::mutex> lock(mutex_);
    tee_ = std::move(tee);
  }

  void loaded(const LoadedPlugin& plugin);
  void started(bool started, std::uint32_t pluginId);
  void stopped();
  // The stop step: called, returned after `milliseconds`, the worker left
  // the plugin's callback `milliseconds` after the call, or was still in it
  // when the limit of `seconds` ran out.
  void stopCalled();
  void stopReturned(std::int64_t milliseconds);
  void workerLeft(std::int64_t milliseconds);
  void workerStuck(double seconds);
  void unloaded();
  void response(std::string_view method, std::string_view path, const PrintedAnswer& answer);
  void coreRequest(std::string_view method, std::string_view path, const std::vector<std::string>& arguments,
                   const PrintedAnswer& answer);
  void telemetry(std::string_view name, std::string_view dataJson);
  // direction: "published" (plugin to core), "delivered" (core to plugin),
  // "undelivered" (no handler registered for the name).
  void event(std::string_view direction, std::string_view name, std::string_view payloadJson);
  // state: "scheduled", "held" (scheduled while jobs are held), "released",
  // "started", "ended", "dropped" (never run), "refused".
  void job(std::string_view state, std::string_view name, std::uint64_t id, double delaySeconds);
  void log(std::uint32_t level, std::string_view message);
  // A call the plugin made into the core after its stop had returned.
  void lateCall(std::string_view function);
  // The plugin released a streamed answer after `reads` reads, having read
  // `bytesRead` of its `bytes` bytes.
  void streamReleased(std::uint64_t reads, std::uint64_t bytesRead, std::uint64_t bytes);
  // These two return the line they wrote.
  std::string stats(const Quor::MemoryStatistics& statistics);
  std::string describe(std::string_view descriptionJson);
  // The simulator serves HTTP at url.
  void serving(std::string_view url);

 private:
  std::string write(std::string line);

  bool json_;
  std::FILE* stream_;
  std::function<void(const std::string&)> tee_;
  std::mutex mutex_;
};

// The name of a log level: OKAY, WARN, ERROR, ALWAYS, or its number.
std::string logLevelName(std::uint32_t level);

// Compact JSON text laid out with two-space indentation.
std::string indentJson(std::string_view compact);

}  // namespace PluginHost
