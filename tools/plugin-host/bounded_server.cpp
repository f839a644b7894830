#include "bounded_server.h"

#include <algorithm>
#include <charconv>

#include "ascii_case.h"
#include "http_connection.h"
#include "http_limits.h"

namespace PluginHost {
namespace {

using Clock = HttpConnection::Clock;

// Handed from the queue to the serving of the connection, on its thread.
thread_local Clock::time_point connectionAcceptedAt;
thread_local bool connectionTurnedAway = false;

// The library's pool of serving threads with a bound on the connections
// waiting for one; a connection beyond it is served on the accepting thread,
// where it is turned away at once. While idle, the accepting thread also
// looks for a stop the server missed (one asked for before it ran).
class BoundedTaskQueue final : public httplib::TaskQueue {
 public:
  explicit BoundedTaskQueue(std::function<void()> onIdle)
      : onIdle_(std::move(onIdle)), pool_(HttpLimits::servingThreads) {}

  void enqueue(std::function<void()> serve) override {
    if (waiting_.load() >= HttpLimits::waitingConnections) {
      connectionTurnedAway = true;
      serve();
      connectionTurnedAway = false;
      return;
    }
    ++waiting_;
    pool_.enqueue([this, serve = std::move(serve), acceptedAt = Clock::now()] {
      --waiting_;
      connectionAcceptedAt = acceptedAt;
      serve();
    });
  }

  void shutdown() override { pool_.shutdown(); }
  void on_idle() override { onIdle_(); }

 private:
  std::function<void()> onIdle_;
  httplib::ThreadPool pool_;
  std::atomic<std::size_t> waiting_{0};
};

// Content-Length as one decimal number, nothing else.
std::optional<std::uint64_t> declaredLength(const httplib::Request& request) {
  const std::string text = request.get_header_value("Content-Length");
  std::uint64_t length = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), length);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return length;
}

bool isControl(unsigned char c) { return (c < 0x20 && c != '\t') || c == 0x7f; }

HttpRefusal faultRefusal(HttpConnection::Fault fault) {
  switch (fault) {
    case HttpConnection::Fault::HeadTooLarge:
      return {431, "the request head is over " + std::to_string(HttpLimits::longestHead / 1024) + " KiB or " +
                       std::to_string(HttpLimits::mostHeaderLines) + " header lines"};
    case HttpConnection::Fault::BodyTooLarge:
      return {413, "the body is over " + std::to_string(HttpLimits::longestBody / HttpLimits::mebibyte) + " MiB"};
    case HttpConnection::Fault::TimedOut:
    case HttpConnection::Fault::None:
      break;
  }
  return {408, "the request did not arrive in time"};
}

// The head has been read: the connection's body phase begins, and the
// framing the library would misread is made harmless.
void prepare(httplib::Request& request, HttpConnection& connection) {
  // Answers go whole: a list of ranges could ask for one many times over.
  request.ranges.clear();
  // Without a length or chunks HTTP/1.1 gives a request no body; the library
  // would read one until the client closed the connection.
  if (!request.has_header("Content-Length") && !request.has_header("Transfer-Encoding")) {
    request.set_header("Content-Length", "0");
  }
  connection.startBody(declaredLength(request));
}

}  // namespace

BoundedServer::BoundedServer(ErrorWriter writeError, RequestCheck check)
    : writeError_(std::move(writeError)), check_(std::move(check)) {
  new_task_queue = [this] {
    return new BoundedTaskQueue([this] {
      if (stopping_) stopListening();
    });
  };
  // Another program must not bind the same port beside this one.
  set_socket_options([](socket_t socket) {
    const int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes), sizeof yes);
  });
  set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
    return refuse(request, response) ? HandlerResponse::Handled : HandlerResponse::Unhandled;
  });
  // A client that waits for leave to send its body is refused at once
  // rather than told to go on.
  set_expect_100_continue_handler([this](const httplib::Request& request, httplib::Response& response) {
    return refuse(request, response) ? response.status : 100;
  });
  // Every answer of 400 and above passes here: the connection's faults get
  // their own status, the library's bare refusals a text.
  set_error_handler(HandlerWithResponse([this](const httplib::Request&, httplib::Response& response) {
    const HttpConnection* connection = HttpConnection::current();
    if (connection != nullptr && connection->fault() != HttpConnection::Fault::None) {
      const HttpRefusal refusal = faultRefusal(connection->fault());
      response.body.clear();
      writeError_(response, refusal.status, refusal.message);
      return HandlerResponse::Handled;
    }
    if (!response.body.empty()) return HandlerResponse::Unhandled;
    writeError_(response, response.status, httplib::detail::status_message(response.status));
    return HandlerResponse::Handled;
  }));
}

bool BoundedServer::refuse(const httplib::Request& request, httplib::Response& response) const {
  std::optional<HttpRefusal> refusal = check_(request);
  if (!refusal) refusal = framingRefusal(request);
  if (!refusal) return false;
  writeError_(response, refusal->status, refusal->message);
  return true;
}

void BoundedServer::stopServing() {
  stopping_ = true;
  // Before the server runs, its accepting thread does it when idle.
  stopListening();
}

void BoundedServer::stopListening() {
  if (is_running() && !listenerStopped_.exchange(true)) stop();
}

bool BoundedServer::process_and_close_socket(socket_t socket) {
  if (connectionTurnedAway) {
    HttpConnection::refuseAtOnce(socket,
                                 "HTTP/1.1 503 Service Unavailable\r\nConnection: close\r\nContent-Length: 0\r\n\r\n");
    return false;
  }
  HttpConnection connection(socket, connectionAcceptedAt, stopping_);
  if (stopping_) return false;
  bool closedByClient = false;
  return process_request(connection, /*close_connection=*/true, closedByClient,
                         [&connection](httplib::Request& request) { prepare(request, connection); });
}

std::optional<HttpRefusal> framingRefusal(const httplib::Request& request) {
  for (const auto& [name, value] : request.headers) {
    if (std::any_of(value.begin(), value.end(), [](unsigned char c) { return isControl(c); })) {
      return HttpRefusal{400, "the header " + name + " holds a control character"};
    }
  }
  const std::size_t lengths = request.get_header_value_count("Content-Length");
  const std::size_t codings = request.get_header_value_count("Transfer-Encoding");
  if (lengths + codings > 1) {
    return HttpRefusal{400, "a request gives one Content-Length or one Transfer-Encoding, not more"};
  }
  if (codings == 1) {
    const std::string coding = request.get_header_value("Transfer-Encoding");
    if (asciiLowered(coding) != "chunked") {
      return HttpRefusal{411, "Transfer-Encoding " + coding + ": send the body with Content-Length or chunked"};
    }
    if (request.method == "DELETE") return HttpRefusal{411, "a DELETE body needs a Content-Length"};
    return std::nullopt;
  }
  const std::optional<std::uint64_t> length = declaredLength(request);
  if (!length) return HttpRefusal{400, "Content-Length is not a number"};
  if (*length > HttpLimits::longestBody) return faultRefusal(HttpConnection::Fault::BodyTooLarge);
  return std::nullopt;
}

}  // namespace PluginHost
