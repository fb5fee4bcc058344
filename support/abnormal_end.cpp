#include "support/abnormal_end.h"

#include <csignal>
#include <cstdlib>

#include "support/failure.h"

namespace {

// The status abort() itself ends with when SIGABRT is not handled.
void end_at_once(int) { _exit(abnormal_status); }

}  // namespace

void silence_abnormal_end() {
  // msvcrt.dll has no _set_abort_behavior. Its abort() raises SIGABRT, and the
  // handler ends the process before any message box or fault report; should a
  // runtime write its message first, the error mode sends it to a stream, not a box.
  _set_error_mode(_OUT_TO_STDERR);
  signal(SIGABRT, end_at_once);
}
