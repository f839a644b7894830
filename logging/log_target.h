#pragma once
// The base of every log sink. The logger hands each record it accepts to the
// registered targets in registration order; each target filters again by its
// own settings and writes the record its own way.
//
// Locks: the logger's lock is always taken before a target's own lock.
// Registration changes (configure, close, addTarget, removeTarget) take both
// in that order; settings changes take the target's lock; the logger calls
// `write` holding its lock, and targets take their own inside `write`.
//
// A derived target whose `write` uses members of its own calls `close()` in
// its destructor, so that no record reaches it while it is torn down.

#include <cstdint>
#include <mutex>
#include <string>

#include "logging/log_record.h"

namespace Quor {

inline constexpr const char* kDefaultLineFormat = "#D| #L| #G| #M";

struct LogTargetSettings {
  std::int32_t minimumLevel = LogLevel::Warn;
  std::uint64_t includedCategories = 0;  // 0: every category
  std::uint64_t excludedCategories = 0;
  std::string format = kDefaultLineFormat;
};

class LogTarget;
void addTarget(LogTarget* target);
void removeTarget(LogTarget* target);

class LogTarget {
 public:
  LogTarget() = default;
  // Starts with `settings` (included reduced by excluded), unregistered.
  explicit LogTarget(const LogTargetSettings& settings);
  LogTarget(const LogTarget&) = delete;
  LogTarget& operator=(const LogTarget&) = delete;

  // Unregisters the target first.
  virtual ~LogTarget();

  // Unregisters the target from the logger.
  virtual void close();
  // The class name, e.g. "LogTarget", "StdErrLogTarget".
  virtual const char* name() const;
  // The line format of the settings.
  virtual std::string format() const;
  // Writes one accepted record; answers whether it was written. Called by
  // the logger under its lock.
  virtual bool write(const LogRecord& record) = 0;

  // Replaces every setting and (re-)registers the target, so that it moves
  // to the end of the logger's list. The included categories are stored
  // reduced by the excluded ones (included AND NOT excluded).
  void configure(const LogTargetSettings& settings);
  void setMinimumLevel(std::int32_t level);
  // Same reduction as `configure`.
  void setCategoryMasks(std::uint64_t included, std::uint64_t excluded);

  std::int32_t minimumLevel() const;
  std::uint64_t includedCategories() const;
  std::uint64_t excludedCategories() const;
  LogTargetSettings settings() const;
  bool isRegistered() const;

  // The logger's test for this target: the level reaches the minimum, and a
  // non-zero category is not excluded and, when the target includes only
  // some categories, shares a bit with them. Category 0 passes.
  bool accepts(std::int32_t level, std::uint64_t category) const;

 protected:
  // The target's own lock (recursive); `write` takes it.
  std::recursive_mutex& targetLock() const { return lock_; }
  // The line format; only while `targetLock()` is held.
  const char* lineFormatLocked() const { return settings_.format.c_str(); }

 private:
  friend void addTarget(LogTarget* target);
  friend void removeTarget(LogTarget* target);

  mutable std::recursive_mutex lock_;
  bool registered_ = false;
  LogTargetSettings settings_;
};

}  // namespace Quor
