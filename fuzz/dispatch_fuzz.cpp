// A request record as the core might send it, built from the input, through
// the endpoint handler (or the dispatcher over every route) of a transport
// with routes of every parameter kind. Checks that the answer record frees
// exactly what it took: after its release function it is all zero and the
// library's live bytes are back where they were.
//
// The input is lines ("\n"); a line "B" ends them and the rest is the body:
//   M<number>          method code (any 32-bit number)
//   X<text>            custom method text
//   P<text>            path ("\n" written as "\\n")
//   H<name>:<value>    header; no ":" gives a null value, "H:" a null name
//   C<text>            content type; "C" alone a null one (default JSON)
//   I<number>          request id
//   E<n> | E* | E!     the endpoint of route n; all routes through the
//                      dispatcher with a builtin path; a context that is not one
//   A<name>=<json>     typed argument from a JSON text; "A=<json>" positional
//   N<type>,<count>    positional typed argument: raw type code, null data
//   S<count>,<text>    positional borrowed string with a claimed length
//   D<depth>           positional typed argument: collections nested depth deep
//   L<n>               body length n (at most the body's size; 0 reads it as text)

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "binding/host_value.h"
#include "binding/library_allocator.h"
#include "binding/typed_conversion.h"
#include "formats/json_reader.h"
#include "fuzz_checks.h"
#include "remoting/builtin_functions.h"
#include "remoting/dispatcher.h"
#include "remoting/transport.h"

namespace Quor::FuzzDispatch {

struct Point {
  std::int32_t x = 0;
  std::int32_t y = 0;
};

}  // namespace Quor::FuzzDispatch

QUOR_STATIC_TYPE(Quor::FuzzDispatch::Point, "struct Quor::FuzzDispatch::Point");

namespace Quor::FuzzDispatch {
namespace {

using Fuzz::require;

Transport& fuzzTransport() {
  static Transport* transport = [] {
    auto* made = new Transport();
    made->setEndpointTags({"Plugins", "Plugin fuzz"});
    made->registry()
        .registerStruct<Point>("Point")
        .field<std::int32_t>("x", offsetof(Point, x))
        .field<std::int32_t>("y", offsetof(Point, y));

    made->addRoute(RequestMethod::Get, "/items/{id}",
                   [](std::string id, std::optional<std::int32_t> count, bool verbose,
                      std::optional<std::vector<std::string>> list, Value object, std::optional<Point> point) {
                     Value answer;
                     answer.writeMember("id").setString(id);
                     answer.writeMember("count").setSigned(count.value_or(-1));
                     answer.writeMember("verbose").setBool(verbose);
                     answer.writeMember("list").setUnsigned(std::uint64_t{list ? list->size() : 0});
                     answer.writeMember("object") = object;
                     if (point) answer.writeMember("x").setSigned(point->x);
                     return answer;
                   })
        .parameter(0, "id")
        .parameter(1, "count")
        .parameter(2, "verbose")
        .parameter(3, "list")
        .parameter(4, "obj")
        .parameter(5, "point")
        .location(0, ArgumentLocation::Path);

    made->addRoute(RequestMethod::Put, "/files/{+rest}",
                   [](RemotingResponse& response, std::string rest, Value body, std::optional<std::string> token) {
                     response.status = 201;
                     response.contentType = "application/json";
                     if (token) response.headers["X-Token"] = *token;
                     Value answer;
                     answer.writeMember("rest").setString(rest);
                     answer.writeMember("body") = body;
                     return answer;
                   })
        .parameter(0, "rest")
        .parameter(1, "body")
        .parameter(2, "token")
        .location(1, ArgumentLocation::Body)
        .location(2, ArgumentLocation::Header);

    made->addRoute(RequestMethod::Post, "/doc/{#frag}",
                   [](std::string fragment, std::optional<std::unordered_map<std::string, std::int32_t>> counts,
                      std::optional<std::vector<Point>> points, std::optional<std::vector<std::uint8_t>> bytes,
                      std::optional<double> ratio) -> Expected<std::int64_t> {
                     if (fragment == "fail") return PluginError{7, "refused", {}};
                     return static_cast<std::int64_t>((counts ? counts->size() : 0) + (points ? points->size() : 0) +
                                                      (bytes ? bytes->size() : 0) + (ratio ? 1 : 0));
                   })
        .parameter(0, "frag")
        .parameter(1, "counts")
        .parameter(2, "points")
        .parameter(3, "bytes")
        .parameter(4, "ratio")
        .location(2, ArgumentLocation::Body);

    made->addRoute(RequestMethod::Get, "/literal", [] { return true; });

    made->addRoute(RequestMethod::Get, "/c/{a}/{b}",
                   [](const RemotingRequest& request, std::string a, std::string b) -> Expected<void> {
                     if (request.path.empty() || a == b) return PluginError{0, "same", {}};
                     return {};
                   })
        .parameter(0, "a")
        .parameter(1, "b")
        .method(RequestMethod::Custom, "FETCH");

    made->addRoute(RequestMethod::Delete, "/{+anything}", [](std::string anything) { return anything.size(); })
        .parameter(0, "anything")
        .tag("$builtin");

    // Served by the builtin path with the full help; the route above is a
    // builtin of another name.
    TypedBinding help = makeTypedBinding("Help", made->registry(), [] { return 0; });
    made->registerFunction(std::move(help.function), std::move(help.invoker)).tag("$builtin");

    made->answerRegistration();
    return made;
  }();
  return *transport;
}

std::uint32_t number(std::string_view text) {
  std::uint32_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return value;
}

// Everything a request points to, kept alive and freed after the call.
struct RequestStorage {
  std::deque<std::string> texts;
  std::vector<HostHeader> headers;
  std::vector<HostRequestArgument> arguments;
  std::vector<bool> ownedArguments;
  std::deque<std::vector<HostValue>> chains;
  std::string body;

