#include "payload/target_path.h"

#include <cwchar>

bool target_path_fits(size_t target_length, const wchar_t* name) {
  return target_length + 1 + wcslen(name) < target_path_capacity;
}

bool build_target_path(wchar_t* path, const wchar_t* target, size_t target_length,
                       const wchar_t* name) {
  if (!target_path_fits(target_length, name)) return false;
  wmemcpy(path, target, target_length);
  path[target_length] = L'\\';
  wcscpy(path + target_length + 1, name);
  return true;
}
