// run_child_probe's resume of the suspended child: it prints the child's process ID and
// fails as a system that refuses to let the thread run would.
#include <cstdio>

#include "child/resume_child.h"

DWORD resume_child(HANDLE thread) {
  printf("child %lu\n", GetProcessIdOfThread(thread));
  fflush(stdout);
  return ERROR_ACCESS_DENIED;
}
