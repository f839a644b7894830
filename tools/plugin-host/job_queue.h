#pragma once
// The core's job service: callbacks the plugin schedules run one at a time
// on a worker thread once their delay has passed. Jobs scheduled while the
// queue holds wait for release(), so a stop can come before a job has run.

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
  // drops those still waiting for their time or held; they are reported.
  void close();

  // Jobs scheduled from now on are held (not run) until release().
  void hold();
  // Held jobs run once their time has come; new ones are no longer held.
  void release();

  struct Job {
    std::uint64_t id;
    std::string name;
    JobCallback callback;
    void* context;
    std::chrono::steady_clock::time_point due;
    bool held;
  };
  // For a stop that does not wait: refuses new jobs and hands over every
  // job not started yet (held or not); a running one is left running.
  std::vector<Job> takeWaitingJobs();
  // Runs a job's callback on the calling thread, with its lines.
  void fire(const Job& job);
  // Waits at most `limit` until no callback runs on the worker; answers
  // whether none does.
  bool waitWhileRunning(std::chrono::milliseconds limit);
  bool callbackRunning();

 private:

  void run();
  // The position of the earliest job not held; queue_.size() when none.
  std::size_t earliest() const;
  bool dueJobWaiting() const;

  Output& output_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Job> queue_;
  bool running_ = false;  // a job's callback is running
  bool closed_ = false;
  bool holding_ = false;
  bool exiting_ = false;
  std::uint64_t nextId_ = 1;
  std::thread worker_;
};

}  // namespace PluginHost
