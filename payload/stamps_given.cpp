#include "payload/stamps_given.h"

#include <cstdlib>
#include <cwchar>

#include "payload/file_close.h"
#include "payload/target_path.h"

namespace {

// False when there is no memory for the name.
bool note_stamped(StampRule& rule, uint64_t entry, const wchar_t* name) {
  // Decoded entries agree with the index at their position, so its names are theirs.
  if (rule.given_entries != nullptr) {
    rule.given_entries[entry] = 1;
    return true;
  }
  size_t units = wcslen(name) + 1;
  AcquireSRWLockExclusive(&rule.given_lock);
  bool room = rule.given_units + units <= rule.given_capacity;
  if (!room) {
    size_t capacity = (rule.given_capacity + units) * 2;
    void* grown = realloc(rule.given, capacity * sizeof(wchar_t));
    if (grown != nullptr) {
      rule.given = static_cast<wchar_t*>(grown);
      rule.given_capacity = capacity;
      room = true;
    }
  }
  if (room) {
    wmemcpy(rule.given + rule.given_units, name, units);
    rule.given_units += units;
  }
  ReleaseSRWLockExclusive(&rule.given_lock);
  return room;
}

bool give_time(const wchar_t* path, const FILETIME& time) {
  HANDLE file = CreateFileW(path, FILE_WRITE_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  bool given = SetFileTime(file, nullptr, nullptr, &time) != FALSE;
  return CloseHandle(file) && given;
}

}  // namespace

DWORD stamp_written_file(StampRule& rule, HANDLE file, uint64_t entry, const wchar_t* name) {
  if (rule.reuse != ReuseRule::stamp || !note_stamped(rule, entry, name)) return ERROR_SUCCESS;
  if (SetFileTime(file, nullptr, nullptr, &rule.stamp)) return ERROR_SUCCESS;
  DWORD error = GetLastError();
  return error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT;
}

void note_restamped(StampRule& rule, uint64_t entry, const wchar_t* name, const wchar_t* path) {
  // Without the memory to note it, the stamp cannot be taken back: it goes at once.
  if (!note_stamped(rule, entry, name)) take_back_stamp(rule, path);
}

DWORD close_stamped_file(StampRule& rule, HANDLE file, uint64_t entry, const wchar_t* name,
                         const wchar_t* path) {
  DWORD error = stamp_written_file(rule, file, entry, name);
  DWORD closed = close_written_file(file);
  if (error != ERROR_SUCCESS || closed == ERROR_SUCCESS) return error;
  take_back_stamp(rule, path);
  return closed;
}

void take_back_stamp(const StampRule& rule, const wchar_t* path) {
  if (rule.reuse != ReuseRule::stamp) return;
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  // A file that keeps the stamp would be kept by it: it goes instead.
  if (!give_time(path, now)) DeleteFileW(path);
}

void take_back_stamps(StampRule& rule) {
  wchar_t path[target_path_capacity];
  for (uint32_t entry = 0; rule.given_entries != nullptr && entry < rule.index.entry_count;
       ++entry) {
    if (rule.given_entries[entry] != 0 &&
        build_target_path(path, rule.target_directory, rule.target_length,
                          indexed_entry_name(rule.index, entry))) {
      take_back_stamp(rule, path);
    }
  }
  for (size_t at = 0; at < rule.given_units; at += wcslen(rule.given + at) + 1) {
    if (build_target_path(path, rule.target_directory, rule.target_length, rule.given + at)) {
      take_back_stamp(rule, path);
    }
  }
}
