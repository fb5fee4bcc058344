#include "pack/platform/interrupt_cleanup.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <initializer_list>

namespace pack {
namespace {

char file_path[PATH_MAX];
volatile sig_atomic_t armed = 0;

void on_signal(int signal_number) {
  if (armed) unlink(file_path);
  ::signal(signal_number, SIG_DFL);
  raise(signal_number);
}

}  // namespace

void cleanup_on_interrupt(const char* file) {
  armed = 0;
  std::strncpy(file_path, file, PATH_MAX - 1);
  file_path[PATH_MAX - 1] = '\0';
  armed = 1;
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) ::signal(signal_number, on_signal);
}

void cleanup_on_interrupt_clear() { armed = 0; }

}  // namespace pack
