#include "child/run_child.h"

namespace {

constexpr DWORD grace_period_ms = 5000;

bool is_termination_event(DWORD event) {
  return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT ||
         event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
}

}  // namespace

// Gives the child the grace period to end by itself, then ends it. Never reports the
// event as handled, so the system's default handling then ends the launcher.
BOOL WINAPI console_control_handler(DWORD event) {
  if (!is_termination_event(event)) return FALSE;
  HANDLE child = InterlockedExchangePointer(const_cast<HANDLE*>(&child_process_handle), nullptr);
  if (child == nullptr) return FALSE;
  if (WaitForSingleObject(child, grace_period_ms) != WAIT_OBJECT_0) TerminateProcess(child, 0);
  CloseHandle(child);
  return FALSE;
}
