#include "steps.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <utility>

#include "host_value_json.h"

namespace PluginHost {
namespace {

struct MethodWord {
  const char* text;
  std::uint32_t code;
};
constexpr std::array<MethodWord, 4> methodWords{{{"DELETE", 1}, {"GET", 2}, {"POST", 6}, {"PUT", 7}}};

std::optional<std::uint32_t> methodCode(std::string_view word) {
  for (const MethodWord& method : methodWords) {
    if (word == method.text) return method.code;
  }
  return std::nullopt;
}

bool isStepWord(std::string_view token) {
  return methodCode(token) || token == "repeat" || token == "event" || token == "wait" || token == "stats" ||
         token == "describe" || token == "sleep" || token == "hold" || token == "release" || token == "stop" ||
         token == "stop-in-yield" || token == "background" ||
         token == "--arg" || token == "--header" || token == "{" || token == "}" ||
         token.starts_with("--arg=") || token.starts_with("--header=");
}

class StepParser {
 public:
  explicit StepParser(const std::vector<std::string>& tokens) : tokens_(tokens) {}

  Outcome<std::vector<Step>> all() {
    std::vector<Step> steps;
    bool stopped = false;
    bool stopArmed = false;
    while (position_ < tokens_.size()) {
      if (tokens_[position_] == "}") return Failure{"a \"}\" without its \"repeat N {\""};
      Outcome<Step> step = one(0);
      if (!step) return Failure{step.error()};
      // The plugin is gone after stop: only the clock can still be watched.
      if (stopped && step->kind != Step::Kind::Sleep) return Failure{"only sleep may follow stop"};
      const bool stops = step->kind == Step::Kind::Stop || step->kind == Step::Kind::StopInYield;
      if (stopArmed && stops) return Failure{"stop-in-yield stops the plugin: no other stop may follow it"};
      stopped = stopped || step->kind == Step::Kind::Stop;
      stopArmed = stopArmed || step->kind == Step::Kind::StopInYield;
      steps.push_back(std::move(step.value()));
    }
    return steps;
  }

 private:
  bool atEnd() const { return position_ >= tokens_.size(); }
  const std::string& take() { return tokens_[position_++]; }

  // The value of an option given as "--arg VALUE" or "--arg=VALUE".
  Outcome<std::string> optionValue(std::string_view option) {
    const std::string& token = take();
    if (token.size() > option.size()) return token.substr(option.size() + 1);
    if (atEnd()) return Failure{std::string(option) + " needs a value"};
    return take();
  }

  Outcome<Step> one(int nesting) {
    std::vector<NamedArgument> arguments;
    std::vector<Header> headers;
    while (!atEnd()) {
      const std::string& token = tokens_[position_];
      if (token == "--arg" || token.starts_with("--arg=")) {
        Outcome<std::string> text = optionValue("--arg");
        if (!text) return Failure{text.error()};
        const std::size_t equals = text->find('=');
        if (equals == std::string::npos) return Failure{"--arg " + text.value() + ": expected NAME=JSON"};
        Outcome<Quor::Value> value = parseJsonValue(std::string_view(text.value()).substr(equals + 1),
                                                    "--arg " + text.value());
        if (!value) return Failure{value.error()};
        arguments.push_back({text->substr(0, equals), std::move(value.value())});
      } else if (token == "--header" || token.starts_with("--header=")) {
        Outcome<std::string> text = optionValue("--header");
        if (!text) return Failure{text.error()};
        const std::size_t equals = text->find('=');
        if (equals == std::string::npos || equals == 0) {
          return Failure{"--header " + text.value() + ": expected NAME=VALUE"};
        }
        headers.push_back({text->substr(0, equals), text->substr(equals + 1)});
      } else {
        break;
      }
    }
    if (atEnd()) return Failure{"--arg and --header must come before a request step"};
    const std::string& word = take();
    const bool optionsGiven = !arguments.empty() || !headers.empty();
    if (const std::optional<std::uint32_t> method = methodCode(word)) {
      Step step;
      step.kind = Step::Kind::Request;
      step.method = *method;
      step.arguments = std::move(arguments);
      step.headers = std::move(headers);
      if (atEnd()) return Failure{word + " needs a PATH"};
      step.path = take();
      if (step.path.empty() || step.path.front() != '/') {
        return Failure{word + " " + step.path + ": the path must start with \"/\""};
      }
      if (!atEnd() && !isStepWord(tokens_[position_])) step.body = take();
      return step;
    }
    if (optionsGiven) return Failure{"--arg and --header must come before a request step, not before " + word};
    if (word == "repeat") return repeat(nesting);
    if (word == "event") {
      if (atEnd()) return Failure{"event needs a NAME and a JSON payload"};
      Step step;
      step.kind = Step::Kind::Event;
      step.eventName = take();
      if (atEnd()) return Failure{"event " + step.eventName + " needs a JSON payload"};
      Outcome<Quor::Value> payload = parseJsonValue(take(), "event " + step.eventName);
      if (!payload) return Failure{payload.error()};
      step.payload = std::move(payload.value());
      return step;
    }
    if (word == "background") return background(nesting);
    Step step;
    if (word == "sleep" || word == "stop" || word == "stop-in-yield") {
      step.kind = word == "sleep" ? Step::Kind::Sleep : word == "stop" ? Step::Kind::Stop : Step::Kind::StopInYield;
      if (nesting > 0 && word != "sleep") return Failure{word + " cannot be repeated or run in the background"};
      step.seconds = defaultStopWaitSeconds;
      const bool given = !atEnd() && !isStepWord(tokens_[position_]);
      if (word == "sleep" && !given) return Failure{"sleep needs SECONDS"};
      if (given) {
        Outcome<double> seconds = secondsValue(word, take());
        if (!seconds) return Failure{seconds.error()};
        step.seconds = seconds.value();
      }
      return step;
    }
    if (word == "hold") {
      step.kind = Step::Kind::Hold;
    } else if (word == "release") {
      step.kind = Step::Kind::Release;
    } else if (word == "wait") {
      step.kind = Step::Kind::Wait;
    } else if (word == "stats") {
      step.kind = Step::Kind::Stats;
    } else if (word == "describe") {
      step.kind = Step::Kind::Describe;
    } else if (word.starts_with("-")) {
      return Failure{"unknown option \"" + word + "\" (options come before the steps)"};
    } else {
      return Failure{"unknown step \"" + word +
                     "\" (steps: GET, POST, PUT, DELETE, repeat, event, wait, stats, describe, sleep, hold, release, "
                     "stop, stop-in-yield, background)"};
    }
    return step;
  }

