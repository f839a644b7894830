#include "logging/log_target.h"

#include "logging/logger.h"

namespace Quor {

LogTarget::LogTarget(const LogTargetSettings& settings) : settings_(settings) {
  settings_.includedCategories &= ~settings_.excludedCategories;
}

LogTarget::~LogTarget() {
  LogTarget::close();
}

void LogTarget::close() {
  removeTarget(this);
}

const char* LogTarget::name() const {
  return "LogTarget";
}

std::string LogTarget::format() const {
  std::lock_guard lock(lock_);
  return settings_.format;
}

void LogTarget::configure(const LogTargetSettings& settings) {
  std::lock_guard loggerGuard(loggerLock());
  std::lock_guard targetGuard(lock_);
  removeTarget(this);
  settings_ = settings;
  settings_.includedCategories &= ~settings_.excludedCategories;
  addTarget(this);
}

void LogTarget::setMinimumLevel(std::int32_t level) {
  std::lock_guard lock(lock_);
  settings_.minimumLevel = level;
}

void LogTarget::setCategoryMasks(std::uint64_t included, std::uint64_t excluded) {
  std::lock_guard lock(lock_);
  settings_.includedCategories = included & ~excluded;
  settings_.excludedCategories = excluded;
}

std::int32_t LogTarget::minimumLevel() const {
  std::lock_guard lock(lock_);
  return settings_.minimumLevel;
}

std::uint64_t LogTarget::includedCategories() const {
  std::lock_guard lock(lock_);
  return settings_.includedCategories;
}

std::uint64_t LogTarget::excludedCategories() const {
  std::lock_guard lock(lock_);
  return settings_.excludedCategories;
}

LogTargetSettings LogTarget::settings() const {
  std::lock_guard lock(lock_);
  return settings_;
}

bool LogTarget::isRegistered() const {
  std::lock_guard lock(lock_);
  return registered_;
}

bool LogTarget::accepts(std::int32_t level, std::uint64_t category) const {
  std::lock_guard lock(lock_);
  if (level < settings_.minimumLevel) {
    return false;
  }
  if (category == 0) {
    return true;
  }
  if ((category & settings_.excludedCategories) != 0) {
    return false;
  }
  return settings_.includedCategories == 0 || (category & settings_.includedCategories) != 0;
}

}  // namespace Quor
