#include "payload/held_file.h"

#include "payload/file_replacement.h"

namespace {

constexpr DWORD retry_wait_ms = 50;
constexpr DWORD write_access = GENERIC_WRITE | DELETE;
constexpr DWORD write_sharing = FILE_SHARE_READ | FILE_SHARE_DELETE;

bool is_held(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
         error == ERROR_USER_MAPPED_FILE;
}

}  // namespace

bool wait_for_held_file(int& waits_left) {
  if (waits_left == 0 || !is_held(GetLastError())) return false;
  --waits_left;
  Sleep(retry_wait_ms);
  return true;
}

HANDLE open_for_writing(const wchar_t* path, int& waits_left) {
  // A first start finds no file: one call, as before.
  HANDLE file = create_new_for_writing(path);
  if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  return replace_with_new_file(path, waits_left);
}

// A dangling link at path counts as a file there, which is then replaced, rather than as
// room for one that the system would make wherever the link points.
HANDLE create_new_for_writing(const wchar_t* path) {
  return CreateFileW(path, write_access, write_sharing, nullptr, CREATE_NEW,
                     FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

bool delete_file_waiting(const wchar_t* path, int& waits_left) {
  for (;;) {
    if (DeleteFileW(path)) return true;
    if (!wait_for_held_file(waits_left)) return false;
  }
}
