#include "paths/executable_path.h"

#include <windows.h>

#include <cwchar>

#include "paths/long_path_prefix.h"
#include "paths/placeholder_values.h"
#include "paths/short_path.h"
#include "support/bounded.h"
#include "support/later_calls.h"

namespace {

// Replaces path by the path of the file that was really opened, when that fits.
void resolve_final_path(wchar_t* path) {
  HANDLE file = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  final_path_function final_path = find_final_path_function();
  wchar_t resolved[executable_path_capacity];
  DWORD length =
      final_path != nullptr ? final_path(file, resolved, executable_path_capacity, 0) : 0;
  CloseHandle(file);
  if (length == 0 || length >= executable_path_capacity) return;
  strip_long_path_prefix(resolved);
  copy_bounded(path, resolved, executable_path_capacity);
}

}  // namespace

Failure read_launcher_path(wchar_t* path) {
  // Read whole first, so that a name too long for the buffer is told with its length.
  wchar_t whole[placeholder_value_capacity];
  if (!program_value(whole)) {
    return with_system_error(catalogued_failure(FailureKind::launcher_path_unreadable),
                             GetLastError());
  }
  size_t length = wcslen(whole);
  if (length >= executable_path_capacity) {
    return too_long_failure(FailureKind::launcher_path_too_long, nullptr, length,
                            executable_path_capacity - 1);
  }
  wmemcpy(path, whole, length + 1);
  return no_failure;
}

Failure resolve_final_executable_path(wchar_t* path) {
  Failure failure = read_launcher_path(path);
  if (failed(failure)) return failure;
  resolve_final_path(path);
  to_short_path(path, executable_path_capacity);
  return no_failure;
}

void path_directory(wchar_t* directory, const wchar_t* path) {
  copy_bounded(directory, path, executable_path_capacity);
  wchar_t* last_backslash = wcsrchr(directory, L'\\');
  if (last_backslash != nullptr) *last_backslash = 0;
}
