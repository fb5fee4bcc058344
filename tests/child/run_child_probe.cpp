// Runs the program named by its first argument as the launcher runs its child, and exits
// with what run_child returns: `run_child_probe PROGRAM`.
#include <windows.h>

#include <cwchar>

#include "child/run_child.h"
#include "support/errors.h"
#include "support/launch_state.h"

int wmain(int argc, wchar_t** argv) {
  silence_abnormal_end();
  if (argc != 2 || wcslen(argv[1]) >= file_path_capacity) return 100;
  wcscpy(child_executable_path, argv[1]);
  return run_child();
}
