#include "install_settings_store.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "ansi_text.h"
#include "formats/value_text_writer.h"
#include "host_value_json.h"

namespace PluginHost {

Outcome<std::unique_ptr<InstallSettingsStore>> InstallSettingsStore::open(const std::string& path) {
  auto store = std::make_unique<InstallSettingsStore>();
  store->path_ = path;
  if (!path.empty()) {
    // A UTF-8 path, opened in full.
    std::ifstream file(std::filesystem::path(ToolText::utf8ToWide(path)), std::ios::binary);
    if (file) {
      const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
      if (file.bad()) return Failure{"--store " + path + ": cannot be read"};
      Outcome<Quor::Value> content = parseJsonValue(text, "--store " + path);
      if (!content) return Failure{content.error()};
      const Quor::Value& settings = content.value();
      if (settings.kind() == Quor::ValueKind::Structure) {
        for (const auto& member : settings.members()) store->values_[std::string(member.name)] = member.value;
      } else if (!settings.isEmpty()) {
        return Failure{"--store " + path + ": the file must hold one JSON object"};
      }
    }
  }
  return store;
}

Quor::Value InstallSettingsStore::read(const std::string& key) {
  const std::lock_guard<std::mutex> lock(mutex_);
  const auto found = values_.find(key);
  return found != values_.end() ? found->second : Quor::Value();
}

Outcome<Done> InstallSettingsStore::write(const std::string& key, const Quor::Value& value) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (path_.empty()) {
    values_[key] = value;
    return Done{};
  }
  Quor::Value settings;
  settings.makeStructure();
  for (const auto& [name, stored] : values_) settings.writeMember(name) = stored;
  settings.writeMember(key) = value;
  Outcome<Done> written = replaceFileAtomically(path_, Quor::valueToText(settings, Quor::ValueTextStyle::Json) + '\n');
  if (written) values_[key] = value;
  return written;
}

}  // namespace PluginHost
