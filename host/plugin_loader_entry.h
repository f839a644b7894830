#pragma once
// The loader entry the core calls once after mapping the library: it builds
// the plugin object (makePluginObject) and loads it under the short name
// "qel-beta-opt-in". When the object cannot be built or loaded, the
// handshake's four output pointers are left null and an ERROR line says why.
// Answers 0.

#include <cstdint>

#include "host/host_records.h"

extern "C" std::int32_t load_qel_beta_opt_in(Quor::HostHandshake* handshake);

namespace Quor {

inline constexpr const char* pluginShortName = "qel-beta-opt-in";

}  // namespace Quor
