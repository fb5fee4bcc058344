#include <windows.h>

#include <cstdlib>

#include "paths/executable_path.h"
#include "support/bounded.h"
#include "support/launch_state.h"

void normalize_target_directory() {
  wchar_t full_path[target_directory_capacity];
  DWORD length = GetFullPathNameW(target_directory, target_directory_capacity, full_path, nullptr);
  if (length == 0 || length >= target_directory_capacity) abort();
  copy_bounded(target_directory, full_path, target_directory_capacity);
}
