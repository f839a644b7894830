#pragma once
// Ctrl-C and the console's other close signals, turned into a call.

#include <functional>

namespace PluginHost {

// While set, the signal calls stop (on a thread of its own) instead of
// ending the process; an empty function gives the signal back.
void onConsoleStop(std::function<void()> stop);

}  // namespace PluginHost
