// run_child_probe's creation of the child: the child is created as the launcher creates it,
// its process ID printed, and the launcher is then ended from outside at once, as a user or
// a script's time-out may end it at any moment.
#include <cstdio>

#include "child/create_child.h"

BOOL create_child_process(const wchar_t* program, wchar_t* command_line, STARTUPINFOW* startup,
                          PROCESS_INFORMATION* process) {
  if (!CreateProcessW(program, command_line, nullptr, nullptr, TRUE,
                      NORMAL_PRIORITY_CLASS | CREATE_SUSPENDED, nullptr, nullptr, startup,
                      process)) {
    return FALSE;
  }
  printf("child %lu\n", process->dwProcessId);
  fflush(stdout);
  TerminateProcess(GetCurrentProcess(), 9);
  return TRUE;
}
