// The elevated launch against a scripted system: every way it ends, and the
// one-second cooperative slices up to the 60-second limit (on clocks that
// advance with each yield, so nothing waits for real). The real launch runs
// end to end in tests/end_to_end/beta_opt_in_check.sh.

#include "plugin/elevated_launch.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "logging/system_error_text.h"

namespace Quor {
namespace {

std::string systemText(std::uint32_t code) {
  std::array<char, 1024> text{};
  return systemErrorText(code, text.data(), text.size());
}

const ProcessHandle startedProcess = reinterpret_cast<ProcessHandle>(0x1234);

class ScriptedSystem final : public ElevatedLaunchSystem, public CooperativeWaiting {
 public:
  bool version6 = true;
  std::string systemFolder = "C:\\windows\\system32";
  std::uint32_t systemFolderError = 0;  // when set, systemDirectory fails with it
  ShellExecuteAnswer answer{42, startedProcess};
  std::vector<ProcessPoll> polls{ProcessPoll::Exited};  // the last one repeats
  bool exitCodeReadable = true;
  std::uint32_t exitCode = 42;

  int launches = 0, pollCount = 0, begins = 0, yields = 0, ends = 0, closes = 0;
  ShellExecuteRequest request;  // its texts are gone once the launch returns
  std::string verb, file, parameters;

  bool isVersion6OrLater() override { return version6; }
  std::uint32_t systemDirectory(char* buffer, std::uint32_t size) override {
    if (systemFolderError != 0) {
      errorCode = systemFolderError;
      return 0;
    }
    if (systemFolder.size() >= size) return static_cast<std::uint32_t>(systemFolder.size() + 1);
    systemFolder.copy(buffer, systemFolder.size());
    buffer[systemFolder.size()] = '\0';
    return static_cast<std::uint32_t>(systemFolder.size());
  }
  std::string executableDirectory() override { return "C:\\Games\\T\\Client\\"; }
  ShellExecuteAnswer shellExecute(const ShellExecuteRequest& made) override {
    ++launches;
    request = made;
    verb = made.verb;
    file = made.file;
    parameters = made.parameters;
    return answer;
  }
  ProcessPoll pollProcess(ProcessHandle) override {
    const ProcessPoll poll = polls[std::min<std::size_t>(pollCount++, polls.size() - 1)];
    if (poll == ProcessPoll::Failed) errorCode = 6;
    return poll;
  }
  bool processExitCode(ProcessHandle, std::uint32_t& code) override {
    if (!exitCodeReadable) {
      errorCode = 5;
      return false;
    }
    code = exitCode;
    return true;
  }
  void closeProcess(ProcessHandle process) override { closes += process == startedProcess ? 1 : 100; }
  std::uint32_t lastErrorCode() override { return errorCode; }
  std::int64_t steadyNanoseconds() override { return steady; }
  std::int64_t wallClockTicks() override {
    processWait = true;  // read first for the 60 s deadline
    return 5'000'000'000 + steady / 100;
  }
  // Only the process wait's slices are counted: the prompt's thread may
  // answer late on a busy machine, and its slices come before.
  void beginWait(const char* label, std::uint32_t flags) override {
    begins += processWait && std::string(label) == "Wait: sleep" && flags == 0;
  }
  void yield() override {
    yields += processWait;
    steady += 300'000'000;
  }
  void endWait() override { ends += processWait; }