  const char* keep(std::string text) { return texts.emplace_back(std::move(text)).c_str(); }

  void addArgument(const char* name, const HostValue& value, bool owned) {
    HostRequestArgument argument;
    std::memset(static_cast<void*>(&argument), 0, sizeof argument);
    argument.name = name;
    argument.value = value;
    arguments.push_back(argument);
    ownedArguments.push_back(owned);
  }

  // Collections nested depth deep, the innermost holding one empty value.
  HostValue nested(std::size_t depth) {
    std::vector<HostValue>& chain = chains.emplace_back(depth + 1);
    std::memset(static_cast<void*>(chain.data()), 0, chain.size() * sizeof(HostValue));
    for (std::size_t level = 0; level < depth; ++level) {
      chain[level].type = static_cast<std::uint32_t>(HostValueKind::Collection);
      chain[level].payload.buffer.data = &chain[level + 1];
      chain[level].payload.buffer.count = 1;
    }
    return chain[0];
  }

  ~RequestStorage() {
    for (std::size_t index = 0; index < arguments.size(); ++index) {
      if (ownedArguments[index]) releaseHostValue(arguments[index].value);
    }
  }
};

void unescapeNewlines(std::string& text) {
  std::size_t position = 0;
  while ((position = text.find("\\n", position)) != std::string::npos) text.replace(position, 2, "\n");
}

}  // namespace
}  // namespace Quor::FuzzDispatch

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace Quor;
  using namespace Quor::FuzzDispatch;
  Transport& transport = fuzzTransport();
  const std::vector<const FunctionRegistration*> registrations = transport.registrations();

  const std::string_view input(reinterpret_cast<const char*>(data), size);
  RequestStorage storage;
  HostRequest request;
  std::memset(static_cast<void*>(&request), 0, sizeof request);
  request.method = static_cast<std::uint32_t>(RequestMethod::Get);
  request.path = "";
  request.contentType = "application/json";
  request.endpointContext = const_cast<EndpointContext*>(&registrations[0]->context);
  bool allRoutes = false;
  std::optional<std::uint32_t> bodyLength;
  std::uint32_t foreignContext[4] = {0x12345678u, 0, 0, 0};

  std::size_t position = 0;
  bool hasBody = false;
  while (position < input.size()) {
    std::size_t end = input.find('\n', position);
    if (end == std::string_view::npos) end = input.size();
    const std::string_view line = input.substr(position, end - position);
    position = end + 1;
    if (line.empty()) continue;
    const std::string_view rest = line.substr(1);
    switch (line.front()) {
      case 'M': request.method = number(rest); break;
      case 'X': request.customMethod = storage.keep(std::string(rest)); break;
      case 'P': {
        std::string path(rest);
        unescapeNewlines(path);
        request.path = storage.keep(std::move(path));
        break;
      }
      case 'H': {
        const std::size_t colon = rest.find(':');
        HostHeader header{nullptr, nullptr};
        if (colon == std::string_view::npos) {
          header.name = storage.keep(std::string(rest));
        } else {
          if (colon != 0) header.name = storage.keep(std::string(rest.substr(0, colon)));
          header.value = storage.keep(std::string(rest.substr(colon + 1)));
        }
        storage.headers.push_back(header);
        break;
      }
      case 'C': request.contentType = rest.empty() ? nullptr : storage.keep(std::string(rest)); break;
      case 'I': request.requestId = number(rest); break;
      case 'E':
        if (rest == "*") {
          allRoutes = true;
        } else if (rest == "!") {
          request.endpointContext = foreignContext;
        } else {
          const std::uint32_t index = number(rest);
          request.endpointContext =
              index < registrations.size() ? const_cast<EndpointContext*>(&registrations[index]->context) : nullptr;
        }
        break;
      case 'A': {
        const std::size_t equals = rest.find('=');
        if (equals == std::string_view::npos) break;
        const char* name = equals == 0 ? nullptr : storage.keep(std::string(rest.substr(0, equals)));
        const std::string json(rest.substr(equals + 1));
        const ValueResult parsed = parseJson(json.c_str());
        if (!parsed.ok()) break;
        HostValue value;
        std::memset(static_cast<void*>(&value), 0, sizeof value);
        if (!valueToHostValue(value, parsed.value(), nullptr)) {
          releaseHostValue(value);
          break;
        }
        storage.addArgument(name, value, true);
        break;
      }
      case 'N': {
        const std::size_t comma = rest.find(',');
        HostValue value;
        std::memset(static_cast<void*>(&value), 0, sizeof value);
        value.type = number(rest);
        value.payload.buffer.count = comma == std::string_view::npos ? 0 : number(rest.substr(comma + 1));
        storage.addArgument(nullptr, value, false);
        break;
      }
      case 'S': {
        const std::size_t comma = rest.find(',');
        if (comma == std::string_view::npos) break;
        HostValue value;
        std::memset(static_cast<void*>(&value), 0, sizeof value);
        value.type = static_cast<std::uint32_t>(HostValueKind::BorrowedString);
        value.payload.buffer.data = const_cast<char*>(storage.keep(std::string(rest.substr(comma + 1))));
        value.payload.buffer.count = number(rest);
        storage.addArgument(nullptr, value, false);
        break;
      }
      case 'D':
        storage.addArgument(nullptr, storage.nested(number(rest) % 4096), false);
        break;
      case 'L': bodyLength = number(rest); break;
      case 'B':
        hasBody = true;
        storage.body.assign(input.substr(std::min(position, input.size())));
        position = input.size();
        break;
      default: break;
    }
  }
  if (!storage.headers.empty()) {
    request.headers = storage.headers.data();
    request.headerCount = static_cast<std::uint32_t>(storage.headers.size());
  }
  if (!storage.arguments.empty()) {
    request.arguments = storage.arguments.data();
    request.argumentCount = static_cast<std::uint32_t>(storage.arguments.size());
  }
  if (hasBody) {
    // The string keeps a NUL after its bytes, so a body read as text ends.
    request.body = storage.body.c_str();
    request.bodyLength = static_cast<std::uint32_t>(storage.body.size());
    if (bodyLength && *bodyLength <= storage.body.size()) request.bodyLength = *bodyLength;
  }

  const std::uint64_t live = libraryLiveBytes();
  HostResponse response;
  std::memset(static_cast<void*>(&response), 0xA5, sizeof response);
  if (allRoutes) {
    const std::vector<const Route*> routes = transport.routes();
    const BuiltinPath builtins{&transport.registry(), &runBuiltin};
    dispatch(&builtins, response, request, routes);
  } else {
    handleRequest(&response, &request);
  }
  require(response.release == &releaseHostResponse);
  if (response.errorMessage != nullptr && response.errorMessageOwned == 0) {
    require(std::strcmp(response.errorMessage, "Invalid function") == 0);
  }
  response.release(&response);
  const auto* bytes = reinterpret_cast<const unsigned char*>(&response);
  for (std::size_t index = 0; index < sizeof response; ++index) require(bytes[index] == 0);
  require(libraryLiveBytes() == live);
  return 0;
}
