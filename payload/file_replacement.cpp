#include "payload/file_replacement.h"

#include <cstdlib>
#include <cwchar>

#include "paths/link_guard.h"
#include "payload/held_file.h"
#include "payload/target_path.h"
#include "support/file_disposition.h"

namespace {

constexpr DWORD write_access = GENERIC_WRITE | DELETE;
constexpr DWORD write_sharing = FILE_SHARE_READ | FILE_SHARE_DELETE;

void drop_new_file(HANDLE file, const wchar_t* name) {
  bool marked = delete_on_close(file);
  CloseHandle(file);
  if (!marked) DeleteFileW(name);
}

// The old file held open by a reader with full sharing: written in place when plain.
// INVALID_HANDLE_VALUE with the reason, a held one included, otherwise.
HANDLE open_plain_file_in_place(const wchar_t* path) {
  HANDLE file = CreateFileW(path, write_access, write_sharing, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return file;
  if (!is_plain_file(file, path)) {
    CloseHandle(file);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  // An empty one is left as it is: some devices take no truncation.
  LARGE_INTEGER size;
  if (GetFileSizeEx(file, &size) && size.QuadPart == 0) return file;
  if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
      !SetEndOfFile(file)) {
    DWORD error = GetLastError();
    CloseHandle(file);
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  return file;
}

}  // namespace

namespace {

HANDLE replace_named(const wchar_t* path, const wchar_t* name, int& waits_left) {
  HANDLE file = CreateFileW(name, write_access, write_sharing, nullptr, CREATE_NEW,
                            FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return file;
  bool link_removed = false;
  for (;;) {
    if (rename_over(file, path)) {
      SetLastError(ERROR_ALREADY_EXISTS);
      return file;
    }
    // A link to a folder where the file belongs goes as a link; a folder stays.
    if (!link_removed && is_folder_link(path)) {
      link_removed = true;
      if (remove_folder_link(path)) continue;
    }
    HANDLE in_place = open_plain_file_in_place(path);
    DWORD error = GetLastError();
    if (in_place != INVALID_HANDLE_VALUE || !wait_for_held_file(waits_left)) {
      drop_new_file(file, name);
      SetLastError(in_place != INVALID_HANDLE_VALUE ? ERROR_ALREADY_EXISTS : error);
      return in_place;
    }
  }
}

}  // namespace

HANDLE replace_with_new_file(const wchar_t* path, int& waits_left) {
  // Off the stack: pooled writers' threads have little of it.
  wchar_t* name = static_cast<wchar_t*>(malloc(target_path_capacity * sizeof(wchar_t)));
  if (name == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return INVALID_HANDLE_VALUE;
  }
  HANDLE file = INVALID_HANDLE_VALUE;
  if (name_beside(name, target_path_capacity, path)) {
    file = replace_named(path, name, waits_left);
  } else {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
  }
  DWORD error = GetLastError();
  free(name);
  SetLastError(error);
  return file;
}
