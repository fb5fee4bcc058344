#include "paths/executable_path.h"

#include <windows.h>

#include <cstdlib>
#include <cwchar>

#include "paths/long_path_prefix.h"
#include "support/bounded.h"
#include "support/later_calls.h"

wchar_t executable_path_plain[executable_path_capacity];
wchar_t executable_path_final[executable_path_capacity];
wchar_t executable_directory[executable_path_capacity];
wchar_t module_path[module_path_capacity];

namespace {

// The launcher's module file name into buffer; aborts unless it fits whole. A name the
// system had to cut short comes back as the full buffer size.
void read_module_file_name(wchar_t* buffer, DWORD capacity) {
  DWORD length = GetModuleFileNameW(nullptr, buffer, capacity);
  if (length >= capacity || wmemchr(buffer, 0, capacity) == nullptr) abort();
}

// Replaces executable_path_final by the path of the file that was really opened.
void resolve_final_path() {
  HANDLE file =
      CreateFileW(executable_path_final, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  final_path_function final_path = find_final_path_function();
  DWORD length = final_path != nullptr
                     ? final_path(file, executable_path_final, executable_path_capacity, 0)
                     : 0;
  CloseHandle(file);
  if (length >= executable_path_capacity) abort();
  strip_long_path_prefix(executable_path_final);
}

}  // namespace

const wchar_t* resolve_executable_path(bool final) {
  if (!final) {
    if (executable_path_plain[0] == 0) {
      read_module_file_name(executable_path_plain, executable_path_capacity);
    }
    return executable_path_plain;
  }
  if (executable_path_final[0] == 0) {
    read_module_file_name(executable_path_final, executable_path_capacity);
    resolve_final_path();
    to_short_path();
  }
  return executable_path_final;
}

const wchar_t* path_directory(const wchar_t* path) {
  copy_bounded(executable_directory, path, executable_path_capacity);
  wchar_t* last_backslash = wcsrchr(executable_directory, L'\\');
  if (last_backslash != nullptr) *last_backslash = 0;
  return executable_directory;
}

const wchar_t* module_file_name() {
  if (module_path[0] == 0) {
    read_module_file_name(module_path, module_path_capacity);
    // The child's argv[0] cannot be left empty.
    if (module_path[0] == 0) abort();
  }
  return module_path;
}
