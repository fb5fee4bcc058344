#include "paths/long_path_prefix.h"

#include <cwchar>

namespace {

constexpr wchar_t local_prefix[] = L"\\\\?\\";
constexpr size_t local_prefix_length = 4;
constexpr wchar_t unc_prefix[] = L"\\\\?\\UNC\\";
constexpr size_t unc_prefix_length = 8;

bool starts_with(const wchar_t* path, const wchar_t* prefix, size_t length) {
  return wcsncmp(path, prefix, length) == 0;
}

// Moves the text after the first count units, terminator included, to the start.
void drop_front(wchar_t* path, size_t count) {
  wmemmove(path, path + count, wcslen(path + count) + 1);
}

}  // namespace

void strip_long_path_prefix(wchar_t* path) {
  if (starts_with(path, local_prefix, local_prefix_length) && path[4] != 0 && path[5] == L':') {
    drop_front(path, local_prefix_length);
  }
  if (starts_with(path, unc_prefix, unc_prefix_length)) {
    // "\\?\UNC\server" less six units is "C\server"; its first unit becomes the second
    // backslash of "\\server".
    drop_front(path, 6);
    path[0] = L'\\';
  }
}
