#pragma once
// The core's job service: callbacks the plugin schedules run one at a time
// on a worker thread once their delay has passed.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>


namespace PluginHost {

class Output;

using JobCallback = void (*)(void* context);

class JobQueue {
 public:
  explicit JobQueue(Output& output);
  ~JobQueue();
  JobQueue(const JobQueue&) = delete;
  JobQueue& operator=(const JobQueue&) = delete;

  // Queues the callback to run after delaySeconds (NaN and negative delays
  // run at once, longer than a year is cut to a year). False once closed.
  bool schedule(const char* name, JobCallback callback, void* context, double delaySeconds);

  // Returns once no job is queued or running (a job scheduled by a running
  // job is waited for too).
  void waitUntilIdle();

  // Waits for every job that is due or running, then refuses new jobs and
  // drops those still waiting for their time; they are reported.
  void close();

 private:
  struct Job {
    std::uint64_t id;
    std::string name;
    JobCallback callback;
    void* context;
    std::chrono::steady_clock::time_point due;
  };

  void run();
  // The position of the earliest job; the queue must not be empty.
  std::size_t earliest() const;
  bool dueJobWaiting() const;

  Output& output_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Job> queue_;
  bool running_ = false;  // a job's callback is running
  bool closed_ = false;
  bool exiting_ = false;
  std::uint64_t nextId_ = 1;
  std::thread worker_;
};

}  // namespace PluginHost
