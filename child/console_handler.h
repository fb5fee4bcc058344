#pragma once
// The launcher's answer to console events (Ctrl-C, Ctrl-Break, close, logoff, shutdown),
// which the system delivers on a thread of its own. What it shares with the main thread is
// kept here, at namespace scope, since the handler receives nothing else.
#include <windows.h>

#include "progress/unpack_progress.h"
#include "support/failure.h"

// The running child's process handle, null when there is none.
extern HANDLE volatile child_process_handle;
// The child's process ID once it has been started, 0 before.
extern volatile DWORD child_process_id;

BOOL WINAPI console_control_handler(DWORD event);

// Registers the handler, which erases the progress line of progress before an event ends
// the launcher; a failure when the system refuses.
Failure register_console_handler(UnpackProgress& progress);
// Before progress goes with the start's state: the handler no longer reaches it.
void forget_progress_line();
