#include "child/console_handler.h"

#include "progress/progress_line.h"

HANDLE volatile child_process_handle = nullptr;
volatile DWORD child_process_id = 0;

namespace {

constexpr DWORD grace_period_ms = 5000;
constexpr DWORD turn_wait_ms = 10;
constexpr DWORD console_list_capacity = 1024;

// Set while a handler runs the grace period.
volatile LONG handler_busy = 0;
// The start's progress, whose line on the console an event that ends the launcher erases.
UnpackProgress* volatile progress_line = nullptr;

bool is_termination_event(DWORD event) {
  return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT ||
         event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
}

bool is_interrupt(DWORD event) { return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT; }

// Whether the process is attached to the launcher's console, and so was sent the same
// event. No console, or a list the buffer cannot hold, counts as not attached.
bool on_this_console(DWORD process_id) {
  DWORD attached[console_list_capacity];
  DWORD count = GetConsoleProcessList(attached, console_list_capacity);
  if (count == 0 || count > console_list_capacity) return false;
  for (DWORD i = 0; i < count; ++i) {
    if (attached[i] == process_id) return true;
  }
  return false;
}

// Gives the child the grace period to end by itself, then ends it.
void end_child_after_grace_period() {
  // A second event waits for the first one's outcome: returning at once could let the
  // default handling end the launcher, and the first handler with it, while the child
  // lives on.
  while (InterlockedCompareExchange(&handler_busy, 1, 0) != 0) Sleep(turn_wait_ms);
  HANDLE child = InterlockedExchangePointer(const_cast<HANDLE*>(&child_process_handle), nullptr);
  if (child != nullptr) {
    if (WaitForSingleObject(child, grace_period_ms) != WAIT_OBJECT_0) {
      TerminateProcess(child, static_cast<UINT>(interrupted_status));
    }
    CloseHandle(child);
  }
  InterlockedExchange(&handler_busy, 0);
}

}  // namespace

// Ctrl-C and Ctrl-Break once the child runs: the launcher stays to return the child's
// status. A child on the launcher's console has received the event itself and decides
// what it means, as it would run on its own (a shell or a REPL goes on); any other
// child gets the grace period and is then ended. Before the child runs, and for close,
// logoff and shutdown, the event is not reported as handled, so the system's default
// handling ends the launcher, after the grace period when there is a child.
BOOL WINAPI console_control_handler(DWORD event) {
  if (!is_termination_event(event)) return FALSE;
  bool child_started = child_process_id != 0;
  if (is_interrupt(event) && child_started && on_this_console(child_process_id)) return TRUE;
  if (progress_line != nullptr) clear_progress_line(*progress_line);
  end_child_after_grace_period();
  return is_interrupt(event) && child_started ? TRUE : FALSE;
}

Failure register_console_handler(UnpackProgress& progress) {
  progress_line = &progress;
  if (SetConsoleCtrlHandler(console_control_handler, TRUE)) return no_failure;
  return catalogued_failure(FailureKind::console_handler);
}

void forget_progress_line() { progress_line = nullptr; }
