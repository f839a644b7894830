// The elevated launch against a scripted system: the request handed to the
// shell, every way the launch ends, and the one-second cooperative slices up
// to the 60-second limit (on clocks that advance with each yield, so nothing
// waits for real).

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
constexpr std::int64_t stepNanoseconds = 300'000'000;

class ScriptedSystem final : public ElevatedLaunchSystem, public CooperativeWaiting {
 public:
  bool version6 = true;
  std::string systemFolder = "C:\\windows\\system32";
  std::uint32_t systemFolderError = 0;  // when set, systemDirectory fails with it
  ShellExecuteAnswer answer{42, startedProcess};
  std::vector<ProcessPoll> polls{ProcessPoll::Exited};  // the last one repeats
  bool exitCodeReadable = true;
  std::uint32_t exitCode = 42;
  std::uint32_t errorCode = 0;

  // What happened.
  int launches = 0;
  std::string file, verb, parameters;
  std::uint32_t mask = 0;
  std::int32_t show = -1;
  int pollCount = 0;
  std::vector<ProcessHandle> closed;
  std::vector<std::string> waitCalls;  // "begin Wait: sleep/0", "yield", "end"

  bool isVersion6OrLater() override { return version6; }
  std::uint32_t systemDirectory(char* buffer, std::uint32_t size) override {
    if (systemFolderError != 0) {
      errorCode = systemFolderError;
      return 0;
    }
    if (systemFolder.size() + 1 > size) return static_cast<std::uint32_t>(systemFolder.size() + 1);
    systemFolder.copy(buffer, systemFolder.size());
    buffer[systemFolder.size()] = '\0';
    return static_cast<std::uint32_t>(systemFolder.size());
  }
  std::string executableDirectory() override { return "C:\\Games\\T\\Client\\"; }
  ShellExecuteAnswer shellExecute(const ShellExecuteRequest& request) override {
    ++launches;
    file = request.file;
    verb = request.verb;
    parameters = request.parameters;
    mask = request.mask;
    show = request.show;
    return answer;
  }
  ProcessPoll pollProcess(ProcessHandle) override {
    const ProcessPoll poll = polls[std::min<std::size_t>(pollCount, polls.size() - 1)];
    ++pollCount;
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
  void closeProcess(ProcessHandle process) override { closed.push_back(process); }
  std::uint32_t lastErrorCode() override { return errorCode; }
  std::int64_t steadyNanoseconds() override { return steady; }
  std::int64_t wallClockTicks() override { return 5'000'000'000 + steady / 100; }

  void beginWait(const char* label, std::uint32_t flags) override {
    waitCalls.push_back(std::string("begin ") + label + "/" + std::to_string(flags));
  }
  void yield() override {
    waitCalls.push_back("yield");
    steady += stepNanoseconds;
  }
  void endWait() override { waitCalls.push_back("end"); }

 private:
  std::int64_t steady = 1'000'000;
};

TEST(ElevatedLaunch, StartsCmdWithRunasAndTheSixPiecesOfParameters) {
  ScriptedSystem system;
  system.systemFolder = "C:\\Windows\\system32";
  ASSERT_TRUE(launchElevatedMigration("C:\\Games\\T with space", system, system));
  EXPECT_EQ(system.launches, 1);
  EXPECT_EQ(system.verb, "runas");
  EXPECT_EQ(system.mask, 0x140u);
  EXPECT_EQ(system.show, 0);
  EXPECT_EQ(system.file, "C:\\Windows\\system32\\cmd.exe");
  EXPECT_EQ(system.parameters,
            "/C cd /d \"C:\\Games\\T\\Client\\\" && \"C:/Windows/system32/rundll32.exe\" "
            "Plugins\\qcp-be-qel-beta-opt-in\\qcp-be-qel-beta-opt-in.dll,_MigrateEntryPoint@16 C:\\Games\\T with space");
  // One slice: a second of yields (0.3 s each) bracketed by the wait.
  EXPECT_EQ(system.waitCalls,
            (std::vector<std::string>{"begin Wait: sleep/0", "yield", "yield", "yield", "yield", "end"}));
  EXPECT_EQ(system.pollCount, 1);
  EXPECT_EQ(system.closed, std::vector<ProcessHandle>{startedProcess});
}

struct LaunchCase {
  const char* name;
  std::function<void(ScriptedSystem&)> arrange;
  std::string message;  // empty: success
  int launches;
  int polls;
};

TEST(ElevatedLaunch, EndsAsTheSystemAnswers) {
  const std::vector<LaunchCase> cases = {
      {"older than 6.0", [](ScriptedSystem& s) { s.version6 = false; }, "", 0, 0},
      {"system folder of 260 bytes", [](ScriptedSystem& s) { s.systemFolder = std::string(260, 'S'); },
       "Failed to GetSystemDirectoryPath: GetSystemDirectory result too large.", 0, 0},
      {"system folder of 259 bytes", [](ScriptedSystem& s) { s.systemFolder = "C:\\" + std::string(256, 's'); },
       "", 1, 1},
      {"system folder unreadable", [](ScriptedSystem& s) { s.systemFolderError = 5; },
       "Failed to GetSystemDirectoryPath: " + systemText(5), 0, 0},
      {"prompt declined", [](ScriptedSystem& s) { s.answer = {5, nullptr}; }, "Player Declined Uac Prompt", 1, 0},
      {"shell failure", [](ScriptedSystem& s) { s.answer = {31, nullptr}; },
       "Failed to start migration admin process (error 31).", 1, 0},
      {"invalid handle", [](ScriptedSystem& s) { s.answer = {42, invalidProcessHandle}; },
       "shExecInfo.hProcess was INVALID_HANDLE_VALUE", 1, 0},
      {"no handle", [](ScriptedSystem& s) { s.answer = {33, nullptr}; }, "shExecInfo.hProcess was NULL", 1, 0},
      {"exits 42 after three slices",
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
  for (const LaunchCase& testCase : cases) {
    SCOPED_TRACE(testCase.name);
    ScriptedSystem system;
    testCase.arrange(system);
    const Expected<void> result = launchElevatedMigration("C:\\Games\\T", system, system);
    if (testCase.message.empty()) {
      EXPECT_TRUE(result) << result.error().message;
    } else {
      ASSERT_FALSE(result);
      EXPECT_EQ(result.error().code, 0);
      EXPECT_EQ(textForm(result.error()), testCase.message);
    }
    EXPECT_EQ(system.launches, testCase.launches);
    EXPECT_EQ(system.pollCount, testCase.polls);
    // A handle that was handed back is closed once, whatever the wait said.
    EXPECT_EQ(system.closed.size(), testCase.polls > 0 ? 1u : 0u);
  }
}

}  // namespace
}  // namespace Quor
