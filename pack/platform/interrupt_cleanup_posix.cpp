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
volatile sig_atomic_t pending_signal = 0;

void on_signal(int signal_number) {
  if (armed) unlink(file_path);
  ::signal(signal_number, SIG_DFL);
  raise(signal_number);
}

void on_deferred_signal(int signal_number) {
  if (pending_signal) {
    ::signal(signal_number, SIG_DFL);
    raise(signal_number);
  }
  pending_signal = signal_number;
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

void defer_interrupts() {
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) ::signal(signal_number, on_deferred_signal);
}

bool interrupted() { return pending_signal != 0; }

void end_if_interrupted() {
  if (!pending_signal) return;
  ::signal(pending_signal, SIG_DFL);
  raise(pending_signal);
}

}  // namespace pack
