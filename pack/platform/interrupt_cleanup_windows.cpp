#include <windows.h>

#include "pack/platform/interrupt_cleanup.h"

namespace pack {
namespace {

wchar_t file_path[32768];
volatile LONG armed = 0;
volatile LONG deferred = 0;
volatile LONG pending = 0;

// Runs on a thread of its own. The output is open with delete sharing, so the file is
// marked for deletion now and goes when the process ends and closes it.
BOOL WINAPI on_console_event(DWORD) {
  if (armed) DeleteFileW(file_path);
  // A deferred first event is handled here: the work notices it and stops.
  if (deferred && InterlockedExchange(&pending, 1) == 0) return TRUE;
  return FALSE;  // the default handler ends the process
}

void register_handler() {
  static bool registered = false;
  if (!registered) registered = SetConsoleCtrlHandler(on_console_event, TRUE) != 0;
}

}  // namespace

void cleanup_on_interrupt(const char* file) {
  armed = 0;
  int units = MultiByteToWideChar(CP_UTF8, 0, file, -1, file_path, 32768);
  if (units <= 0) return;
  armed = 1;
  register_handler();
}

void cleanup_on_interrupt_clear() { armed = 0; }

void defer_interrupts() {
  deferred = 1;
  register_handler();
}

bool interrupted() { return pending != 0; }

void end_if_interrupted() {
  if (pending) ExitProcess(STATUS_CONTROL_C_EXIT);
}

}  // namespace pack
