#pragma once
// Event names of resource paths, and the wildcard patterns that resource
// handlers may be registered under.

#include <string>
#include <string_view>

namespace Quor {

// The event under which changes of the resource at path are published and
// subscribed: "OnJsonApiEvent" and the path's non-empty segments, the first
// four entries of that list (six when the first segment is
// "qel-platform-config"), joined with "_".
// "/qel-beta-opt-in/v1/needs-migration" gives
// "OnJsonApiEvent_qel-beta-opt-in_v1_needs-migration".
std::string resourceEventName(std::string_view path);

// Whether path matches pattern, walking both once: "*" takes every character
// up to the next "/" or the end (at least one at the end of the pattern),
// never looking ahead or stepping back. "/a/*/c" matches "/a/xyz/c" and
// "/a//c"; "/a/*" matches "/a/b" but not "/a/" or "/a/b/c".
bool resourcePatternMatches(std::string_view pattern, std::string_view path);

}  // namespace Quor
