#include "paths/placeholder_values.h"

#include <shlobj.h>
#include <windows.h>

#include <cwchar>

#include "paths/platform_directory.h"
#include "support/bounded.h"
#include "support/build_config.h"
#include "support/decimal.h"
#include "support/environment.h"

namespace {

// The system reports a name it had to cut short with the full buffer size.
bool keep_if_whole(wchar_t* value, DWORD written) {
  if (written != 0 && written < placeholder_value_capacity) return true;
  value[0] = 0;
  return false;
}

}  // namespace

bool temp_value(wchar_t* value) {
  return keep_if_whole(value, GetTempPathW(placeholder_value_capacity, value));
}

bool program_value(wchar_t* value) {
  return keep_if_whole(value, GetModuleFileNameW(nullptr, value, placeholder_value_capacity));
}

size_t program_base_length(const wchar_t* program) {
  size_t length = wcslen(program);
  return length > 3 && _wcsicmp(program + length - 4, L".exe") == 0 ? length - 4 : length;
}

size_t program_dir_length(const wchar_t* program) {
  const wchar_t* last_backslash = wcsrchr(program, L'\\');
  return last_backslash != nullptr ? static_cast<size_t>(last_backslash - program)
                                   : wcslen(program);
}

void pid_value(wchar_t* value) {
  // The launcher put its own process ID here before expanding anything; processes it starts
  // inherit the variable, so that a launcher among them expands {PID} as its parent did.
  if (read_env_w("KOVRAN_ONEFILE_PARENT", value, placeholder_value_capacity) != 0) {
    require_digits_w(value);
    return;
  }
  wchar_t number[decimal_capacity];
  decimal_text(number, GetCurrentProcessId());
  copy_bounded(value, number, placeholder_value_capacity);
}

bool profile_folder_value(wchar_t* value) { return system_folder_path(CSIDL_PROFILE, value); }

bool local_app_data_value(wchar_t* value) { return system_folder_path(CSIDL_LOCAL_APPDATA, value); }

void version_value(wchar_t* value) {
  copy_bounded(value, version_string(), placeholder_value_capacity);
}

size_t drop_trailing_backslashes(wchar_t* out, size_t length) {
  while (length > 0 && out[length - 1] == L'\\') out[--length] = 0;
  return length;
}
