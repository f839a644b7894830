#pragma once
// One accepted connection of the HTTP front as the library's stream, held to
// the limits of http_limits.h: the head and the body must arrive in time and
// within their sizes, a write must make progress, and everything ends soon
// once the server stops. The socket is made non-blocking; every wait is a
// short poll that looks at the clock and at the stop flag.

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace PluginHost {

class HttpConnection final : public httplib::Stream {
 public:
  using Clock = std::chrono::steady_clock;

  // Why reading stopped short, if it did.
  enum class Fault { None, HeadTooLarge, BodyTooLarge, TimedOut };

  HttpConnection(socket_t socket, Clock::time_point acceptedAt, const std::atomic<bool>& stopping);
  ~HttpConnection() override;
  HttpConnection(const HttpConnection&) = delete;
  HttpConnection& operator=(const HttpConnection&) = delete;

  // The head has been read; what follows is the body, of declaredLength
  // bytes when the client gave one (else chunked).
  void startBody(std::optional<std::uint64_t> declaredLength);
  Fault fault() const { return fault_; }

  // Ends the connection after its answer: no more sending, then what the
  // client still sends is read and dropped (for at most closingTime, not at
  // all after a fault or while stopping), then the socket is closed.
  void close();

  // A single write of a short text without waiting, then the socket closed:
  // for a connection turned away on the accepting thread.
  static void refuseAtOnce(socket_t socket, std::string_view text);

  // The connection this thread is serving, if any: the library's error
  // handler reaches the fault through it.
  static HttpConnection* current();

  bool is_readable() const override;
  bool is_writable() const override;
  ssize_t read(char* data, std::size_t size) override;
  ssize_t write(const char* data, std::size_t size) override;
  void get_remote_ip_and_port(std::string& ip, int& port) const override;
  void get_local_ip_and_port(std::string& ip, int& port) const override;
  socket_t socket() const override { return socket_; }

 private:
  enum class Phase { Head, Body };
  enum class Wait { Ready, TimedOut, Stopped, Failed };

  // Waits until the socket can be read (or written) or the deadline passes.
  Wait waitFor(bool forWriting, Clock::time_point deadline) const;
  Clock::time_point readDeadline() const;
  // How many of `size` buffered bytes may be handed over in this phase;
  // records the fault when none may.
  std::size_t allowance(std::size_t size);
  void account(const char* data, std::size_t size);

  socket_t socket_;
  const std::atomic<bool>& stopping_;
  Clock::time_point headDeadline_;
  Phase phase_ = Phase::Head;
  Clock::time_point bodyStart_{};
  std::uint64_t declaredBody_ = 0;
  std::size_t headBytes_ = 0;
  std::size_t headLines_ = 0;
  std::size_t bodyBytes_ = 0;
  Fault fault_ = Fault::None;
  bool closed_ = false;
  char buffer_[4096];
  std::size_t bufferStart_ = 0;
  std::size_t bufferEnd_ = 0;
  HttpConnection* previous_;
};

}  // namespace PluginHost
