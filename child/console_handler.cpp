#include "child/run_child.h"

namespace {

constexpr DWORD grace_period_ms = 5000;
constexpr DWORD turn_wait_ms = 10;

// Set while a handler runs the grace period.
volatile LONG handler_busy = 0;

bool is_termination_event(DWORD event) {
  return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT ||
         event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
}

}  // namespace

// Gives the child the grace period to end by itself, then ends it. Never reports the
// event as handled, so the system's default handling then ends the launcher.
BOOL WINAPI console_control_handler(DWORD event) {
  if (!is_termination_event(event)) return FALSE;
  // A second event waits for the first one's outcome: returning at once would let the
  // default handling end the launcher, and the first handler with it, while the child
  // lives on.
  while (InterlockedCompareExchange(&handler_busy, 1, 0) != 0) Sleep(turn_wait_ms);
  HANDLE child = InterlockedExchangePointer(const_cast<HANDLE*>(&child_process_handle), nullptr);
  if (child != nullptr) {
    if (WaitForSingleObject(child, grace_period_ms) != WAIT_OBJECT_0) TerminateProcess(child, 0);
    CloseHandle(child);
  }
  InterlockedExchange(&handler_busy, 0);
  return FALSE;
}
