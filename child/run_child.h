#pragma once
// Starting the packaged program as the launcher's child, in its job, with the launcher's
// standard handles, and waiting for it.
#include <windows.h>

#include "support/failure.h"
#include "support/launch_state.h"

// Starts state.child_path with the launcher's arguments, in its job and running; *process
// is its handle (nullptr when the system started it without one). A failure when the line
// cannot be passed on or the program cannot be started.
Failure start_child(const LaunchState& state, HANDLE* process);
// Waits for the child and returns its exit code.
int wait_for_child(HANDLE process);
// Both: the child's exit code in *status.
Failure run_child(const LaunchState& state, int* status);
