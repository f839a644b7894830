#include "output.h"

#include <cinttypes>

#include "ansi_text.h"
#include "formats/json_writer.h"

namespace PluginHost {
namespace {

// A JSON line: the "type" member first, then the members added in order.
class JsonLine {
 public:
  explicit JsonLine(std::string_view type) {
    writer_.startObject();
    text("type", type);
  }
  JsonLine& text(std::string_view name, std::string_view value) {
    writer_.key(name);
    writer_.string(value);
    return *this;
  }
  JsonLine& number(std::string_view name, std::uint64_t value) {
    writer_.key(name);
    writer_.unsignedInteger(value);
    return *this;
  }
  JsonLine& signedNumber(std::string_view name, std::int64_t value) {
    writer_.key(name);
    writer_.signedInteger(value);
    return *this;
  }
  JsonLine& real(std::string_view name, double value) {
    writer_.key(name);
    writer_.number(value);
    return *this;
  }
  JsonLine& boolean(std::string_view name, bool value) {
    writer_.key(name);
    writer_.boolean(value);
    return *this;
  }
  JsonLine& raw(std::string_view name, std::string_view json) {
    writer_.key(name);
    writer_.raw(json);
    return *this;
  }
  JsonLine& answer(const PrintedAnswer& answer) {
    signedNumber("status", answer.status);
    if (answer.error) text("error", *answer.error);
    if (answer.body) raw("body", *answer.body);
    if (!answer.contentType.empty()) text("contentType", answer.contentType);
    if (!answer.headers.empty()) {
      writer_.key("headers");
      writer_.startObject();
      for (const auto& [name, value] : answer.headers) {
        writer_.key(name);
        writer_.string(value);
      }
      writer_.endObject();
    }
    if (answer.stream) text("stream", *answer.stream);
    return *this;
  }
  std::string finish() {
    writer_.endObject();
    return writer_.takeText();
  }

