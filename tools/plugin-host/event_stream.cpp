#include "event_stream.h"

#include <algorithm>

namespace PluginHost {

void EventStream::publish(const std::string& line) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (Watcher* watcher : watchers_) {
      if (watcher->overflowed_) continue;
      if (watcher->queue_.size() == maxQueuedLines) {
        watcher->overflowed_ = true;
        watcher->queue_.clear();
        continue;
      }
      watcher->queue_.push_back(line);
    }
  }
  changed_.notify_all();
}

std::shared_ptr<EventStream::Watcher> EventStream::watch() {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (closed_ || watchers_.size() >= maxWatchers) return nullptr;
  auto watcher = std::make_shared<Watcher>(*this);
  watchers_.push_back(watcher.get());
  return watcher;
}

void EventStream::close() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
  }
  changed_.notify_all();
}

EventStream::Watcher::~Watcher() {
  const std::lock_guard<std::mutex> lock(stream_.mutex_);
  std::vector<Watcher*>& watchers = stream_.watchers_;
  watchers.erase(std::remove(watchers.begin(), watchers.end(), this), watchers.end());
}

EventStream::Watcher::Next EventStream::Watcher::next(std::vector<std::string>& lines,
                                                      std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(stream_.mutex_);
  stream_.changed_.wait_for(lock, timeout, [&] { return stream_.closed_ || overflowed_ || !queue_.empty(); });
  if (overflowed_) return Next::Behind;
  if (stream_.closed_) return Next::Ended;
  if (queue_.empty()) return Next::Idle;
  lines.assign(std::make_move_iterator(queue_.begin()), std::make_move_iterator(queue_.end()));
  queue_.clear();
  return Next::Lines;
}

}  // namespace PluginHost
