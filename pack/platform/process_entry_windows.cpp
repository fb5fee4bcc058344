// kovran-onefile.exe starts here rather than in the C runtime's start-up code, so that the
// DLL search is System32 alone before anything runs that could load a DLL: the tool is run
// from download folders too.
#include "support/system_libraries.h"

// The runtime's start-up for a console program, which calls wmain.
extern "C" int mainCRTStartup();

extern "C" int tool_process_entry() {
  restrict_dll_search();
  return mainCRTStartup();
}