 private:
  Quor::JsonWriter writer_;
};

std::string quoted(std::string_view text) {
  Quor::JsonWriter writer;
  writer.string(text);
  return writer.takeText();
}

std::string answerText(const PrintedAnswer& answer) {
  std::string line = std::to_string(answer.status);
  if (answer.error) {
    line += " error: " + *answer.error;
  } else if (answer.body) {
    line += ' ' + *answer.body;
  }
  if (!answer.contentType.empty()) line += " (content type " + answer.contentType + ")";
  for (const auto& [name, value] : answer.headers) line += " [" + name + ": " + value + "]";
  if (answer.stream) line += " stream " + quoted(*answer.stream);
  return line;
}

}  // namespace

std::string logLevelName(std::uint32_t level) {
  static const char* const names[] = {"OKAY", "WARN", "ERROR", "ALWAYS"};
  return level < 4 ? names[level] : std::to_string(level);
}

void Output::loaded(const LoadedPlugin& plugin) {
  if (json_) {
    write(JsonLine("plugin")
              .text("state", "loaded")
              .text("name", plugin.name)
              .text("path", plugin.path)
              .text("apiVersion", plugin.apiVersion)
              .number("endpoints", plugin.endpoints)
              .number("types", plugin.types)
              .number("events", plugin.events)
              .finish());
    return;
  }
  write("plugin loaded " + plugin.name + " from " + plugin.path + ": plugin API " + plugin.apiVersion + ", " +
        std::to_string(plugin.endpoints) + " endpoints, " + std::to_string(plugin.types) + " types, " +
        std::to_string(plugin.events) + " events");
}

void Output::started(bool started, std::uint32_t pluginId) {
  if (json_) {
    write(JsonLine("plugin").text("state", started ? "started" : "not started").number("pluginId", pluginId).finish());
    return;
  }
  write(started ? "plugin started as plugin " + std::to_string(pluginId) : std::string("plugin did not start"));
}

void Output::stopped() { write(json_ ? JsonLine("plugin").text("state", "stopped").finish() : "plugin stopped"); }

void Output::stopCalled() {
  write(json_ ? JsonLine("plugin").text("state", "stop called").finish() : "plugin stop called");
}

void Output::stopReturned(std::int64_t milliseconds) {
  write(json_ ? JsonLine("plugin").text("state", "stop returned").signedNumber("milliseconds", milliseconds).finish()
              : "plugin stop returned after " + std::to_string(milliseconds) + " ms");
}

void Output::workerLeft(std::int64_t milliseconds) {
  write(json_ ? JsonLine("plugin").text("state", "worker left").signedNumber("milliseconds", milliseconds).finish()
              : "plugin worker left the callback " + std::to_string(milliseconds) + " ms after stop");
}

void Output::workerStuck(double seconds) {
  char text[96];
  std::snprintf(text, sizeof text, "plugin worker still in the callback after %.3f s: not unloaded", seconds);
  write(json_ ? JsonLine("plugin").text("state", "worker stuck").real("seconds", seconds).finish() : text);
}

void Output::unloaded() {
  write(json_ ? JsonLine("plugin").text("state", "unloaded").finish() : "plugin unloaded");
}

void Output::response(std::string_view method, std::string_view path, const PrintedAnswer& answer) {
  if (json_) {
    write(JsonLine("response").text("method", method).text("path", path).answer(answer).finish());
    return;
  }
  write("response " + std::string(method) + ' ' + std::string(path) + " -> " + answerText(answer));
}

void Output::coreRequest(std::string_view method, std::string_view path, const std::vector<std::string>& arguments,
                         const PrintedAnswer& answer) {
  if (json_) {
    std::string list = "[";
    for (const std::string& argument : arguments) {
      if (list.size() > 1) list += ',';
      list += argument;
    }
    list += ']';
    write(JsonLine("core-request")
              .text("method", method)
              .text("path", path)
              .raw("arguments", list)
              .answer(answer)
              .finish());
    return;
  }
  std::string line = "core-request " + std::string(method) + ' ' + std::string(path);
  for (const std::string& argument : arguments) line += ' ' + argument;
  write(line + " -> " + answerText(answer));
}

void Output::telemetry(std::string_view name, std::string_view dataJson) {
  if (json_) {
    write(JsonLine("telemetry").text("name", name).raw("data", dataJson).finish());
    return;
  }
  write("telemetry " + std::string(name) + ' ' + std::string(dataJson));
}

void Output::event(std::string_view direction, std::string_view name, std::string_view payloadJson) {
  if (json_) {
    write(JsonLine("event").text("direction", direction).text("name", name).raw("payload", payloadJson).finish());
    return;
  }
  if (direction == "undelivered") {
    write("event undelivered " + std::string(name) + ": the plugin registered no handler for it");
    return;
  }
  write("event " + std::string(direction) + ' ' + std::string(name) + ' ' + std::string(payloadJson));
}

void Output::job(std::string_view state, std::string_view name, std::uint64_t id, double delaySeconds) {
  if (json_) {
    JsonLine line("job");
    line.text("state", state).text("name", name).number("id", id);
    if (state == "scheduled" || state == "held") line.real("delaySeconds", delaySeconds);
    write(line.finish());
    return;
  }
  std::string line = "job " + std::string(state) + ' ' + std::string(name) + " #" + std::to_string(id);
  if (state == "scheduled" || state == "held") {
    char delay[48];
    std::snprintf(delay, sizeof delay, " in %.3f s", delaySeconds);
    line += delay;
  }
  write(line);
}

void Output::log(std::uint32_t level, std::string_view message) {
  if (json_) {
    write(JsonLine("log").number("level", level).text("levelName", logLevelName(level)).text("message", ToolText::ansiToUtf8(message)).finish());
    return;
  }
  write("log " + logLevelName(level) + ' ' + std::string(message));
}

std::string Output::stats(const Quor::MemoryStatistics& statistics) {
  const std::uint64_t liveBytes = statistics.bytesAllocated - statistics.bytesFreed;
  const std::uint64_t liveBlocks = statistics.allocationCount - statistics.freeCount;
  if (json_) {
    return write(JsonLine("stats")
              .number("liveBytes", liveBytes)
              .number("liveBlocks", liveBlocks)
              .number("peakLiveBytes", statistics.peakLiveBytes)
              .number("liveBlocksAtPeak", statistics.liveBlocksAtPeak)
              .number("bytesAllocated", statistics.bytesAllocated)
              .number("allocationCount", statistics.allocationCount)
              .number("bytesFreed", statistics.bytesFreed)
              .number("freeCount", statistics.freeCount)
              .finish());
  }
  char line[320];
  std::snprintf(line, sizeof line,
                "stats live %" PRIu64 " bytes in %" PRIu64 " blocks; peak %" PRIu64 " bytes in %" PRIu64
                " blocks; %" PRIu64 " allocations of %" PRIu64 " bytes, %" PRIu64 " frees of %" PRIu64 " bytes",
                liveBytes, liveBlocks, statistics.peakLiveBytes, statistics.liveBlocksAtPeak,
                statistics.allocationCount, statistics.bytesAllocated, statistics.freeCount, statistics.bytesFreed);
  return write(line);
}

std::string Output::describe(std::string_view descriptionJson) {
  if (json_) {
    // The description's members follow "type" in the same object.
    std::string line = JsonLine("describe").finish();
    line.pop_back();
    if (descriptionJson.size() > 2) line += ',' + std::string(descriptionJson.substr(1));
    else line += '}';
    return write(std::move(line));
  }
  return write("describe " + indentJson(descriptionJson));
}

void Output::lateCall(std::string_view function) {
  write(json_ ? JsonLine("late-call").text("function", function).finish()
              : "late-call " + std::string(function) + " after stop");
}

void Output::streamReleased(std::uint64_t reads, std::uint64_t bytesRead, std::uint64_t bytes) {
  if (json_) {
    write(JsonLine("core-stream")
              .text("state", "released")
              .number("reads", reads)
              .number("bytesRead", bytesRead)
              .number("bytes", bytes)
              .finish());
    return;
  }
  write("core-stream released after " + std::to_string(reads) + " reads (" + std::to_string(bytesRead) + " of " +
        std::to_string(bytes) + " bytes)");
}

void Output::serving(std::string_view url) {
  write(json_ ? JsonLine("serving").text("url", url).finish() : "serving " + std::string(url));
}

std::string Output::write(std::string line) {
  line += '\n';
  const std::lock_guard<std::mutex> lock(mutex_);
  std::fwrite(line.data(), 1, line.size(), stream_);
  std::fflush(stream_);
  line.pop_back();
  if (tee_) tee_(line);
  return line;
}

std::string indentJson(std::string_view compact) {
  std::string text;
  text.reserve(compact.size() * 2);
  int depth = 0;
  bool inString = false;
  const auto newline = [&] {
    text += '\n';
    text.append(static_cast<std::size_t>(depth) * 2, ' ');
  };
  for (std::size_t index = 0; index < compact.size(); ++index) {
    const char c = compact[index];
    if (inString) {
      text += c;
      if (c == '\\' && index + 1 < compact.size()) {
        text += compact[++index];
      } else if (c == '"') {
        inString = false;
      }
      continue;
    }
    switch (c) {
      case '"':
        inString = true;
        text += c;
        break;
      case '{':
      case '[':
        // An empty object or array stays on its line.
        if (index + 1 < compact.size() && (compact[index + 1] == '}' || compact[index + 1] == ']')) {
          text += c;
          text += compact[++index];
          break;
        }
        text += c;
        ++depth;
        newline();
        break;
      case '}':
      case ']':
        --depth;
        newline();
        text += c;
        break;
      case ',':
        text += c;
        newline();
        break;
      case ':':
        text += ": ";
        break;
      default:
        text += c;
    }
  }
  return text;
}

}  // namespace PluginHost
