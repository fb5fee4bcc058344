#include "paths/link_guard.h"

#include <cstddef>
#include <cstdlib>
#include <cwchar>

#include "paths/long_path_prefix.h"
#include "support/bounded.h"
#include "support/decimal.h"
#include "support/file_disposition.h"
#include "support/later_calls.h"

namespace {

constexpr DWORD folder_link = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
constexpr size_t compared_capacity = 4096 + 8;

volatile LONG names_given = 0;

// The open handle leads to path itself, not through a link to somewhere else; true where
// the system cannot tell (no GetFinalPathNameByHandleW, which also means no links).
bool handle_has_path(HANDLE handle, const wchar_t* path) {
  final_path_function final_path = find_final_path_function();
  if (final_path == nullptr) return true;
  // Off the stack: pooled writers' threads have little of it.
  wchar_t* resolved = static_cast<wchar_t*>(malloc(2 * compared_capacity * sizeof(wchar_t)));
  if (resolved == nullptr) return false;
  wchar_t* wanted = resolved + compared_capacity;
  DWORD length = final_path(handle, resolved, compared_capacity, 0);
  bool same = length > 0 && length < compared_capacity;
  if (same) {
    copy_bounded(wanted, path, compared_capacity);
    strip_long_path_prefix(resolved);
    strip_long_path_prefix(wanted);
    same = _wcsicmp(resolved, wanted) == 0;
  }
  free(resolved);
  return same;
}

}  // namespace

bool is_folder_link(const wchar_t* path) {
  DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & folder_link) == folder_link;
}

bool remove_folder_link(const wchar_t* path) {
  HANDLE link = CreateFileW(
      path, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (link == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information;
  bool is_link = GetFileInformationByHandle(link, &information) &&
                 (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  bool deleted = is_link && delete_on_close(link);
  DWORD error = deleted ? ERROR_SUCCESS : GetLastError();
  CloseHandle(link);
  if (!is_link) error = link_in_the_way_error;
  SetLastError(error);
  return deleted;
}

bool is_plain_file(HANDLE file, const wchar_t* path) {
  // What tells nothing of itself (a device node that Wine shows in a folder) is judged by
  // where it lies alone.
  BY_HANDLE_FILE_INFORMATION information;
  if (GetFileInformationByHandle(file, &information) &&
      ((information.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) !=
           0 ||
       information.nNumberOfLinks != 1)) {
    return false;
  }
  return handle_has_path(file, path);
}

bool name_beside(wchar_t* name, size_t capacity, const wchar_t* path) {
  wchar_t number[decimal_capacity];
  int64_t unique = (static_cast<int64_t>(GetCurrentProcessId()) << 24) +
                   (InterlockedIncrement(&names_given) & 0xFFFFFF);
  size_t number_length = decimal_text(number, unique);
  size_t length = wcslen(path);
  if (length + 2 + number_length >= capacity) return false;
  wmemcpy(name, path, length);
  name[length] = L'.';
  name[length + 1] = L'~';
  wmemcpy(name + length + 2, number, number_length + 1);
  return true;
}

bool rename_over(HANDLE file, const wchar_t* path) {
  set_information_function set_information = find_set_information_function();
  if (set_information == nullptr) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
  }
  // The system's own form of the path, which the call takes as it stands: \??\ before a
  // drive's path, \??\UNC\ before a share's.
  bool prefixed = path[0] == L'\\' && path[1] == L'\\' && path[2] == L'?';
  bool unc = path[0] == L'\\' && path[1] == L'\\' && !prefixed;
  const wchar_t* rest = prefixed ? path + 4 : unc ? path + 2 : path;
  size_t prefix_length = unc ? 8 : 4;
  size_t units = prefix_length + wcslen(rest);
  size_t bytes = offsetof(FILE_RENAME_INFO, FileName) + (units + 1) * sizeof(wchar_t);
  FILE_RENAME_INFO* rename = static_cast<FILE_RENAME_INFO*>(calloc(1, bytes));
  if (rename == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  rename->ReplaceIfExists = TRUE;
  rename->FileNameLength = static_cast<DWORD>(units * sizeof(wchar_t));
  wchar_t* name = rename->FileName;
  name[0] = name[3] = L'\\';
  name[1] = name[2] = L'?';
  if (unc) {
    name[4] = L'U';
    name[5] = L'N';
    name[6] = L'C';
    name[7] = L'\\';
  }
  wcscpy(rename->FileName + prefix_length, rest);
  bool renamed = set_information(file, FileRenameInfo, rename, static_cast<DWORD>(bytes)) != FALSE;
  DWORD error = GetLastError();
  free(rename);
  SetLastError(error);
  return renamed;
}

bool replace_with_empty_file(const wchar_t* path, size_t capacity) {
  wchar_t* name = static_cast<wchar_t*>(malloc(capacity * sizeof(wchar_t)));
  if (name == nullptr) return false;
  bool replaced = false;
  if (name_beside(name, capacity, path)) {
    HANDLE file = CreateFileW(name, GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, CREATE_NEW, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      replaced = rename_over(file, path);
      if (!replaced) delete_on_close(file);
      CloseHandle(file);
    }
  }
  free(name);
  return replaced;
}
