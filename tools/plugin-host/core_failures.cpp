#include "core_failures.h"

#include <charconv>

namespace PluginHost {

namespace {

constexpr std::string_view methods[] = {"GET", "POST", "PUT", "DELETE"};

bool isMethod(std::string_view text) {
  for (const std::string_view method : methods) {
    if (text == method) return true;
  }
  return false;
}

}  // namespace

Outcome<CoreFailure> parseCoreFailure(std::string_view method, std::string_view pathAndAnswer) {
  const std::string usage = "--fail-core expects METHOD PATH=STATUS:TEXT, e.g. GET /quorclient/command-line-args=500:boom";
  if (!isMethod(method)) return Failure{usage + " (METHOD one of GET, POST, PUT, DELETE)"};
  for (std::size_t equals = pathAndAnswer.find('='); equals != std::string_view::npos;
       equals = pathAndAnswer.find('=', equals + 1)) {
    const char* const begin = pathAndAnswer.data() + equals + 1;
    const char* const end = pathAndAnswer.data() + pathAndAnswer.size();
    std::int32_t status = 0;
    const auto [next, error] = std::from_chars(begin, end, status);
    if (error != std::errc{} || next == begin || next == end || *next != ':') continue;
    if (equals == 0 || pathAndAnswer.front() != '/') return Failure{usage + " (PATH starting with /)"};
    if (status < 100 || status > 599) return Failure{usage + " (STATUS from 100 to 599)"};
    std::string_view text(next + 1, static_cast<std::size_t>(end - next - 1));
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
    if (text.empty()) return Failure{usage + " (TEXT not empty)"};
    return CoreFailure{std::string(method), std::string(pathAndAnswer.substr(0, equals)), status, std::string(text)};
  }
  return Failure{usage};
}

const CoreFailure* findCoreFailure(const std::vector<CoreFailure>& failures, std::string_view method,
                                   std::string_view path) {
  for (auto failure = failures.rbegin(); failure != failures.rend(); ++failure) {
    if (failure->method == method && failure->path == path) return &*failure;
  }
  return nullptr;
}

}  // namespace PluginHost
