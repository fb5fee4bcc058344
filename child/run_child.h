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
// The two halves of run_child: the running child's process handle (null only when the
// system gave none), which wait_for_child takes over and closes; its exit code.
HANDLE start_child();
int wait_for_child(HANDLE process);
// The process command line re-quoted, with argv[0] replaced by the module file name.
void build_child_command_line();
// A job object that ends its processes when its last handle closes; null when the
// system refuses one.
HANDLE create_child_job();
BOOL WINAPI console_control_handler(DWORD event);
// Lets the suspended child's first thread run: ERROR_SUCCESS, or the system's error. In a
// file of its own, so that tests can make it fail.
DWORD resume_child(HANDLE thread);
