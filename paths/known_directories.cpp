#include "paths/known_directories.h"

#include <cwchar>

bool is_known_directory(const KnownDirectories& known, const wchar_t* folder) {
  // Exact comparison: a folder differing in letter case goes to the system, which
  // then decides.
  for (int i = 0; i < known.count; ++i) {
    if (wcscmp(known.entries[i], folder) == 0) return true;
  }
  return false;
}

void remember_directory(KnownDirectories& known, const wchar_t* folder) {
  if (known.count >= known_directories_capacity) return;
  wchar_t* copy = _wcsdup(folder);
  // Without memory the folder merely stays unrecorded and costs a call next time.
  if (copy != nullptr) known.entries[known.count++] = copy;
}