 private:
  std::uint32_t errorCode = 0;
  std::int64_t steady = 1'000'000;
  bool processWait = false;
};

TEST(ElevatedLaunch, EndsAsTheSystemAnswers) {
  const struct {
    const char* name;
    std::function<void(ScriptedSystem&)> arrange;
    std::string message;  // empty: success
    int launches;
    int polls;
  } cases[] = {
      {"older than 6.0", [](ScriptedSystem& s) { s.version6 = false; }, "", 0, 0},
      {"system folder of 260 bytes", [](ScriptedSystem& s) { s.systemFolder = std::string(260, 'S'); },
       "Failed to GetSystemDirectoryPath: GetSystemDirectory result too large.", 0, 0},
      {"system folder unreadable", [](ScriptedSystem& s) { s.systemFolderError = 5; },
       "Failed to GetSystemDirectoryPath: " + systemText(5), 0, 0},
      {"prompt declined", [](ScriptedSystem& s) { s.answer = {5, nullptr}; }, "Player Declined Uac Prompt", 1, 0},
      {"shell failure", [](ScriptedSystem& s) { s.answer = {31, nullptr}; },
       "Failed to start migration admin process (error 31).", 1, 0},
      {"invalid handle", [](ScriptedSystem& s) { s.answer = {42, invalidProcessHandle}; },
       "shExecInfo.hProcess was INVALID_HANDLE_VALUE", 1, 0},
      {"no handle", [](ScriptedSystem& s) { s.answer = {33, nullptr}; }, "shExecInfo.hProcess was NULL", 1, 0},
      {"exits 42 in the third slice",
       [](ScriptedSystem& s) { s.polls = {ProcessPoll::Running, ProcessPoll::Running, ProcessPoll::Exited}; }, "",
       1, 3},
      {"exits 59", [](ScriptedSystem& s) { s.exitCode = 59; },
       "Admin process did not return kAdminSuccessExitCode. Exit code was: 59", 1, 1},
      {"exits with a code above 2^31", [](ScriptedSystem& s) { s.exitCode = 0xC0000005u; },
       "Admin process did not return kAdminSuccessExitCode. Exit code was: 3221225477", 1, 1},
      // 1.2 s of wall clock per slice: the 60 s limit falls after 50 polls.
      {"never exits", [](ScriptedSystem& s) { s.polls = {ProcessPoll::Running}; },
       "Timed out waiting for admin process.", 1, 50},
      {"wait fails", [](ScriptedSystem& s) { s.polls = {ProcessPoll::Running, ProcessPoll::Failed}; },
       "Error waiting for admin process: " + systemText(6), 1, 2},
      {"exit code unreadable", [](ScriptedSystem& s) { s.exitCodeReadable = false; },
       "Error getting exit code for admin process: " + systemText(5), 1, 1},
  };
  for (const auto& testCase : cases) {
    SCOPED_TRACE(testCase.name);
    ScriptedSystem system;
    testCase.arrange(system);
    const Expected<void> result = launchElevatedMigration("C:\\Games\\T with space", system, system);
    if (testCase.message.empty()) {
      EXPECT_TRUE(result) << result.error().message;
    } else {
      ASSERT_FALSE(result);
      EXPECT_EQ(textForm(result.error()), testCase.message);  // code 0: the message alone
    }
    EXPECT_EQ(system.launches, testCase.launches);
    EXPECT_EQ(system.pollCount, testCase.polls);
    // Each poll follows one slice: a second of yields inside one wait.
    EXPECT_EQ(system.begins, testCase.polls);
    EXPECT_EQ(system.ends, testCase.polls);
    EXPECT_EQ(system.yields, 4 * testCase.polls);
    // A handle handed back is closed once, whatever the wait said.
    EXPECT_EQ(system.closes, testCase.polls > 0 ? 1 : 0);
    if (system.launches == 1) {
      EXPECT_EQ(system.request.mask, 0x140u);
      EXPECT_EQ(system.verb, "runas");
      EXPECT_EQ(system.request.show, 0);
      EXPECT_EQ(system.file, "C:\\windows\\system32\\cmd.exe");
      EXPECT_EQ(system.parameters,
                "/C cd /d \"C:\\Games\\T\\Client\\\" && \"C:/windows/system32/rundll32.exe\" "
                "Plugins\\qcp-be-qel-beta-opt-in\\qcp-be-qel-beta-opt-in.dll,_MigrateEntryPoint@16 "
                "C:\\Games\\T with space");
    }
  }
}

}  // namespace
}  // namespace Quor
