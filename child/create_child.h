#pragma once
#include <windows.h>

// Creates the child, suspended until what it starts may leave its job, from program and
// command_line. In a file of its own, so that tests can end the launcher right after it.
BOOL create_child_process(const wchar_t* program, wchar_t* command_line, STARTUPINFOW* startup,
                          PROCESS_INFORMATION* process);
