#include "child/run_child.h"

#include "child/child_job.h"
#include "child/command_line.h"
#include "child/console_handler.h"
#include "child/resume_child.h"

namespace {

constexpr char launch_failed_message[] = "Error, couldn't launch child";

void prepare_startup(STARTUPINFOW* startup) {
  ZeroMemory(startup, sizeof *startup);
  startup->dwFlags = STARTF_USESTDHANDLES;
  startup->hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup->hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup->hStdError = GetStdHandle(STD_ERROR_HANDLE);
  startup->cb = sizeof *startup;
}

// The console handler gets a duplicate of its own, so neither thread can close the
// handle the other is waiting on. Whoever takes it out of child_process_handle owns
// and closes it.
void publish_handle_for_handler(HANDLE process) {
  HANDLE duplicate = nullptr;
  HANDLE self = GetCurrentProcess();
  if (DuplicateHandle(self, process, self, &duplicate, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    InterlockedExchangePointer(const_cast<HANDLE*>(&child_process_handle), duplicate);
  }
}

void withdraw_handle_from_handler() {
  HANDLE left = InterlockedExchangePointer(const_cast<HANDLE*>(&child_process_handle), nullptr);
  if (left != nullptr) CloseHandle(left);
}

}  // namespace

Failure start_child(const LaunchState& state, HANDLE* child) {
  *child = nullptr;
  STARTUPINFOW startup;
  prepare_startup(&startup);
  wchar_t line[child_command_line_capacity];
  Failure failure = build_child_command_line(line, state.launcher_path);
  if (failed(failure)) return failure;
  if (tracing(state.trace)) {
    trace_text(state.trace, "program ", state.child_path);
    trace_text(state.trace, "command line ", line);
  }
  // Kept open until the launcher ends: closing it would end the child.
  HANDLE job = create_child_job();
  PROCESS_INFORMATION process = {};
  // Suspended until it is in the job, so that the job holds the program from its first
  // instruction; what the program starts later leaves the job (child_job.cpp).
  if (!CreateProcessW(state.child_path, line, nullptr, nullptr, TRUE,
                      NORMAL_PRIORITY_CLASS | CREATE_SUSPENDED, nullptr, nullptr, &startup,
                      &process)) {
    return system_failure(launch_failed_message, GetLastError());
  }
  // Without the job (a system that refuses one, or no nested jobs) or when the system
  // refuses to put the child in it, the child runs all the same; it only does not end with
  // the launcher.
  if (job != nullptr) AssignProcessToJobObject(job, process.hProcess);
  // The console handler finds the child's handle from its first instruction on.
  if (process.hProcess != nullptr) publish_handle_for_handler(process.hProcess);
  child_process_id = process.dwProcessId;
  DWORD resume_error = resume_child(process.hThread);
  CloseHandle(process.hThread);
  // A child that never runs would be waited for for ever.
  if (resume_error != ERROR_SUCCESS) {
    TerminateProcess(process.hProcess, 1);
    return system_failure(launch_failed_message, resume_error);
  }
  *child = process.hProcess;
  return no_failure;
}

int wait_for_child(HANDLE process) {
  if (process == nullptr) return 0;
  WaitForSingleObject(process, INFINITE);
  DWORD exit_code = 0;
  int status = GetExitCodeProcess(process, &exit_code) ? static_cast<int>(exit_code) : 1;
  withdraw_handle_from_handler();
  CloseHandle(process);
  return status;
}

Failure run_child(const LaunchState& state, int* status) {
  HANDLE process = nullptr;
  Failure failure = start_child(state, &process);
  if (!failed(failure)) *status = wait_for_child(process);
  return failure;
}
