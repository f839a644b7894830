#pragma once
// Test helpers: a target that keeps what it is given, and a fixture that
// gives each test a logger of its own with the console targets taken off.

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "logging/log_line_format.h"
#include "logging/logger.h"

namespace Quor::Testing {

struct CapturedRecord {
  std::int32_t level;
  std::uint64_t category;
  std::string message;
};

class CapturingLogTarget : public LogTarget {
 public:
  // Every level and category, lines formatted as the message alone unless
  // told otherwise.
  explicit CapturingLogTarget(const char* name = "CapturingLogTarget", const char* format = "#M")
      : LogTarget(LogTargetSettings{LogLevel::Okay, 0, 0, format}), name_(name) {}
  ~CapturingLogTarget() override { close(); }

  const char* name() const override { return name_; }

  bool write(const LogRecord& record) override {
    std::lock_guard lock(targetLock());
    char line[kLogBufferSize];
    formatLine(line, sizeof line, lineFormatLocked(), record);
    lines_.emplace_back(line);
    records_.push_back({record.level, record.category, record.message});
    if (sequence_ != nullptr) {
      sequence_->push_back(name_);
    }
    return true;
  }

  std::vector<std::string> lines() const {
    std::lock_guard lock(targetLock());
    return lines_;
  }
  std::vector<CapturedRecord> records() const {
    std::lock_guard lock(targetLock());
    return records_;
  }
  // Appends the target's name to `sequence` at every write, to see the order
  // in which targets are called.
  void recordSequenceIn(std::vector<std::string>* sequence) { sequence_ = sequence; }

 private:
  const char* name_;
  std::vector<std::string> lines_;
  std::vector<CapturedRecord> records_;
  std::vector<std::string>* sequence_ = nullptr;
};

// A logger in use by this test alone: the fixture holds it (so it survives
// the test) and takes the console targets off it; the release at the end
// destroys it, so the next user gets a logger in its default state.
class IsolatedLoggerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    acquireLogger();
    removeTarget(stdErrTarget());
    removeTarget(debuggerTarget());
  }
  void TearDown() override { releaseLogger(); }
};

}  // namespace Quor::Testing
