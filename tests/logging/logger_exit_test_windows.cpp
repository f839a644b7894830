#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// A thread ended by the system inside a log call must not keep the library's
// unloading at process exit waiting for the logger: the probe ends its
// process with 17 while one of its threads is stopped inside a target.
TEST(LoggerAtProcessExit, ExitEndsWhileAThreadIsStoppedInsideALogCall) {
  std::string commandLine = "\"" QCP_LOGGER_EXIT_PROBE "\" \"" QCP_LOGGER_EXIT_PROBE_DLL "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &process));
  CloseHandle(process.hThread);
  const DWORD waited = WaitForSingleObject(process.hProcess, 30000);
  if (waited != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 1);
  }
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hProcess);
  EXPECT_EQ(waited, static_cast<DWORD>(WAIT_OBJECT_0)) << "the process did not end";
  EXPECT_EQ(exitCode, 17u);
}

}  // namespace
