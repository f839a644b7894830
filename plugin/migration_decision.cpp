#include "plugin/migration_decision.h"

#include <algorithm>

#include "binding/value.h"

namespace Quor {

namespace {

constexpr std::uint64_t attemptsWhenNothingStored = 3;

}  // namespace

bool hasFlag(const std::vector<std::string>& arguments, std::string_view name) {
  std::string flag;
  if (name.substr(0, 2) != "--") flag = "--";
  flag += name;
  return std::find(arguments.begin(), arguments.end(), flag) != arguments.end();
}

MigrationDecision decideMigration(const std::vector<std::string>& arguments) {
  if (hasFlag(arguments, "no-zamp")) return {false, "Opt in migration is not needed as we are not using zamp."};
  if (hasFlag(arguments, "--allow-multiple-clients")) {
    return {false, "Opt in migration disabled due to --allow-multiple-clients flag."};
  }
  if (hasFlag(arguments, "--from-kxu")) return {true, nullptr};
  return {false, "TessarynClient was not launched from KXU, assuming migration has been successfully performed."};
}

std::uint64_t attemptsRemainingAfterThisRun(const Value& stored) {
  return stored.toUnsigned(attemptsWhenNothingStored) - 1;
}

}  // namespace Quor
