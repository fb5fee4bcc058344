#include "paths/short_path.h"

#include <windows.h>

#include <cwchar>

#include "paths/executable_path.h"

namespace {

// The short form of folder into short_form (capacity units): its length, or 0 when there is
// none or it does not fit.
DWORD short_form_of(const wchar_t* folder, wchar_t* short_form, size_t capacity) {
  DWORD length = GetShortPathNameW(folder, short_form, static_cast<DWORD>(capacity));
  return length < capacity ? length : 0;
}

}  // namespace

void to_short_path(wchar_t* path, size_t capacity) {
  wchar_t* last_backslash = wcsrchr(path, L'\\');
  size_t folder_length = last_backslash != nullptr ? last_backslash - path : wcslen(path);
  wchar_t folder[executable_path_capacity];
  wchar_t short_form[executable_path_capacity];
  if (folder_length >= executable_path_capacity) return;
  wmemcpy(folder, path, folder_length);
  folder[folder_length] = 0;
  // A path that vanished between the calls, or one without a short form, stays long.
  DWORD short_length = short_form_of(folder, short_form, executable_path_capacity);
  size_t rest = wcslen(path + folder_length);
  if (short_length == 0 || short_length + rest >= capacity) return;
  wmemmove(path + short_length, path + folder_length, rest + 1);
  wmemcpy(path, short_form, short_length);
}
