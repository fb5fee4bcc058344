#pragma once
#include <windows.h>

#include <cstddef>

// The system takes 32767 units with the terminator and cuts a longer line short.
constexpr size_t child_command_line_capacity = 32767;
extern wchar_t child_command_line[child_command_line_capacity];
// The running child's process handle, null when there is none.
extern HANDLE volatile child_process_handle;
// The child's process ID once it has been started, 0 before.
extern volatile DWORD child_process_id;
// What a child ended by the launcher after a console event exits with: the status the
// system gives a console program that Ctrl-C ends.
constexpr DWORD interrupted_exit_code = 0xC000013A;

// Starts child_executable_path with the launcher's arguments, waits, and returns
// its exit code.
int run_child();
// The same in two steps: starts the child, in its job and running, and returns its process
// handle (nullptr when the system started it without one); reports a failure and ends the
// process. Then waits for the child and returns its exit code.
HANDLE start_child();
int wait_for_child(HANDLE process);
// The module file name, then the process command line after its first argument as it is.
void build_child_command_line();
// A job object that ends its processes when its last handle closes; null when the
// system refuses one.
HANDLE create_child_job();
// From now on, what the job's processes start leaves the job without asking.
bool let_descendants_leave(HANDLE job);
// Creates the child, suspended, from child_executable_path and child_command_line. In a file
// of its own, so that tests can end the launcher right after it.
BOOL create_child_process(STARTUPINFOW* startup, PROCESS_INFORMATION* process);
BOOL WINAPI console_control_handler(DWORD event);
// Lets the suspended child's first thread run: ERROR_SUCCESS, or the system's error. In a
// file of its own, so that tests can make it fail.
DWORD resume_child(HANDLE thread);
