#include "child/run_child.h"

#include "child/child_job.h"
#include "child/command_line.h"
#include "child/console_handler.h"
#include "child/create_child.h"
#include "child/resume_child.h"
#include "support/system_libraries.h"
#include "support/trace_lines.h"

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

// The child belongs to the launcher's kill-on-close job from its creation: the launcher joins
// the job first and its child is born in it, so that no moment remains in which a launcher
// ended from outside leaves its program behind. A system without nested jobs refuses a
// launcher that is in a job already; there the child is put in the job once created, as it
// was before. Without any job (a system that refuses one) the child runs all the same; it
// only does not end with the launcher.
Failure start_child(const LaunchState& state, HANDLE* child) {
  *child = nullptr;
  STARTUPINFOW startup;
  prepare_startup(&startup);
  wchar_t line[child_command_line_capacity];
  Failure failure = build_child_command_line(line, state.launcher_path);
  if (failed(failure)) return failure;
  trace_program(state.trace, state.child_path, line);
  // Kept open until the launcher ends: closing it would end the child.
  HANDLE job = create_child_job();
  bool launcher_in_job = job != nullptr && AssignProcessToJobObject(job, GetCurrentProcess());
  PROCESS_INFORMATION process = {};
  // The program finds its DLLs as when run directly: the launcher's search stays its own.
  release_dll_search_for_child();
  BOOL started = create_child_process(state.child_path, line, &startup, &process);
  DWORD start_error = GetLastError();
  restrict_dll_search_again();
  if (!started) return system_failure(launch_failed_message, start_error);
  if (job != nullptr && !launcher_in_job) AssignProcessToJobObject(job, process.hProcess);
  // What the program starts leaves the job, so that helpers and updaters that outlive it keep
  // running.
  if (job != nullptr) let_descendants_leave(job);
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
