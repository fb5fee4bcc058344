#include <windows.h>

#include <cstdlib>
#include <cwchar>

#include "paths/executable_path.h"
#include "support/bounded.h"

namespace {

// Replaces executable_path_final by its short form, when the system has one.
void shorten_in_place() {
  DWORD size = GetShortPathNameW(executable_path_final, nullptr, 0);
  if (size == 0) return;
  wchar_t* short_form = static_cast<wchar_t*>(malloc((size + 1) * sizeof(wchar_t)));
  if (short_form == nullptr) abort();
  DWORD length = GetShortPathNameW(executable_path_final, short_form, size);
  if (length > size) abort();
  // A path that vanished between the two calls keeps its long form.
  if (length != 0) copy_bounded(executable_path_final, short_form, executable_path_capacity);
  free(short_form);
}

}  // namespace

void to_short_path() {
  // Only the directory part is shortened; the program's own file name stays as it is.
  wchar_t* last_backslash = wcsrchr(executable_path_final, L'\\');
  wchar_t* file_name = nullptr;
  if (last_backslash != nullptr) {
    *last_backslash = 0;
    file_name = _wcsdup(last_backslash + 1);
    if (file_name == nullptr) abort();
  }
  shorten_in_place();
  if (file_name != nullptr) {
    append_char_bounded(executable_path_final, L'\\', executable_path_capacity);
    append_bounded(executable_path_final, file_name, executable_path_capacity);
    free(file_name);
  }
}
