// A real console event to a real console launcher, which shares this program's console
// with its child. Under Wine an event cannot be sent to one process group
// (GenerateConsoleCtrlEvent fails), a ^C typed at the terminal reaches no program, and
// there is no console without a terminal; so ctest runs this program on a
// pseudo-terminal, and the Ctrl-C goes to the whole console: this program keeps running,
// the launcher and its child receive it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

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

  // behaviour: PROBE_* variables on top of the sleep.
  ConsoleLaunch(const std::wstring& launcher, const wchar_t* sleep_ms,
                std::vector<std::pair<const wchar_t*, const wchar_t*>> behaviour = {}) {
    behaviour.emplace_back(L"PROBE_SLEEP_MS", sleep_ms);
    for (const auto& [name, value] : behaviour) SetEnvironmentVariableW(name, value);
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
    for (const auto& variable : behaviour) SetEnvironmentVariableW(variable.first, nullptr);
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

// As a shell or a REPL does with Ctrl-C: the child got the event itself, goes on, and the
// launcher waits for it past the grace period.
TEST_F(ConsoleEvent, ChildOnTheConsoleThatGoesOnKeepsRunningAndItsStatusIsReturned) {
  ConsoleLaunch launch(packed(L"launcher.exe"), L"6500",
                       {{L"PROBE_IGNORE_CTRL", L"1"}, {L"PROBE_EXIT_CODE", L"7"}});
  ASSERT_TRUE(launch.wait_for_output("pid=")) << launch.output();
  send_ctrl_c();
  DWORD took = launch.time_to_end();
  EXPECT_GE(took, 5500u);
  EXPECT_NE(launch.output().find("slept=6500"), std::string::npos) << launch.output();
  EXPECT_EQ(exit_status(launch.process.hProcess), 7u);
}

TEST_F(ConsoleEvent, ChildOnTheConsoleThatEndsOnCtrlCGivesTheLauncherItsStatus) {
  ConsoleLaunch launch(packed(L"launcher.exe"), L"60000", {{L"PROBE_EXIT_ON_CTRL", L"5"}});
  ASSERT_TRUE(launch.wait_for_output("pid=")) << launch.output();
  send_ctrl_c();
  EXPECT_LT(launch.time_to_end(), 3000u);
  EXPECT_NE(launch.output().find("interrupted"), std::string::npos) << launch.output();
  EXPECT_EQ(exit_status(launch.process.hProcess), 5u);
}

// The child that the system's default handling ends: the launcher's status is the one
// the child gets when it runs on its own.
TEST_F(ConsoleEvent, ChildEndedByTheDefaultHandlingGivesTheSameStatusAsRunDirectly) {
  ConsoleLaunch direct(this_program_directory() + L"\\probe_child.exe", L"60000");
  ASSERT_TRUE(direct.wait_for_output("pid=")) << direct.output();
  send_ctrl_c();
  EXPECT_LT(direct.time_to_end(), 3000u);
  DWORD direct_status = exit_status(direct.process.hProcess);

  ConsoleLaunch launch(packed(L"launcher.exe"), L"60000");
  ASSERT_TRUE(launch.wait_for_output("pid=")) << launch.output();
  send_ctrl_c();
  EXPECT_LT(launch.time_to_end(), 3000u);
  EXPECT_EQ(exit_status(launch.process.hProcess), direct_status);
}

// A child that left the console gets no event: the launcher gives it the grace period,
// then ends it, and returns the status of an interrupted program, never success.
TEST_F(ConsoleEvent, ChildOffTheConsoleRunningOnIsEndedAfterTheGracePeriod) {
  ConsoleLaunch launch(packed(L"launcher.exe"), L"60000", {{L"PROBE_FREE_CONSOLE", L"1"}});
  ASSERT_TRUE(launch.wait_for_output("free_console=1")) << launch.output();
  send_ctrl_c();
  DWORD took = launch.time_to_end();
  EXPECT_GE(took, 4500u);
  EXPECT_LT(took, 10000u);
  EXPECT_EQ(launch.output().find("slept="), std::string::npos);
  EXPECT_EQ(exit_status(launch.process.hProcess), 0xC000013Au);
}

TEST_F(ConsoleEvent, ChildOffTheConsoleEndingWithinTheGracePeriodFinishesItsWork) {
  ConsoleLaunch launch(packed(L"launcher.exe"), L"2500",
                       {{L"PROBE_FREE_CONSOLE", L"1"}, {L"PROBE_EXIT_CODE", L"7"}});
  ASSERT_TRUE(launch.wait_for_output("free_console=1")) << launch.output();
  send_ctrl_c();
  EXPECT_LT(launch.time_to_end(), 4500u);
  EXPECT_NE(launch.output().find("slept=2500"), std::string::npos) << launch.output();
  EXPECT_EQ(exit_status(launch.process.hProcess), 7u);
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
