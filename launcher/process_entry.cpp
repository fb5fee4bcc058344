// The process starts here rather than in the C runtime's start-up code, so that the DLL
// search is System32 alone before anything runs that could load a DLL.
#include "support/system_libraries.h"

// The runtime's start-up for a GUI program, which calls wWinMain.
extern "C" int WinMainCRTStartup();

extern "C" int launcher_process_entry() {
  restrict_dll_search();
  return WinMainCRTStartup();
}
