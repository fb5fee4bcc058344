#include "payload/held_file.h"

namespace {

constexpr int retry_count = 20;
constexpr DWORD retry_wait_ms = 50;

int waits_left = retry_count;

bool is_held(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
         error == ERROR_USER_MAPPED_FILE;
}

}  // namespace

bool wait_for_held_file(int* waits) {
  if (*waits == 0 || !is_held(GetLastError())) return false;
  --*waits;
  Sleep(retry_wait_ms);
  return true;
}

bool wait_for_held_file() { return wait_for_held_file(&waits_left); }

int held_file_budget_left() { return waits_left; }

void renew_held_file_budget() { waits_left = retry_count; }
