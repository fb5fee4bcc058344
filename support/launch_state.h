#pragma once
// What one start knows, made at the top of launcher_main and handed down to every part that
// needs it: the record's settings, the launcher's own path, where it unpacks and the program
// it runs. Capacities count the terminator and are the only sizes ever passed for these
// buffers.
#include <cstddef>
#include <cstdint>

#include "support/reuse_rule.h"
#include "support/trace.h"

constexpr size_t target_directory_capacity = 4096;
constexpr size_t file_path_capacity = 4096;
constexpr size_t launcher_path_capacity = 4097;

struct LaunchState {
  Trace trace;
  // From the constants record.
  uint32_t record_layout;
  const wchar_t* target_template;
  ReuseRule reuse;
  uint64_t stamp;
  uint32_t prune_after_days;
  bool shows_progress;
  // From the image: a console program, else a GUI one.
  bool console_launcher;
  // Whether {CACHE_DIR} was taken from KOVRAN_ONEFILE_CACHE_DIR.
  bool cache_dir_moved;
  // The launcher's module file name.
  wchar_t launcher_path[launcher_path_capacity];
  // The expanded template, made absolute.
  wchar_t target_directory[target_directory_capacity];
  // Full path of the first archive entry: the program run as the child.
  wchar_t child_path[file_path_capacity];
};
