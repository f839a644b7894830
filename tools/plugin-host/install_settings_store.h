#pragma once
// The core's install settings: values by key, kept in memory or in a JSON
// file (one object, key to value) that every change rewrites atomically.

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "binding/value.h"
#include "outcome.h"

namespace PluginHost {

class InstallSettingsStore {
 public:
  // An empty path keeps the settings in memory only. A file that exists is
  // read first: it must hold one JSON object.
  static Outcome<std::unique_ptr<InstallSettingsStore>> open(const std::string& path);

  InstallSettingsStore() = default;
  InstallSettingsStore(const InstallSettingsStore&) = delete;
  InstallSettingsStore& operator=(const InstallSettingsStore&) = delete;

  // The stored value; the empty value for a key never written.
  Quor::Value read(const std::string& key);

  // Stores the value; with a file, the value is kept only when the file was
  // written.
  Outcome<Done> write(const std::string& key, const Quor::Value& value);

 private:
  std::mutex mutex_;
  std::string path_;
  std::map<std::string, Quor::Value> values_;
};

// Writes the text to a temporary file beside the path and renames it over
// the path, so the file holds either its old or its new content.
Outcome<Done> replaceFileAtomically(const std::string& path, const std::string& text);

}  // namespace PluginHost
