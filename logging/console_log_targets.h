#pragma once
// The three built-in targets: standard error, standard output and the
// debugger's output. Each formats a record into one line of at most 4096
// bytes (no allocation) and writes it under its own lock.
//
// The streams and the debugger channel are parameters so that the exact
// lines can be seen elsewhere; the logger's own targets use the real ones.

#include <cstdio>

#include "logging/log_target.h"

namespace Quor {

inline constexpr const char* kConsoleLineFormat = "#E(#T): #L| #M";

class BaseConsoleLogTarget : public LogTarget {
 public:
  using LogTarget::LogTarget;

  const char* name() const override;
  virtual void flush() = 0;

 protected:
  // Formats `record` with the target's line format into `line`; the target's
  // lock must be held. Answers the characters stored.
  std::size_t formatRecordLocked(char (&line)[kLogBufferSize], const LogRecord& record) const;
};

// Lines to standard error, each flushed as it is written. Includes DBG,
// excludes GEN, format "#E(#T): #L| #M"; registered by the logger when it is
// created.
class StdErrLogTarget : public BaseConsoleLogTarget {
 public:
  explicit StdErrLogTarget(std::FILE* stream = stderr);
  ~StdErrLogTarget() override;

  const char* name() const override;
  bool write(const LogRecord& record) override;
  void flush() override;

 private:
  std::FILE* stream_;
};

// Lines to standard output. Includes GEN, excludes DBG, format "#M"; not
// registered unless someone registers it.
class StdOutLogTarget : public BaseConsoleLogTarget {
 public:
  explicit StdOutLogTarget(std::FILE* stream = stdout);
  ~StdOutLogTarget() override;

  const char* name() const override;
  bool write(const LogRecord& record) override;
  void flush() override;

  // When set, the stream is flushed after every line (initially clear).
  void setFlushAfterEachLine(bool flush);
  bool flushesAfterEachLine() const;

 private:
  std::FILE* stream_;
  bool flushAfterEachLine_ = false;
};

// Receives each finished line of a DebuggerConsoleLogTarget.
using DebuggerOutputFunction = void (*)(const char* line);

// Lines to the debugger's output. Includes DBG, excludes nothing, format
// "#E(#T): #L| #M"; registered by the logger when it is created, after the
// standard error target.
class DebuggerConsoleLogTarget : public BaseConsoleLogTarget {
 public:
  explicit DebuggerConsoleLogTarget(DebuggerOutputFunction output = nullptr);
  ~DebuggerConsoleLogTarget() override;

  const char* name() const override;
  bool write(const LogRecord& record) override;
  // The debugger keeps nothing back.
  void flush() override;

 private:
  DebuggerOutputFunction output_;
};

}  // namespace Quor
