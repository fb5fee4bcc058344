// Runs the program named by its first argument as the launcher runs its child, and exits
// with what run_child gives: `run_child_probe PROGRAM`.
#include <windows.h>

#include <cwchar>

#include "child/run_child.h"
#include "paths/executable_path.h"
#include "support/abnormal_end.h"
#include "support/launch_state.h"
#include "tests/harness/probe_report.h"

namespace {

LaunchState state;

}  // namespace

int wmain(int argc, wchar_t** argv) {
  silence_abnormal_end();
  if (argc != 2 || wcslen(argv[1]) >= file_path_capacity) return 100;
  wcscpy(state.child_path, argv[1]);
  Failure failure = read_launcher_path(state.launcher_path);
  int status = 0;
  if (!failed(failure)) failure = run_child(state, &status);
  return failed(failure) ? report_failure(failure) : status;
}
