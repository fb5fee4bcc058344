#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "child/console_handler.h"
#include "support/failure.h"
#include "tests/harness/process.h"

namespace {

// Starts probe_child.exe with the given behaviour and hands its handle to the handler.
// Detached, so that it is never on a console with this program and the handler always
// takes the way of a child that did not get the event itself.
struct SleepingChild {
  PROCESS_INFORMATION process = {};

  SleepingChild(const wchar_t* sleep_ms, const wchar_t* exit_code) {
    SetEnvironmentVariableW(L"PROBE_SLEEP_MS", sleep_ms);
    SetEnvironmentVariableW(L"PROBE_EXIT_CODE", exit_code);
    std::wstring line = quote_argument(this_program_directory() + L"\\probe_child.exe");
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;  // no output of its own in the test log
    EXPECT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS,
                               nullptr, nullptr, &startup, &process));
    SetEnvironmentVariableW(L"PROBE_SLEEP_MS", nullptr);
    SetEnvironmentVariableW(L"PROBE_EXIT_CODE", nullptr);
    CloseHandle(process.hThread);
    HANDLE duplicate = nullptr;
    DuplicateHandle(GetCurrentProcess(), process.hProcess, GetCurrentProcess(), &duplicate, 0,
                    FALSE, DUPLICATE_SAME_ACCESS);
    child_process_handle = duplicate;
    child_process_id = process.dwProcessId;
  }
  ~SleepingChild() {
    TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hProcess);
    if (child_process_handle != nullptr) CloseHandle(child_process_handle);
    child_process_handle = nullptr;
    child_process_id = 0;
  }
  DWORD exit_code() {
    WaitForSingleObject(process.hProcess, 10000);
    DWORD code = 12345;
    GetExitCodeProcess(process.hProcess, &code);
    return code;
  }
};

// Handled, so that the launcher stays to return the child's status.
TEST(ConsoleHandler, ChildEndingWithinTheGracePeriodKeepsItsOwnExitCode) {
  SleepingChild child(L"500", L"7");
  DWORD start = GetTickCount();
  EXPECT_EQ(console_control_handler(CTRL_C_EVENT), TRUE);
  EXPECT_LT(GetTickCount() - start, 4000u);
  EXPECT_EQ(child.exit_code(), 7u);
  EXPECT_EQ(child_process_handle, nullptr);  // the handler closed what it took
}

// Not the success status: the launcher passes it on as its own.
TEST(ConsoleHandler, ChildRunningOnIsTerminatedAsInterruptedAfterTheGracePeriod) {
  SleepingChild child(L"60000", L"7");
  DWORD start = GetTickCount();
  EXPECT_EQ(console_control_handler(CTRL_CLOSE_EVENT), FALSE);
  DWORD waited = GetTickCount() - start;
  EXPECT_GE(waited, 4900u);
  EXPECT_LT(waited, 9000u);
  EXPECT_EQ(child.exit_code(), static_cast<DWORD>(interrupted_status));
}

// Returning at once would let the default handling end the launcher, and the first
// handler with it, while the child lives on.
TEST(ConsoleHandler, SecondEventDuringTheGracePeriodWaitsForTheFirstOnesOutcome) {
  SleepingChild child(L"60000", L"7");
  std::thread first([] { console_control_handler(CTRL_C_EVENT); });
  Sleep(300);
  DWORD start = GetTickCount();
  EXPECT_EQ(console_control_handler(CTRL_BREAK_EVENT), TRUE);
  DWORD waited = GetTickCount() - start;
  first.join();
  EXPECT_GE(waited, 4400u);
  EXPECT_EQ(WaitForSingleObject(child.process.hProcess, 0), WAIT_OBJECT_0);
  EXPECT_EQ(child.exit_code(), static_cast<DWORD>(interrupted_status));
}

// Before the child runs, the default handling ends the launcher.
TEST(ConsoleHandler, OtherEventsAndEventsWithoutChildChangeNothing) {
  child_process_handle = nullptr;
  child_process_id = 0;
  EXPECT_EQ(console_control_handler(CTRL_C_EVENT), FALSE);
  SleepingChild child(L"60000", L"7");
  HANDLE before = child_process_handle;
  for (DWORD event : {3u, 4u, 7u}) {
    EXPECT_EQ(console_control_handler(event), FALSE);
    EXPECT_EQ(child_process_handle, before);
  }
  EXPECT_EQ(WaitForSingleObject(child.process.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

}  // namespace
