#include "paths/cache_dir.h"

#include <cstdlib>
#include <cwchar>

#include "paths/placeholder_values.h"
#include "support/environment.h"
#include "support/launch_state.h"

namespace {

bool is_separator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool is_drive_letter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

wchar_t ascii_upper(wchar_t c) { return c >= L'a' && c <= L'z' ? c - (L'a' - L'A') : c; }

bool starts_with(const wchar_t* text, const wchar_t* prefix) {
  for (; *prefix != 0; ++text, ++prefix) {
    if (ascii_upper(*text) != *prefix && !(is_separator(*text) && *prefix == L'\\')) return false;
  }
  return true;
}

bool stem_is(const wchar_t* stem, size_t length, const wchar_t* device) {
  size_t i = 0;
  for (; i < length && device[i] != 0; ++i) {
    if (ascii_upper(stem[i]) != device[i]) return false;
  }
  return i == length && device[i] == 0;
}

// The system opens a device for such a name in any folder, whatever its extension.
bool names_device(const wchar_t* name, size_t length) {
  size_t stem = 0;
  while (stem < length && name[stem] != L'.') ++stem;
  while (stem > 0 && name[stem - 1] == L' ') --stem;
  static const wchar_t* const devices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
  for (const wchar_t* device : devices) {
    if (stem_is(name, stem, device)) return true;
  }
  wchar_t digit = stem == 4 ? name[3] : 0;
  bool port =
      (digit >= L'0' && digit <= L'9') || digit == 0x00B9 || digit == 0x00B2 || digit == 0x00B3;
  return port && (stem_is(name, 3, L"COM") || stem_is(name, 3, L"LPT"));
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

bool is_drive_path(const wchar_t* path) {
  return is_drive_letter(path[0]) && path[1] == L':' && is_separator(path[2]) &&
         are_folder_names(path + 3, 0);
}

}  // namespace

bool is_absolute_path(const wchar_t* path) {
  // The long-path forms, of a drive or of a share; no other "\\?\" or "\\.\" path names a
  // folder of a file system.
  if (starts_with(path, L"\\\\?\\UNC\\")) return are_folder_names(path + 8, 2);
  if (starts_with(path, L"\\\\?\\")) return is_drive_path(path + 4);
  if (is_separator(path[0]) && is_separator(path[1])) return are_folder_names(path + 2, 2);
  return is_drive_path(path);
}

Failure check_cache_dir_override() {
  // Left to the process's end when refused: the message quotes it.
  wchar_t* value = get_env_w(cache_dir_variable);
  if (value == nullptr) return no_failure;
  if (!is_absolute_path(value)) {
    return quoted_failure("Error, KOVRAN_ONEFILE_CACHE_DIR must be an absolute path, not '", value,
                          "'.");
  }
  size_t length = wcslen(value);
  free(value);
  if (length < target_directory_capacity) return no_failure;
  return too_long_failure("Error, KOVRAN_ONEFILE_CACHE_DIR", nullptr, nullptr, length,
                          target_directory_capacity - 1);
}

bool cache_dir_value(wchar_t* value, bool* moved) {
  // A relative value never gets here: the launcher refuses it before expanding anything.
  *moved = read_env_w(cache_dir_variable, value, placeholder_value_capacity) != 0;
  return *moved || local_app_data_value(value);
}
