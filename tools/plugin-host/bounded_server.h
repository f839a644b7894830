#pragma once
// The library's HTTP server held to the limits of http_limits.h. Each
// connection carries one request and is closed after its answer, so no byte
// after a request's head can be read as another request, whatever the
// request was answered. Before a request reaches its route (or is told to
// send its body), the caller's check runs and then its framing is checked
// (a body it cannot count is refused, 411); the library's own refusals and
// the connection's faults (431 for a head too large, 413 for a body too
// large, 408 for a client too slow) are answered through the caller's error
// writer.

#include <httplib.h>

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace PluginHost {

struct HttpRefusal {
  int status;
  std::string message;
};

class BoundedServer final : public httplib::Server {
 public:
  // Fills a refusal's answer (status, content type, body).
  using ErrorWriter = std::function<void(httplib::Response&, int status, std::string_view message)>;
  // A refusal for a request whose head has been read, or none to serve it.
  using RequestCheck = std::function<std::optional<HttpRefusal>(const httplib::Request&)>;

  BoundedServer(ErrorWriter writeError, RequestCheck check);

  // Stops accepting; connections still reading or waiting end within
  // HttpLimits::pollInterval, and a handler still running is waited for.
  // Safe from any thread, once or more.
  void stopServing();

 private:
  bool process_and_close_socket(socket_t socket) override;
  // Fills the answer of a request that must not be served; false to serve it.
  bool refuse(const httplib::Request& request, httplib::Response& response) const;
  // Stops the accepting thread's loop once it runs.
  void stopListening();

  ErrorWriter writeError_;
  RequestCheck check_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> listenerStopped_{false};
};

// The refusal of a request's framing and header syntax, if any: a header
// value holding a control character, a body length that is not one number
// or is over the limit, a transfer coding other than chunked, or chunks for
// a DELETE (which the library would not read).
std::optional<HttpRefusal> framingRefusal(const httplib::Request& request);

}  // namespace PluginHost
