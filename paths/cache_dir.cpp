#include "paths/cache_dir.h"

#include <cstdint>
#include <cstdlib>
#include <cwchar>

#include "paths/placeholder_values.h"
#include "support/environment.h"
#include "support/launch_state.h"

namespace {

bool is_separator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool is_drive_letter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// The first three units of text in upper case as one number, "CON" as 0x434F4E, or 0 for
// anything but ASCII; numbers rather than text keep the stub's data small.
uint32_t upper_three(const wchar_t* text) {
  uint32_t key = 0;
  for (int i = 0; i < 3; ++i) {
    wchar_t c = text[i] >= L'a' && text[i] <= L'z' ? text[i] - (L'a' - L'A') : text[i];
    if (c == 0 || c > 0x7F) return 0;
    key = key << 8 | c;
  }
  return key;
}

// The system opens a device for such a name in any folder, whatever its extension: CON,
// PRN, AUX, NUL, and COM or LPT with a digit.
bool names_device(const wchar_t* name, size_t length) {
  size_t stem = 0;
  while (stem < length && name[stem] != L'.') ++stem;
  while (stem > 0 && name[stem - 1] == L' ') --stem;
  uint32_t key = stem == 3 || stem == 4 ? upper_three(name) : 0;
  if (stem == 3) return key == 0x434F4E || key == 0x50524E || key == 0x415558 || key == 0x4E554C;
  bool port = stem == 4 && ((name[3] >= L'0' && name[3] <= L'9') || name[3] == 0x00B9 ||
                            name[3] == 0x00B2 || name[3] == 0x00B3);
  return port && (key == 0x434F4D || key == 0x4C5054);
}

// A folder's name as the system keeps it: not empty, not ending in a dot or a space (which
// the system drops, making it another folder's name), no character that names a stream or
// that no name holds, no device.
bool is_folder_name(const wchar_t* name, size_t length) {
  if (length == 0 || name[length - 1] == L'.' || name[length - 1] == L' ') return false;
  for (size_t i = 0; i < length; ++i) {
    wchar_t c = name[i];
    if (c < 0x20 || c == L':' || c == L'*' || c == L'?' || c == L'"' || c == L'<' || c == L'>' ||
        c == L'|') {
      return false;
    }
  }
  return !names_device(name, length);
}

// Folder names between separators, at least at_least of them; one separator may end them.
bool are_folder_names(const wchar_t* path, int at_least) {
  if (*path == 0) return at_least == 0;
  int count = 0;
  const wchar_t* name = path;
  for (const wchar_t* p = path;; ++p) {
    if (*p != 0 && !is_separator(*p)) continue;
    if (!is_folder_name(name, static_cast<size_t>(p - name))) return false;
    ++count;
    if (*p == 0 || p[1] == 0) return count >= at_least;
    name = p + 1;
  }
}

}  // namespace

bool is_absolute_path(const wchar_t* path) {
  // The long-path forms, of a drive or of a share; no other "\\?\" or "\\.\" path names a
  // folder of a file system.
  if (is_separator(path[0]) && is_separator(path[1])) {
    if (path[2] != L'?' || path[3] != L'\\') return are_folder_names(path + 2, 2);
    // \\?\UNC\server\share
    if (upper_three(path + 4) == 0x554E43 && path[7] == L'\\') return are_folder_names(path + 8, 2);
    path += 4;
  }
  return is_drive_letter(path[0]) && path[1] == L':' && is_separator(path[2]) &&
         are_folder_names(path + 3, 0);
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
