#include "paths/full_path.h"

#include <windows.h>

#include "support/bounded.h"
#include "support/launch_state.h"

Failure make_target_absolute(wchar_t* directory) {
  wchar_t full_path[target_directory_capacity];
  DWORD length = GetFullPathNameW(directory, target_directory_capacity, full_path, nullptr);
  if (length >= target_directory_capacity) {
    return too_long_failure("Error, the target directory '", directory, "' as a full path",
                            length - 1, target_directory_capacity - 1);
  }
  if (length == 0) {
    Failure failure = quoted_failure("Error, the target directory '", directory,
                                     "' cannot be made a full path", abnormal_status);
    failure.system_error = GetLastError();
    failure.has_system_error = true;
    return failure;
  }
  copy_bounded(directory, full_path, target_directory_capacity);
  return no_failure;
}
