#include "http_front.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>

#include "bounded_server.h"
#include "console_stop.h"
#include "event_stream.h"
#include "host_value_json.h"
#include "http_exchange.h"
#include "page_files.h"
#include "process_memory.h"
#include "registration_answer.h"

namespace PluginHost {
namespace {

// How often a watcher with nothing to read checks for shutdown and for a
// client that went away.
constexpr std::chrono::milliseconds watchInterval{250};

void send(httplib::Response& response, const HttpReply& reply) {
  response.status = reply.status;
  for (const auto& [name, value] : reply.headers) response.set_header(name.c_str(), value);
  response.set_content(reply.body, reply.contentType.c_str());
}

std::uint32_t methodCode(const std::string& method) {
  if (method == "DELETE") return 1;
  if (method == "GET") return 2;
  if (method == "POST") return 6;
  if (method == "PUT") return 7;
  return 0;
}

// The headers the client sent (the library adds the connection's addresses
// among them).
HttpHeaders clientHeaders(const httplib::Headers& headers) {
  HttpHeaders result;
  for (const auto& [name, value] : headers) {
    if (name != "REMOTE_ADDR" && name != "REMOTE_PORT" && name != "LOCAL_ADDR" && name != "LOCAL_PORT") {
      result.emplace_back(name, value);
    }
  }
  return result;
}

std::optional<std::string> headerValue(const httplib::Request& request, const char* name) {
  if (!request.has_header(name)) return std::nullopt;
  return request.get_header_value(name);
}

const char* pageContentType(std::string_view name) {
  if (name.ends_with(".html")) return "text/html; charset=utf-8";
  if (name.ends_with(".css")) return "text/css; charset=utf-8";
  return "text/javascript; charset=utf-8";
}

class HttpFront {
 public:
  HttpFront(PluginSession& session, Output& output, ServeAddress address)
      : session_(session),
        output_(output),
        address_(std::move(address)),
        server_([](httplib::Response& response, int status,
                   std::string_view message) { send(response, errorReply(status, message)); },
                [this](const httplib::Request& request) { return refusal(request); }) {}

  bool serve();

 private:
  void stop();
  std::optional<HttpRefusal> refusal(const httplib::Request& request) const;
  void addHostRoutes();
  void addPluginRoutes();
  void page(std::string_view name, httplib::Response& response);
  void watch(httplib::Response& response);
  void callPlugin(const httplib::Request& request, httplib::Response& response);

