#include "paths/placeholder_values.h"

#include <shlobj.h>
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "paths/spec_expansion.h"
#include "support/bounded.h"
#include "support/build_config.h"
#include "support/decimal.h"
#include "support/environment.h"

namespace {

constexpr size_t folder_capacity = 1024;

// The room as a system call's buffer size; larger rooms are never needed.
DWORD system_room(uint64_t room) {
  return room > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(room);
}

// A value the system could not deliver whole is not used in part.
bool keep_if_whole(wchar_t* end, DWORD written, DWORD room) {
  if (written != 0 && written < room) return true;
  end[0] = 0;
  return false;
}

bool append_folder(int folder, wchar_t* end, uint64_t room) {
  wchar_t path[folder_capacity];
  path[0] = 0;
  if (SHGetFolderPathW(nullptr, folder, nullptr, 0, path) != S_OK) return false;
  append_bounded(end, path, room);
  return true;
}

}  // namespace

bool append_temp(wchar_t* end, uint64_t room) {
  DWORD size = system_room(room);
  return keep_if_whole(end, GetTempPathW(size, end), size);
}

bool append_program(wchar_t* end, uint64_t room) {
  // The system reports a name it had to cut short with the full buffer size.
  DWORD size = system_room(room);
  return keep_if_whole(end, GetModuleFileNameW(nullptr, end, size), size);
}

bool append_program_base(wchar_t* end, uint64_t room) {
  if (!expand_target_spec(end, L"{PROGRAM}", room)) return false;
  size_t length = wcslen(end);
  if (length > 3 && _wcsicmp(end + length - 4, L".exe") == 0) end[length - 4] = 0;
  return true;
}

bool append_program_dir(wchar_t* end, uint64_t room) {
  if (!expand_target_spec(end, L"{PROGRAM}", room)) return false;
  wchar_t* last_backslash = wcsrchr(end, L'\\');
  if (last_backslash != nullptr) *last_backslash = 0;
  return true;
}

void append_pid(wchar_t* end, uint64_t room) {
  // The launcher put its own process ID here before expanding anything; processes it starts
  // inherit the variable, so that a launcher among them expands {PID} as its parent did.
  wchar_t* parent = get_env_w("KOVRAN_ONEFILE_PARENT");
  if (parent != nullptr) {
    require_digits_w(parent);
    append_bounded(end, parent, room);
    return;
  }
  char number[decimal_capacity];
  decimal_text(number, GetCurrentProcessId());
  append_narrow_bounded(end, number, room);
}

bool append_profile_folder(wchar_t* end, uint64_t room) {
  return append_folder(CSIDL_PROFILE, end, room);
}

bool append_local_app_data(wchar_t* end, uint64_t room) {
  return append_folder(CSIDL_LOCAL_APPDATA, end, room);
}

void append_version(wchar_t* end, uint64_t room) { append_bounded(end, version_string(), room); }

size_t drop_trailing_backslashes(wchar_t* out, size_t length) {
  while (length > 0 && out[length - 1] == L'\\') out[--length] = 0;
  return length;
}
