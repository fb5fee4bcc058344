#include "payload/held_file.h"

namespace {

constexpr DWORD retry_wait_ms = 50;

int main_waits_left = held_file_retries;

bool is_held(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
         error == ERROR_USER_MAPPED_FILE;
}

}  // namespace

bool wait_for_held_file(int* waits_left) {
  if (waits_left == nullptr) waits_left = &main_waits_left;
  if (*waits_left == 0 || !is_held(GetLastError())) return false;
  --*waits_left;
  Sleep(retry_wait_ms);
  return true;
}

void renew_held_file_budget() { main_waits_left = held_file_retries; }

HANDLE open_for_writing(const wchar_t* path, int* waits_left) {
  for (;;) {
    HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE || !wait_for_held_file(waits_left)) return file;
  }
}

bool delete_file_waiting(const wchar_t* path, int* waits_left) {
  for (;;) {
    if (DeleteFileW(path)) return true;
    if (!wait_for_held_file(waits_left)) return false;
  }
}
