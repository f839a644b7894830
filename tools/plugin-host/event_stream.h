#pragma once
// The simulator's printed lines handed to the watchers of the HTTP event
// stream. Each watcher has its own queue, bounded: one that falls too far
// behind is ended rather than let grow.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace PluginHost {

class EventStream {
 public:
  static constexpr std::size_t maxWatchers = 16;
  static constexpr std::size_t maxQueuedLines = 10'000;

  class Watcher;

  // Queues the line for every watcher.
  void publish(const std::string& line);

  // A new watcher, or null when maxWatchers are watching or the stream is
  // closed. It stops counting when the pointer is destroyed.
  std::shared_ptr<Watcher> watch();

  // Ends every watcher; watch answers null from now on.
  void close();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Watcher*> watchers_;
  bool closed_ = false;
};

class EventStream::Watcher {
 public:
  // Behind: ended for falling maxQueuedLines behind.
  enum class Next { Lines, Idle, Ended, Behind };

  explicit Watcher(EventStream& stream) : stream_(stream) {}
  ~Watcher();
  Watcher(const Watcher&) = delete;
  Watcher& operator=(const Watcher&) = delete;

  // Waits up to timeout for lines and moves them into lines.
  Next next(std::vector<std::string>& lines, std::chrono::milliseconds timeout);

 private:
  friend class EventStream;
  EventStream& stream_;
  std::deque<std::string> queue_;
  bool overflowed_ = false;
};

}  // namespace PluginHost
