// The decision from the core's command line, the installation root and the
// order in which a run's failures win.

#include "plugin/migration_decision.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logging/make_error.h"
#include "plugin/client_migration_run.h"
#include "plugin/installation_root.h"

namespace Quor {
namespace {

TEST(MigrationDecision, FollowsTheFlagsInOrder) {
  const char* notZamp = "Opt in migration is not needed as we are not using zamp.";
  const char* notKxu = "TessarynClient was not launched from KXU, assuming migration has been successfully performed.";
  const struct {
    std::vector<std::string> arguments;
    bool needed;
    const char* logLine;
  } cases[] = {
      {{"--no-zamp", "--from-kxu"}, false, notZamp},
      {{"--from-kxu"}, true, nullptr},
      {{"--allow-multiple-clients", "--from-kxu"}, false,
       "Opt in migration disabled due to --allow-multiple-clients flag."},
      {{}, false, notKxu},
      {{"no-zamp", "--from-kxu"}, true, nullptr},
      {{"--from-kxu=1", "--FROM-KXU"}, false, notKxu},
  };
  for (const auto& testCase : cases) {
    SCOPED_TRACE(testing::PrintToString(testCase.arguments));
    const MigrationDecision decision = decideMigration(testCase.arguments);
    EXPECT_EQ(decision.needed, testCase.needed);
    EXPECT_STREQ(decision.logLine, testCase.logLine);
  }
}

TEST(InstallationRoot, IsSixRealFolderLevelsUp) {
  std::string longCurrentDirectory = "C:\\Games\\Root";
  for (int level = 0; level < 6; ++level) longCurrentDirectory += "\\" + std::string(38, static_cast<char>('a' + level));
  ASSERT_EQ(longCurrentDirectory.size(), 247u);
  EXPECT_EQ(folderLevelsBelowRoot("C:\\a\\\\b\\"), 2u);
  EXPECT_EQ(folderLevelsBelowRoot("\\\\server\\share\\a\\b"), 2u);
  EXPECT_EQ(folderLevelsBelowRoot("\\\\?\\UNC\\server\\share\\a"), 1u);
  const char* tooShallow = " is fewer than six folder levels below its root.";
  const char* noFullPath = " has no full path six levels up.";
  const struct {
    const char* currentDirectory;
    const char* root;  // null: refused, for `why`
    const char* why = nullptr;
  } cases[] = {
      {"C:\\Games\\T with space\\1\\2\\3\\4\\5\\Client", "C:\\Games\\T with space"},
      {"D:\\1\\2\\3\\4\\5\\Client", "D:\\"},
      {"D:\\1\\2\\3\\4\\Client", nullptr, tooShallow},
      // Near the path limit the six folders still come off whole.
      {longCurrentDirectory.c_str(), "C:\\Games\\Root"},
      {"", nullptr, tooShallow},
      // Names the full path would change: "C:\\G\\T", or the whole drive.
      {"C:\\G\\T..\\1\\2\\3\\4\\5\\6", nullptr, noFullPath},
      {"C:\\G\\T \\1\\2\\3\\4\\5\\6", nullptr, noFullPath},
      {"C:\\...\\1\\2\\3\\4\\5\\6", nullptr, noFullPath},
      {"C:/G/T/1/2/3/4/5/6", "C:\\G\\T"},
  };
  for (const auto& testCase : cases) {
    const Expected<std::string> root = installationRoot(testCase.currentDirectory);
    if (testCase.root != nullptr) {
      EXPECT_EQ(root ? *root : root.error().message, testCase.root);
    } else {
      ASSERT_FALSE(root) << *root;
      EXPECT_EQ(textForm(root.error()), std::string("Cannot find the installation root: the current directory ") +
                                            testCase.currentDirectory + testCase.why);
    }
  }
}

TEST(ClientMigrationRun, RunsEveryStepAndTheLocalFailureWinsThenElevatedThenCleanup) {
  const PluginError local = makeError(55, "Failed to delete %s", "x.lnk");
  const PluginError elevated = makeError(0, "Player Declined Uac Prompt");
  const PluginError cleanup = makeError(0, "Failed to remove one or more uninstaller files.");
  const struct {
    const char* currentDirectory;
    bool localFails, elevatedFails, cleanupFails;
    std::string outcome;  // empty: success
    std::vector<std::string> steps;
    std::size_t stopAfterSteps = 4;  // the plugin is stopped once this many steps ran
  } cases[] = {
      {"C:\\T\\a\\b\\c\\d\\e\\Client", false, false, false, "", {"elevated C:\\T", "local C:\\T", "cleanup C:\\T"}},
      {"C:\\T\\a\\b\\c\\d\\e\\Client", true, true, true, textForm(local), {"elevated C:\\T", "local C:\\T", "cleanup C:\\T"}},
      {"C:\\T\\a\\b\\c\\d\\e\\Client", false, true, true, textForm(elevated),
       {"elevated C:\\T", "local C:\\T", "cleanup C:\\T"}},
      {"C:\\T\\a\\b\\c\\d\\e\\Client", false, false, true, textForm(cleanup),
       {"elevated C:\\T", "local C:\\T", "cleanup C:\\T"}},
      // No installation root: nothing runs, the uninstaller cleanup included.
      {"C:\\Client", false, false, true,
       "Cannot find the installation root: the current directory C:\\Client is fewer than six folder levels below "
       "its root.",
       {}},
      // Stopped during the elevated launch: no further step starts.
      {"C:\\T\\a\\b\\c\\d\\e\\Client", false, true, false, migrationStoppedMessage, {"elevated C:\\T"}, 1},
      // A current directory the ANSI code page cannot carry: nothing runs.
      {nullptr, false, false, false, "the current directory is refused", {}},
  };
  for (const auto& testCase : cases) {
    std::vector<std::string> steps;
    const auto step = [&](std::string name, bool fails, const PluginError& error) -> Expected<void> {
      steps.push_back(std::move(name));
      if (fails) return error;
      return {};
    };
    const Expected<void> result = runClientMigration(
        {[&]() -> Expected<std::string> {
           if (testCase.currentDirectory == nullptr) return makeError(0, "the current directory is refused");
           return std::string(testCase.currentDirectory);
         },
         [&](const std::string& root) { return step("elevated " + root, testCase.elevatedFails, elevated); },
         [&](std::string_view root) { return step("local " + std::string(root), testCase.localFails, local); },
         [&](const std::string& root) { return step("cleanup " + root, testCase.cleanupFails, cleanup); },
         [&] { return steps.size() >= testCase.stopAfterSteps; }});
    EXPECT_EQ(steps, testCase.steps);
    EXPECT_EQ(result ? std::string() : textForm(result.error()), testCase.outcome);
  }
}

}  // namespace
}  // namespace Quor
