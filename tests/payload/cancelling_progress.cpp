// The unpack probe's progress for tests of a cancelled start: each step prints the
// archive position it got, and the user cancels once the unpack has passed
// PROBE_CANCEL_AT bytes of the archive.
#include <cstdio>
#include <cstdlib>

#include "progress/progress_step.h"

bool progress_step(UnpackProgress&, uint64_t done, uint64_t) {
  const char* cancel_at = getenv("PROBE_CANCEL_AT");
  printf("step %llu\n", static_cast<unsigned long long>(done));
  return cancel_at == nullptr || done < strtoull(cancel_at, nullptr, 10);
}