  static Outcome<double> secondsValue(const std::string& word, const std::string& text) {
    double seconds = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (error != std::errc{} || end != text.data() + text.size() || !(seconds >= 0) ||
        seconds > longestStepSeconds) {
      return Failure{word + " " + text + ": SECONDS must be a number from 0 to " +
                     std::to_string(static_cast<int>(longestStepSeconds))};
    }
    return seconds;
  }

  // background STEP: a request, an event or a repeat of them.
  Outcome<Step> background(int nesting) {
    if (atEnd()) return Failure{"background needs a step"};
    Outcome<Step> inner = one(nesting + 1);
    if (!inner) return inner;
    const Step::Kind kind = inner->kind;
    if (kind != Step::Kind::Request && kind != Step::Kind::Event && kind != Step::Kind::Repeat) {
      return Failure{"background runs a request, an event or a repeat of them"};
    }
    Step step;
    step.kind = Step::Kind::Background;
    step.steps.push_back(std::move(inner.value()));
    return step;
  }

  Outcome<Step> repeat(int nesting) {
    if (nesting >= maxRepeatNesting) {
      return Failure{"repeats nest deeper than " + std::to_string(maxRepeatNesting) + " levels"};
    }
    if (atEnd()) return Failure{"repeat needs a count N"};
    const std::string& countText = take();
    Step step;
    step.kind = Step::Kind::Repeat;
    const auto [end, error] = std::from_chars(countText.data(), countText.data() + countText.size(), step.count);
    if (error != std::errc{} || end != countText.data() + countText.size() || step.count > maxRepeatCount) {
      return Failure{"repeat " + countText + ": N must be a whole number from 0 to " +
                     std::to_string(maxRepeatCount)};
    }
    if (atEnd()) return Failure{"repeat " + countText + " needs a step"};
    if (tokens_[position_] != "{") {
      Outcome<Step> inner = one(nesting + 1);
      if (!inner) return inner;
      step.steps.push_back(std::move(inner.value()));
      return step;
    }
    ++position_;
    while (true) {
      if (atEnd()) return Failure{"repeat " + countText + " {: the \"}\" is missing"};
      if (tokens_[position_] == "}") {
        ++position_;
        return step;
      }
      Outcome<Step> inner = one(nesting + 1);
      if (!inner) return inner;
      step.steps.push_back(std::move(inner.value()));
    }
  }

  const std::vector<std::string>& tokens_;
  std::size_t position_ = 0;
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

Outcome<std::vector<Step>> parseSteps(const std::vector<std::string>& tokens) { return StepParser(tokens).all(); }

Outcome<std::vector<std::string>> splitStepsText(std::string_view text) {
  std::vector<std::string> tokens;
  std::size_t line = 1;
  std::size_t position = 0;
  const auto failure = [&](const std::string& what) {
    return Failure{"steps file, line " + std::to_string(line) + ": " + what};
  };
  while (position < text.size()) {
    const char c = text[position];
    if (c == '\n') {
      ++line;
      ++position;
      continue;
    }
    if (isBlank(c)) {
      ++position;
      continue;
    }
    if (c == '#') {  // a comment runs to the end of its line
      while (position < text.size() && text[position] != '\n') ++position;
      continue;
    }
    std::string token;
    while (position < text.size() && !isBlank(text[position])) {
      const char d = text[position++];
      if (d == '\'') {
        const std::size_t close = text.find('\'', position);
        if (close == std::string_view::npos) return failure("a ' is not closed");
        const std::string_view quoted = text.substr(position, close - position);
        line += static_cast<std::size_t>(std::count(quoted.begin(), quoted.end(), '\n'));
        token.append(quoted);
        position = close + 1;
      } else if (d == '"') {
        while (true) {
          if (position >= text.size() || text[position] == '\n') return failure("a \" is not closed");
          const char e = text[position++];
          if (e == '"') break;
          if (e == '\\' && position < text.size() && (text[position] == '"' || text[position] == '\\')) {
            token.push_back(text[position++]);
          } else {
            token.push_back(e);
          }
        }
      } else if (d == '\\' && position < text.size() && text[position] != '\n') {
        token.push_back(text[position++]);
      } else {
        token.push_back(d);
      }
    }
    tokens.push_back(std::move(token));
  }
  return tokens;
}

const char* requestMethodText(std::uint32_t code) {
  for (const MethodWord& method : methodWords) {
    if (method.code == code) return method.text;
  }
  return "";
}

}  // namespace PluginHost