  PluginSession& session_;
  Output& output_;
  ServeAddress address_;
  EventStream events_;
  BoundedServer server_;
  std::atomic<bool> stopping_{false};
};

bool HttpFront::serve() {
  addHostRoutes();
  addPluginRoutes();

  const int port = address_.port == 0 ? server_.bind_to_any_port(address_.host)
                                      : (server_.bind_to_port(address_.host, address_.port) ? address_.port : -1);
  if (port <= 0) {
    std::fprintf(stderr, "plugin-host: --serve %s: the address cannot be bound\n", authority(address_).c_str());
    return false;
  }
  address_.port = static_cast<std::uint16_t>(port);
  output_.teeTo([this](const std::string& line) { events_.publish(line); });
  output_.serving("http://" + authority(address_) + "/");
  onConsoleStop([this] { stop(); });
  server_.listen_after_bind();
  onConsoleStop({});
  output_.teeTo({});
  return true;
}

void HttpFront::stop() {
  if (stopping_.exchange(true)) return;
  events_.close();
  server_.stopServing();
}

std::optional<HttpRefusal> HttpFront::refusal(const httplib::Request& request) const {
  const std::optional<std::string> origin = headerValue(request, "Origin");
  const std::optional<std::string> fetchSite = headerValue(request, "Sec-Fetch-Site");
  std::optional<std::string> reason =
      foreignRequestReason(address_, request.get_header_value("Host"), origin ? &*origin : nullptr,
                           fetchSite ? &*fetchSite : nullptr);
  if (!reason) return std::nullopt;
  return HttpRefusal{403, std::move(*reason)};
}

void HttpFront::addHostRoutes() {
  using httplib::Request;
  using httplib::Response;
  server_.Get("/", [this](const Request&, Response& response) { page("index.html", response); });
  server_.Get("/_host/page/([a-z]+\\.[a-z]+)",
              [this](const Request& request, Response& response) { page(request.matches[1].str(), response); });
  server_.Get("/_host/describe", [this](const Request&, Response& response) {
    response.set_content(session_.describe(), "application/json");
  });
  server_.Get("/_host/stats", [this](const Request&, Response& response) {
    response.set_content(session_.stats(), "application/json");
  });
  server_.Get("/_host/process", [](const Request&, Response& response) {
    const ProcessMemory memory = processMemory();
    response.set_content(R"({"privateBytes":)" + std::to_string(memory.privateBytes) + R"(,"workingSetBytes":)" +
                             std::to_string(memory.workingSetBytes) + "}",
                         "application/json");
  });
  server_.Get("/_host/stream", [this](const Request&, Response& response) { watch(response); });
  server_.Post("/_host/events/(.+)", [this](const Request& request, Response& response) {
    Outcome<Quor::Value> payload =
        request.body.empty() ? Outcome<Quor::Value>(Quor::Value()) : parseJsonValue(request.body, "the payload");
    if (!payload) return send(response, errorReply(400, payload.error()));
    const bool delivered = session_.deliverEvent(request.matches[1].str(), payload.value());
    response.set_content(delivered ? R"({"delivered":true})" : R"({"delivered":false})", "application/json");
  });
  server_.Post("/_host/wait", [this](const Request&, Response& response) {
    Step wait;
    wait.kind = Step::Kind::Wait;
    session_.run({wait});
    response.set_content(R"({"jobs":"idle"})", "application/json");
  });
  server_.Post("/_host/shutdown", [this](const Request&, Response& response) {
    response.set_content(R"({"shutdown":true})", "application/json");
    stop();
  });
}

void HttpFront::addPluginRoutes() {
  const auto handler = [this](const httplib::Request& request, httplib::Response& response) {
    callPlugin(request, response);
  };
  server_.Get(".*", handler);
  server_.Post(".*", handler);
  server_.Put(".*", handler);
  server_.Delete(".*", handler);
  // Answered 405 rather than 404: the simulator has no code for them.
  server_.Patch(".*", handler);
  server_.Options(".*", handler);
}

void HttpFront::page(std::string_view name, httplib::Response& response) {
  for (const PageFile& file : pageFiles()) {
    if (file.name != name) continue;
    // Nothing from elsewhere; the empty icon keeps the browser from asking the
    // plugin for one.
    response.set_header("Content-Security-Policy", "default-src 'self'; img-src data:; frame-ancestors 'none'");
    response.set_header("X-Content-Type-Options", "nosniff");
    response.set_content(file.text.data(), file.text.size(), pageContentType(name));
    return;
  }
  send(response, errorReply(404, "no such page file"));
}

void HttpFront::watch(httplib::Response& response) {
  std::shared_ptr<EventStream::Watcher> watcher = events_.watch();
  if (!watcher) {
    return send(response, errorReply(503, "the event stream has " + std::to_string(EventStream::maxWatchers) +
                                              " watchers already, or the server is stopping"));
  }
  response.set_header("Cache-Control", "no-cache");
  response.set_chunked_content_provider(
      "text/event-stream", [watcher, greeted = false](std::size_t, httplib::DataSink& sink) mutable {
        if (!greeted) {
          // Sends the headers at once, so the client knows it is watching.
          greeted = true;
          static constexpr std::string_view greeting = ": watching\n\n";
          return sink.write(greeting.data(), greeting.size());
        }
        std::vector<std::string> lines;
        switch (watcher->next(lines, watchInterval)) {
          case EventStream::Watcher::Next::Behind: {
            const std::string farewell =
                ": ended: more than " + std::to_string(EventStream::maxQueuedLines) + " lines behind\n\n";
            sink.write(farewell.data(), farewell.size());
            sink.done();
            return true;
          }
          case EventStream::Watcher::Next::Ended:
            sink.done();
            return true;
          case EventStream::Watcher::Next::Idle:
            return sink.is_writable();
          case EventStream::Watcher::Next::Lines:
            break;
        }
        std::string events;
        for (const std::string& line : lines) events += "data: " + line + "\n\n";
        return sink.write(events.data(), events.size());
      });
}

void HttpFront::callPlugin(const httplib::Request& request, httplib::Response& response) {
  HttpRequestText text{methodCode(request.method), request.target, clientHeaders(request.headers), request.body};
  if (text.method == 0) {
    return send(response, errorReply(405, "the simulator passes DELETE, GET, POST and PUT requests to the plugin"));
  }
  const Quor::HostEndpoint* endpoint = findEndpoint(session_.registration(), text.method, text.target);
  Outcome<Step> step = requestStep(text, endpoint);
  if (!step) return send(response, errorReply(400, "request not sent: " + step.error()));
  send(response, replyFor(session_.request(step.value())));
}

}  // namespace

bool serveHttp(PluginSession& session, Output& output, ServeAddress address) {
  HttpFront front(session, output, std::move(address));
  return front.serve();
}

}  // namespace PluginHost
