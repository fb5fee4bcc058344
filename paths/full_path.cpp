#include "paths/full_path.h"

#include <windows.h>

#include "support/bounded.h"
#include "support/launch_state.h"

Failure make_target_absolute(wchar_t* directory) {
  wchar_t full_path[target_directory_capacity];
  DWORD length = GetFullPathNameW(directory, target_directory_capacity, full_path, nullptr);
  if (length >= target_directory_capacity) {
    return too_long_failure(FailureKind::target_full_path_too_long, directory, length - 1,
                            target_directory_capacity - 1);
  }
  if (length == 0) {
    return with_system_error(catalogued_failure(FailureKind::target_not_full_path, directory),
                             GetLastError());
  }
  copy_bounded(directory, full_path, target_directory_capacity);
  return no_failure;
}
