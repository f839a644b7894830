#include "http_connection.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "http_limits.h"

namespace PluginHost {
namespace {

thread_local HttpConnection* currentConnection = nullptr;

bool wouldBlock() { return WSAGetLastError() == WSAEWOULDBLOCK; }

}  // namespace

HttpConnection::HttpConnection(socket_t socket, Clock::time_point acceptedAt, const std::atomic<bool>& stopping)
    : socket_(socket),
      stopping_(stopping),
      headDeadline_(acceptedAt + HttpLimits::headTime),
      previous_(currentConnection) {
  u_long nonBlocking = 1;
  ioctlsocket(socket_, FIONBIO, &nonBlocking);
  setsockopt(socket_, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&HttpLimits::sendBuffer),
             sizeof HttpLimits::sendBuffer);
  currentConnection = this;
}

HttpConnection::~HttpConnection() {
  close();
  currentConnection = previous_;
}

HttpConnection* HttpConnection::current() { return currentConnection; }

void HttpConnection::startBody(std::optional<std::uint64_t> declaredLength) {
  phase_ = Phase::Body;
  bodyStart_ = Clock::now();
  declaredBody_ = declaredLength.value_or(0);
}

void HttpConnection::close() {
  if (closed_) return;
  closed_ = true;
  // A client still sending when the answer left would otherwise have its
  // connection reset, and could lose the answer unread.
  if (fault_ != Fault::TimedOut && !stopping_) {
    ::shutdown(socket_, SD_SEND);
    const Clock::time_point deadline = Clock::now() + HttpLimits::closingTime;
    char dropped[4096];
    while (true) {
      const int count = ::recv(socket_, dropped, sizeof dropped, 0);
      if (count > 0) continue;
      if (count < 0 && wouldBlock() && waitFor(false, deadline) == Wait::Ready) continue;
      break;
    }
  }
  ::closesocket(socket_);
}

void HttpConnection::refuseAtOnce(socket_t socket, std::string_view text) {
  u_long nonBlocking = 1;
  ioctlsocket(socket, FIONBIO, &nonBlocking);
  ::send(socket, text.data(), static_cast<int>(text.size()), 0);
  ::closesocket(socket);
}

HttpConnection::Wait HttpConnection::waitFor(bool forWriting, Clock::time_point deadline) const {
  while (true) {
    if (!forWriting && stopping_) return Wait::Stopped;
    const Clock::time_point now = Clock::now();
    if (now >= deadline) return Wait::TimedOut;
    const auto slice =
        std::min<Clock::duration>(HttpLimits::pollInterval, deadline - now);
    const auto microseconds = std::chrono::duration_cast<std::chrono::microseconds>(slice).count();
    timeval timeout{static_cast<long>(microseconds / 1'000'000), static_cast<long>(microseconds % 1'000'000)};
    fd_set sockets;
    FD_ZERO(&sockets);
    FD_SET(socket_, &sockets);
    const int ready = ::select(0, forWriting ? nullptr : &sockets, forWriting ? &sockets : nullptr, nullptr, &timeout);
    if (ready > 0) return Wait::Ready;
    if (ready < 0) return Wait::Failed;
  }
}

HttpConnection::Clock::time_point HttpConnection::readDeadline() const {
  if (phase_ == Phase::Head) return headDeadline_;
  const std::uint64_t length = std::max<std::uint64_t>(declaredBody_, bodyBytes_);
  const auto mebibytesBegun = static_cast<long long>((length + HttpLimits::mebibyte - 1) / HttpLimits::mebibyte);
  return bodyStart_ + HttpLimits::bodyTime + std::chrono::seconds(mebibytesBegun);
}

std::size_t HttpConnection::allowance(std::size_t size) {
  std::size_t count = 0;
  if (phase_ == Phase::Head) {
    // The request line, the header lines and the blank line that ends them.
    constexpr std::size_t mostLines = HttpLimits::mostHeaderLines + 2;
    const std::size_t limit = std::min(size, HttpLimits::longestHead - headBytes_);
    for (std::size_t lines = headLines_; count < limit; ++count) {
      if (buffer_[bufferStart_ + count] == '\n' && ++lines > mostLines) break;
    }
    if (count == 0) fault_ = Fault::HeadTooLarge;
  } else {
    count = std::min(size, HttpLimits::longestBody - bodyBytes_);
    if (count == 0) fault_ = Fault::BodyTooLarge;
  }
  return count;
}

void HttpConnection::account(const char* data, std::size_t size) {
  if (phase_ == Phase::Head) {
    headBytes_ += size;
    headLines_ += static_cast<std::size_t>(std::count(data, data + size, '\n'));
  } else {
    bodyBytes_ += size;
  }
}

bool HttpConnection::is_readable() const {
  return bufferStart_ < bufferEnd_ || httplib::detail::select_read(socket_, 0, 0) > 0;
}

bool HttpConnection::is_writable() const {
  // A client that closed its end is gone: a peek reads its end of stream.
  if (httplib::detail::select_read(socket_, 0, 0) <= 0) return true;
  char next;
  const int count = ::recv(socket_, &next, 1, MSG_PEEK);
  return count > 0 || (count < 0 && wouldBlock());
}

ssize_t HttpConnection::read(char* data, std::size_t size) {
  while (bufferStart_ == bufferEnd_) {
    if (stopping_) return -1;
    if (Clock::now() >= readDeadline()) {
      fault_ = Fault::TimedOut;
      return -1;
    }
    const int count = ::recv(socket_, buffer_, sizeof buffer_, 0);
    if (count > 0) {
      bufferStart_ = 0;
      bufferEnd_ = static_cast<std::size_t>(count);
    } else if (count == 0) {
      return 0;
    } else if (!wouldBlock()) {
      return -1;
    } else if (const Wait wait = waitFor(false, readDeadline()); wait != Wait::Ready) {
      if (wait == Wait::TimedOut) fault_ = Fault::TimedOut;
      return -1;
    }
  }
  const std::size_t count = allowance(std::min(size, bufferEnd_ - bufferStart_));
  if (count == 0) return -1;
  std::memcpy(data, buffer_ + bufferStart_, count);
  account(data, count);
  bufferStart_ += count;
  return static_cast<ssize_t>(count);
}

ssize_t HttpConnection::write(const char* data, std::size_t size) {
  const int length = static_cast<int>(std::min<std::size_t>(size, INT_MAX));
  const Clock::time_point started = Clock::now();
  while (true) {
    const int count = ::send(socket_, data, length, 0);
    if (count >= 0) return count;
    if (!wouldBlock()) return -1;
    const Clock::time_point deadline =
        started + (stopping_ ? Clock::duration(HttpLimits::writeStallWhileStopping) : Clock::duration(HttpLimits::writeStall));
    if (waitFor(true, deadline) != Wait::Ready) return -1;
  }
}

void HttpConnection::get_remote_ip_and_port(std::string& ip, int& port) const {
  httplib::detail::get_remote_ip_and_port(socket_, ip, port);
}

void HttpConnection::get_local_ip_and_port(std::string& ip, int& port) const {
  httplib::detail::get_local_ip_and_port(socket_, ip, port);
}

}  // namespace PluginHost
