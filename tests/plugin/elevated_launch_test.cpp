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

#include "logging/log_record.h"
#include "logging/system_error_text.h"
#include "migration_test_support.h"
#include "plugin/command_escaping.h"

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
  Expected<std::string> clientFolder = std::string("C:\\Games\\T\\Client\\");
  bool networkDrive = false;
  Expected<std::string> executableDirectory() override { return clientFolder; }
  bool isOnNetworkDrive(const std::string&) override { return networkDrive; }
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
                "/D /E:ON /V:OFF /C cd /d \"C:\\Games\\T\\Client\\\" && \"C:/windows/system32/rundll32.exe\" "
                "Plugins\\qcp-be-qel-beta-opt-in\\qcp-be-qel-beta-opt-in.dll,_MigrateEntryPoint@16 "
                "C:\\Games\\T with space");
    }
  }
}

// A client folder `cd /d` cannot enter, or that the ANSI code page cannot
// carry, is refused (and logged) before anything starts; one on a network
// drive is started, with a warning.
TEST(ElevatedLaunch, RefusesAClientFolderTheInterpreterCannotEnter) {
  const struct {
    Expected<std::string> folder;
    bool networkDrive;
    std::string refusal;  // empty: started
    std::string line;
  } cases[] = {
      {std::string(), false, "Cannot start the elevated migration: the client folder is empty.",
       "ERROR qel-beta-opt-in: Cannot start the elevated migration: the client folder is empty."},
      {std::string("\\\\server\\games\\T\\Client\\"), false,
       "Cannot start the elevated migration: the client folder \\\\server\\games\\T\\Client\\ is a UNC path, which "
       "cmd.exe cannot make its current directory.",
       "ERROR qel-beta-opt-in: Cannot start the elevated migration: the client folder \\\\server"},
      {std::string("N:\\T\\Client\\"), true, "",
       "WARN qel-beta-opt-in: The client folder N:\\T\\Client\\ is on a network drive, which the elevated pass may "
       "not see."},
  };
  for (const auto& testCase : cases) {
    SCOPED_TRACE(testCase.line);
    ScriptedSystem system;
    system.clientFolder = testCase.folder;
    system.networkDrive = testCase.networkDrive;
    const QcpTest::CapturedLog log;
    const Expected<void> result = launchElevatedMigration("C:\\Games\\T", system, system);
    EXPECT_EQ(result ? std::string() : result.error().message, testCase.refusal);
    EXPECT_EQ(system.launches, testCase.refusal.empty() ? 1 : 0);
    const std::vector<Testing::CapturedRecord> records = log.records();
    EXPECT_EQ(records.size(), 1u);
    if (records.empty()) continue;
    const std::string line =
        std::string(records[0].level == LogLevel::Error ? "ERROR " : "WARN ") + records[0].message;
    EXPECT_EQ(line.rfind(testCase.line, 0), 0u) << line;
  }
}

// The client folder inside the quotes of `cd /d`, the root unquoted after the
// entry: what cmd.exe would read differently is escaped a character at a time,
// and what no command line carries fails before anything starts.
TEST(ElevatedLaunch, WritesEveryPathSoTheInterpreterReadsItExactly) {
  const std::string rundll =
      "\" && \"C:/windows/system32/rundll32.exe\" "
      "Plugins\\qcp-be-qel-beta-opt-in\\qcp-be-qel-beta-opt-in.dll,_MigrateEntryPoint@16 ";
  const struct {
    const char* name;
    std::string root;
    std::string folderWritten;  // of root + "\\Client\\"; empty: the root is refused
    std::string rootWritten;
  } cases[] = {
      {"plain root as it stands", "C:\\Program Files (x86)\\T, a; b=c !OS! 'd' `e` \xE9",
       "C:\\Program Files (x86)\\T, a; b=c !OS! 'd' `e` \xE9\\Client\\",
       "C:\\Program Files (x86)\\T, a; b=c !OS! 'd' `e` \xE9"},
      {"carets outside the quotes only", "C:\\Tom & Jerry ^", "C:\\Tom & Jerry ^\\Client\\",
       "C:\\Tom ^& Jerry ^^"},
      {"every percent sign", "C:\\%PATH%", "C:\\%%cd:~,%PATH%%cd:~,%\\Client\\", "C:\\%%cd:~,%PATH%%cd:~,%"},
      {"line break", "C:\\a\nb", "", "\"C:\\a\nb\" holds a line break"},
      {"carriage return", "C:\\a\rb", "", "\"C:\\a\rb\" holds a line break"},
      {"NUL", std::string("C:\\a\0b", 6), "", "holds a NUL character"},
      {"tab", "C:\\a\tb", "", "holds a control character"},
      {"double quote", "C:\\a\"b", "", "holds a double quote"},
  };
  for (const auto& testCase : cases) {
    SCOPED_TRACE(testCase.name);
    ScriptedSystem system;
    if (!testCase.folderWritten.empty()) system.clientFolder = testCase.root + "\\Client\\";
    const Expected<void> result = launchElevatedMigration(testCase.root, system, system);
    if (testCase.folderWritten.empty()) {
      ASSERT_FALSE(result);
      EXPECT_EQ(system.launches, 0);
      EXPECT_NE(result.error().message.find(testCase.rootWritten), std::string::npos) << result.error().message;
      EXPECT_EQ(result.error().message.rfind("Cannot start the elevated migration: ", 0), 0u);
    } else {
      EXPECT_TRUE(result);
      EXPECT_EQ(system.parameters,
                "/D /E:ON /V:OFF /C cd /d \"" + testCase.folderWritten + rundll + testCase.rootWritten);
    }
  }
}

// Double-byte code pages: a character whose second byte is 0x5E "^" or 0x7C
// "|" is copied whole, and a lead byte without its second byte is refused.
TEST(ElevatedLaunch, EscapesACharacterAtATime) {
  const std::string text = "C:\\\x83\x5E & \x83\x7C%";  // 932: two katakana
  const struct {
    unsigned codePage;
    CommandTextPlace place;
    std::string text;
    std::string written;  // empty: refused
  } cases[] = {
      {932, CommandTextPlace::outsideQuotes, text, "C:\\\x83\x5E ^& \x83\x7C%%cd:~,%"},
      {936, CommandTextPlace::outsideQuotes, text, "C:\\\x83\x5E ^& \x83\x7C%%cd:~,%"},
      {932, CommandTextPlace::insideQuotes, text, "C:\\\x83\x5E & \x83\x7C%%cd:~,%"},
      {1252, CommandTextPlace::outsideQuotes, text, "C:\\\x83^^ ^& \x83^|%%cd:~,%"},
      {932, CommandTextPlace::outsideQuotes, "C:\\\x83", ""},
      {932, CommandTextPlace::insideQuotes, "C:\\\x83 x", ""},  // a blank is no second byte
  };
  for (const auto& testCase : cases) {
    SCOPED_TRACE(testCase.codePage);
    const Expected<std::string> written = detail::commandLineTextInCodePage(testCase.codePage, testCase.text,
                                                                            testCase.place);
    if (testCase.written.empty()) {
      ASSERT_FALSE(written);
      EXPECT_NE(written.error().message.find("holds bytes that are not characters of the ANSI code page"),
                std::string::npos)
          << written.error().message;
    } else {
      ASSERT_TRUE(written) << written.error().message;
      EXPECT_EQ(*written, testCase.written);
    }
  }
}

}  // namespace
}  // namespace Quor
