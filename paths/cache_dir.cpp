#include "paths/cache_dir.h"

#include <cstdlib>
#include <cwchar>

#include "paths/placeholder_values.h"
#include "support/environment.h"
#include "support/launch_state.h"

namespace {

bool is_separator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool is_drive_letter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

}  // namespace

bool is_absolute_path(const wchar_t* path) {
  if (is_separator(path[0])) return is_separator(path[1]);
  return is_drive_letter(path[0]) && path[1] == L':' && is_separator(path[2]);
}

Failure check_cache_dir_override() {
  // Left to the process's end when refused: the message quotes it.
  wchar_t* value = get_env_w(cache_dir_variable);
  if (value == nullptr) return no_failure;
  if (!is_absolute_path(value)) {
    return catalogued_failure(FailureKind::cache_dir_relative, value);
  }
  size_t length = wcslen(value);
  free(value);
  if (length < target_directory_capacity) return no_failure;
  return too_long_failure(FailureKind::cache_dir_too_long, nullptr, length,
                          target_directory_capacity - 1);
}

bool cache_dir_value(wchar_t* value, bool* moved) {
  // A relative value never gets here: the launcher refuses it before expanding anything.
  *moved = read_env_w(cache_dir_variable, value, placeholder_value_capacity) != 0;
  return *moved || local_app_data_value(value);
}
