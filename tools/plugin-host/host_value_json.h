#pragma once
// Values in the records the plugin and the core exchange, read and written
// as JSON text through the runtime's value and JSON code.

#include <string>
#include <string_view>

#include "binding/host_value.h"
#include "binding/value.h"
#include "outcome.h"

namespace PluginHost {

// The record's value as compact JSON (members in name order, blobs as
// base64 text, an unreadable record as its reading error).
Outcome<std::string> hostValueJson(const Quor::HostValue& value);

// JSON text as a Value; the failure names what was being read.
Outcome<Quor::Value> parseJsonValue(std::string_view text, std::string_view what);

// A Value as a record owned by this program (its blocks come from this
// program's allocation functions; releaseHostValue frees them).
Outcome<Quor::HostValue> ownedHostValue(const Quor::Value& value);

}  // namespace PluginHost
