// The launcher's fatal_error for the host build of the stream reader: the benchmark
// only reads well-formed frames, so reaching this is a fault in the benchmark.
#include <cstdio>
#include <cstdlib>

#include "launcher/errors.h"

void fatal_error(const char* message) {
  puts(message);
  exit(2);
}
