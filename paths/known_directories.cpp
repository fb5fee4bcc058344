#include "paths/known_directories.h"

#include <cwchar>

wchar_t* known_directories[known_directories_capacity];
int known_directory_count;

bool is_known_directory(const wchar_t* folder) {
  // Exact comparison: a folder differing in letter case goes to the system, which
  // then decides.
  for (int i = 0; i < known_directory_count; ++i) {
    if (wcscmp(known_directories[i], folder) == 0) return true;
  }
  return false;
}

void remember_directory(const wchar_t* folder) {
  if (known_directory_count >= known_directories_capacity) return;
  wchar_t* copy = _wcsdup(folder);
  // Without memory the folder merely stays unrecorded and costs a call next time.
  if (copy != nullptr) known_directories[known_directory_count++] = copy;
}
