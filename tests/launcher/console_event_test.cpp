// A real console event to a real launcher. Under Wine an event cannot be sent to one
// process group (GenerateConsoleCtrlEvent fails), and there is no console without a
// terminal; so ctest runs this program on a pseudo-terminal, and the Ctrl-C goes to the
// whole console: this program keeps running, the launcher and its child receive it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/harness/process.h"
#include "tests/harness/temp_dir.h"

namespace {

std::wstring packed(const std::wstring& name) {
  return this_program_directory() + L"\\reliability\\" + name;
}

BOOL WINAPI keep_running(DWORD) { return TRUE; }

// A launcher started on this program's console, its output (and its child's) captured.
struct ConsoleLaunch {
  TempDir temp;
  HANDLE out = INVALID_HANDLE_VALUE;
  PROCESS_INFORMATION process = {};

  ConsoleLaunch(const std::wstring& launcher, const wchar_t* sleep_ms) {
    SetEnvironmentVariableW(L"PROBE_SLEEP_MS", sleep_ms);
    SetEnvironmentVariableW(L"PROBE_IGNORE_CTRL", L"1");
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    out = CreateFileW(temp.file(L"out.txt").c_str(), GENERIC_READ | GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = out;
    std::wstring line = quote_argument(launcher);
    EXPECT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                               &startup, &process));
    SetEnvironmentVariableW(L"PROBE_SLEEP_MS", nullptr);
    SetEnvironmentVariableW(L"PROBE_IGNORE_CTRL", nullptr);
  }
  ~ConsoleLaunch() {
    TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(out);
  }
  std::string output() { return read_file(temp.file(L"out.txt")); }
  bool wait_for_output(const std::string& text) {
    for (int i = 0; i < 1000 && output().find(text) == std::string::npos; ++i) Sleep(10);
    return output().find(text) != std::string::npos;
  }
  // Milliseconds from now until the launcher ends, at most 20 s.
  DWORD time_to_end() {
    DWORD start = GetTickCount();
    WaitForSingleObject(process.hProcess, 20000);
    return GetTickCount() - start;
  }
};

class ConsoleEvent : public ::testing::Test {
 protected:
  void SetUp() override {
    DWORD mode = 0;
    if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode)) {
      GTEST_SKIP() << "no console: run on a terminal, as ctest does";
    }
    SetConsoleCtrlHandler(keep_running, TRUE);
  }
  static void send_ctrl_c() { ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)); }
};

// The system's default handling ends the launcher: Windows with STATUS_CONTROL_C_EXIT,
// Wine with 0.
bool ended_by_default_handling(DWORD status) { return status == 0 || status == 0xC000013A; }

DWORD exit_status(HANDLE process) {
  DWORD status = STILL_ACTIVE;
  GetExitCodeProcess(process, &status);
  return status;
}

TEST_F(ConsoleEvent, ChildRunningOnIsEndedAfterTheGracePeriodAndTheLauncherEndsToo) {
  ConsoleLaunch launch(packed(L"launcher.exe"), L"60000");
  ASSERT_TRUE(launch.wait_for_output("self=")) << launch.output();
  send_ctrl_c();
  DWORD took = launch.time_to_end();
  EXPECT_GE(took, 4500u);
  EXPECT_LT(took, 10000u);
  EXPECT_EQ(launch.output().find("slept="), std::string::npos);
  EXPECT_TRUE(ended_by_default_handling(exit_status(launch.process.hProcess)));
}

TEST_F(ConsoleEvent, ChildEndingWithinTheGracePeriodFinishesItsWork) {
  SetEnvironmentVariableW(L"PROBE_EXIT_CODE", L"7");
  ConsoleLaunch launch(packed(L"launcher.exe"), L"2500");
  SetEnvironmentVariableW(L"PROBE_EXIT_CODE", nullptr);
  ASSERT_TRUE(launch.wait_for_output("self=")) << launch.output();
  send_ctrl_c();
  EXPECT_LT(launch.time_to_end(), 4500u);
  EXPECT_NE(launch.output().find("slept=2500"), std::string::npos) << launch.output();
  // The launcher's own return of the child's code may come before the default handling.
  DWORD status = exit_status(launch.process.hProcess);
  EXPECT_TRUE(status == 7 || ended_by_default_handling(status)) << status;
}

// The unpack is held up by a file that this program keeps locked, so that the event
// surely arrives before the child starts.
TEST_F(ConsoleEvent, EventDuringUnpackingEndsTheLauncherAndTheNextStartRepairs) {
  std::wstring target = packed(L"small-target");
  remove_tree(target);
  CreateDirectoryW(target.c_str(), nullptr);
  write_file(target + L"\\f5.txt", "old");
  HANDLE held = CreateFileW((target + L"\\f5.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            0, nullptr);
  {
    ConsoleLaunch launch(packed(L"small.exe"), L"0");
    Sleep(300);
    send_ctrl_c();
    EXPECT_LT(launch.time_to_end(), 1500u);
    EXPECT_TRUE(ended_by_default_handling(exit_status(launch.process.hProcess)));
    EXPECT_EQ(launch.output().find("argc="), std::string::npos) << launch.output();
  }
  CloseHandle(held);
  ProcessOptions options;
  options.environment = {L"PROBE_TREE_SOURCE=" + packed(L"small")};
  ProcessResult next = run_process(quote_argument(packed(L"small.exe")), options);
  EXPECT_EQ(next.exit_code, 0u) << next.err;
  EXPECT_NE(next.out.find("tree=same"), std::string::npos) << next.out;
  EXPECT_EQ(read_file(target + L"\\f5.txt"), read_file(packed(L"small\\f5.txt")));
}

}  // namespace
