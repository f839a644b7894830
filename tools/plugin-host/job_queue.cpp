#include "job_queue.h"

#include <cmath>

#include "output.h"

namespace PluginHost {
namespace {

constexpr double longestDelaySeconds = 365.0 * 24 * 3600;

}  // namespace

JobQueue::JobQueue(Output& output) : output_(output), worker_([this] { run(); }) {}

JobQueue::~JobQueue() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    exiting_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

bool JobQueue::schedule(const char* name, JobCallback callback, void* context, double delaySeconds) {
  const std::string jobName = name != nullptr ? name : "";
  if (!(delaySeconds > 0)) delaySeconds = 0;  // NaN too
  if (delaySeconds > longestDelaySeconds) delaySeconds = longestDelaySeconds;
  std::uint64_t id = 0;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    id = nextId_++;
    if (closed_ || callback == nullptr) {
      output_.job("refused", jobName, id, delaySeconds);
      return false;
    }
    const auto delay = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(delaySeconds));
    queue_.push_back({id, jobName, callback, context, std::chrono::steady_clock::now() + delay, holding_});
    // Printed under the lock, so "scheduled" always comes before "started".
    output_.job(holding_ ? "held" : "scheduled", jobName, id, delaySeconds);
  }
  changed_.notify_all();
  return true;
}

void JobQueue::waitUntilIdle() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return earliest() == queue_.size() && !running_; });
}

void JobQueue::hold() {
  const std::lock_guard<std::mutex> lock(mutex_);
  holding_ = true;
}

void JobQueue::release() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    holding_ = false;
    for (Job& job : queue_) {
      if (job.held) output_.job("released", job.name, job.id, 0);
      job.held = false;
    }
  }
  changed_.notify_all();
}

std::vector<JobQueue::Job> JobQueue::takeWaitingJobs() {
  std::vector<Job> taken;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    taken.swap(queue_);
  }
  changed_.notify_all();
  return taken;
}

void JobQueue::fire(const Job& job) {
  output_.job("started", job.name, job.id, 0);
  job.callback(job.context);
  output_.job("ended", job.name, job.id, 0);
}

bool JobQueue::waitWhileRunning(std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, limit, [this] { return !running_; });
}

bool JobQueue::callbackRunning() {
  const std::lock_guard<std::mutex> lock(mutex_);
  return running_;
}

void JobQueue::close() {
  std::vector<Job> dropped;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    // Due jobs are started by the worker; waiting on their start keeps a due
    // job from being dropped in the instant before it would have run.
    changed_.wait(lock, [this] { return !running_ && !dueJobWaiting(); });
    closed_ = true;
    dropped.swap(queue_);
  }
  changed_.notify_all();
  for (const Job& job : dropped) output_.job("dropped", job.name, job.id, 0);
}

std::size_t JobQueue::earliest() const {
  std::size_t first = queue_.size();
  for (std::size_t index = 0; index < queue_.size(); ++index) {
    if (!queue_[index].held && (first == queue_.size() || queue_[index].due < queue_[first].due)) first = index;
  }
  return first;
}

bool JobQueue::dueJobWaiting() const {
  const std::size_t first = earliest();
  return first < queue_.size() && queue_[first].due <= std::chrono::steady_clock::now();
}

void JobQueue::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!exiting_) {
    const std::size_t first = earliest();
    if (first == queue_.size()) {
      changed_.wait(lock);
      continue;
    }
    if (queue_[first].due > std::chrono::steady_clock::now()) {
      changed_.wait_until(lock, queue_[first].due);
      continue;
    }
    const Job job = queue_[first];
    queue_.erase(queue_.begin() + static_cast<std::ptrdiff_t>(first));
    running_ = true;
    lock.unlock();
    fire(job);
    lock.lock();
    running_ = false;
    changed_.notify_all();
  }
}

}  // namespace PluginHost
