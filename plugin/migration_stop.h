#pragma once
// A run in the client process may have to end early: the core stops the
// plugin while the job is inside it. The passes ask between their entries
// (shortcuts, uninstaller files) and end at once when told to.

#include <functional>

namespace Quor {

// Answers true once the run must end; an empty one never does.
using StopRequested = std::function<bool()>;

inline bool isStopRequested(const StopRequested& stop) { return stop && stop(); }

// The outcome of a pass that ended early. Nobody reports it (the plugin is
// going), but it must not read as success.
inline constexpr char migrationStoppedMessage[] = "The migration was stopped before it ended.";

}  // namespace Quor
