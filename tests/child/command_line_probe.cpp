// Prints the child command line that the launcher would build from this process's own.
#include <windows.h>

#include <cstdio>

#include "child/run_child.h"
#include "support/errors.h"

int wmain() {
  silence_abnormal_end();
  build_child_command_line();
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD written = 0;
  // Raw UTF-16, so that the test sees every unit exactly as built.
  WriteFile(out, child_command_line, static_cast<DWORD>(wcslen(child_command_line) * 2), &written,
            nullptr);
  return 0;
}
