#include "builds/read_only.h"

#include "support/later_calls.h"

bool clear_read_only(HANDLE entry, DWORD attributes) {
  if ((attributes & FILE_ATTRIBUTE_READONLY) == 0) return true;
  set_information_function set_information = find_set_information_function();
  if (set_information == nullptr) return false;
  // Zero times leave the times as they are; no attribute at all is said as NORMAL.
  FILE_BASIC_INFO basic = {};
  DWORD kept = attributes & ~(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY);
  basic.FileAttributes = kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL;
  return set_information(entry, FileBasicInfo, &basic, sizeof basic) != FALSE;
}
