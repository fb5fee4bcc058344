#include <windows.h>

#include "pack/platform/interrupt_cleanup.h"

namespace pack {
namespace {

wchar_t file_path[32768];
volatile LONG armed = 0;

// Runs on a thread of its own. The output is open with delete sharing, so the file is
// marked for deletion now and goes when the process ends and closes it.
BOOL WINAPI on_console_event(DWORD) {
  if (armed) DeleteFileW(file_path);
  return FALSE;  // the default handler ends the process
}

}  // namespace

void cleanup_on_interrupt(const char* file) {
  armed = 0;
  int units = MultiByteToWideChar(CP_UTF8, 0, file, -1, file_path, 32768);
  if (units <= 0) return;
  armed = 1;
  static bool registered = false;
  if (!registered) registered = SetConsoleCtrlHandler(on_console_event, TRUE) != 0;
}

void cleanup_on_interrupt_clear() { armed = 0; }

}  // namespace pack
