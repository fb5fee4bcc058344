#include "pack/interrupt_cleanup.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <initializer_list>

namespace pack {
namespace {

constexpr int max_files = 16;

char folder_path[PATH_MAX];
char file_paths[max_files][PATH_MAX];
volatile sig_atomic_t file_count = 0;
volatile sig_atomic_t armed = 0;

void on_signal(int signal_number) {
  if (armed) {
    for (int i = 0; i < file_count; ++i) unlink(file_paths[i]);
    rmdir(folder_path);
  }
  ::signal(signal_number, SIG_DFL);
  raise(signal_number);
}

void copy_path(char* target, const char* path) {
  std::strncpy(target, path, PATH_MAX - 1);
  target[PATH_MAX - 1] = '\0';
}

}  // namespace

void cleanup_on_interrupt_folder(const char* folder) {
  armed = 0;
  copy_path(folder_path, folder);
  file_count = 0;
  armed = 1;
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) ::signal(signal_number, on_signal);
}

void cleanup_on_interrupt_file(const char* file) {
  if (file_count >= max_files) return;
  copy_path(file_paths[file_count], file);
  file_count = file_count + 1;
}

void cleanup_on_interrupt_clear() { armed = 0; }

}  // namespace pack
