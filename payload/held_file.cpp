#include "payload/held_file.h"

namespace {

constexpr int retry_count = 20;
constexpr DWORD retry_wait_ms = 50;

bool is_held(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
         error == ERROR_USER_MAPPED_FILE;
}

}  // namespace

bool wait_for_held_file(int attempt) {
  if (attempt >= retry_count || !is_held(GetLastError())) return false;
  Sleep(retry_wait_ms);
  return true;
}
