#pragma once
// Whether the one-time migration is due, decided from the core's command
// line alone, and the attempt counter kept in the core's data store.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Quor {

class Value;

// True when an argument equals `name` exactly, with "--" put in front of a
// name that does not begin with it ("no-zamp" matches only "--no-zamp").
bool hasFlag(const std::vector<std::string>& arguments, std::string_view name);

// The decision and the line needsMigration logs for it (null: nothing).
struct MigrationDecision {
  bool needed = false;
  const char* logLine = nullptr;
};

// "--no-zamp" -> not needed; "--allow-multiple-clients" -> disabled;
// "--from-kxu" -> needed; otherwise not needed (tested in that order).
MigrationDecision decideMigration(const std::vector<std::string>& arguments);

// The stored attempt counter read leniently (nothing stored counts as 3)
// minus one, wrapping: 0 gives 18446744073709551615.
std::uint64_t attemptsRemainingAfterThisRun(const Value& stored);

}  // namespace Quor
