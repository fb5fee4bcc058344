#include "child/run_child.h"

#include <cstdlib>

#include "support/errors.h"
#include "support/launch_state.h"
#include "support/system_libraries.h"

HANDLE volatile child_process_handle = nullptr;
volatile DWORD child_process_id = 0;

namespace {

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

HANDLE start_child() {
  STARTUPINFOW startup;
  prepare_startup(&startup);
  build_child_command_line();
  // Kept open until the launcher ends: closing it would end the child.
  HANDLE job = create_child_job();
  PROCESS_INFORMATION process = {};
  // Suspended until it is in the job, so that the job holds the program from its first
  // instruction; what the program starts later leaves the job (child_job.cpp).
  // The program finds its DLLs as when run directly: the launcher's search stays its own.
  release_dll_search_for_child();
  BOOL started = CreateProcessW(child_executable_path, child_command_line, nullptr, nullptr, TRUE,
                                NORMAL_PRIORITY_CLASS | CREATE_SUSPENDED, nullptr, nullptr,
                                &startup, &process);
  DWORD start_error = GetLastError();
  restrict_dll_search_again();
  if (!started) {
    report_os_error("Error, couldn't launch child", start_error);
    exit(2);
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
    report_os_error("Error, couldn't launch child", resume_error);
    exit(2);
  }
  return process.hProcess;
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

int run_child() { return wait_for_child(start_child()); }
