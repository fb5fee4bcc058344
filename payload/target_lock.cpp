#include "payload/target_lock.h"

#include <windows.h>

#include <cstdint>

#include "support/trace_lines.h"

namespace {

constexpr size_t name_capacity = 64;
constexpr int fold_chunk = 256;
constexpr uint64_t fnv_offset_basis = 0xCBF29CE484222325ull;

uint64_t fnv1a(uint64_t hash, const wchar_t* units, int count) {
  for (int i = 0; i < count; ++i) {
    hash = (hash ^ static_cast<uint16_t>(units[i])) * 0x100000001B3ull;
  }
  return hash;
}

// The path as the file system compares it: letter case folded, no trailing backslash.
uint64_t directory_hash(const wchar_t* target_directory) {
  int length = lstrlenW(target_directory);
  while (length > 0 && target_directory[length - 1] == L'\\') --length;
  uint64_t hash = fnv_offset_basis;
  wchar_t folded[fold_chunk];
  for (int start = 0; start < length; start += fold_chunk) {
    int count = length - start < fold_chunk ? length - start : fold_chunk;
    if (LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, target_directory + start, count, folded,
                     fold_chunk) != count) {
      return fnv1a(fnv_offset_basis, target_directory, length);
    }
    hash = fnv1a(hash, folded, count);
  }
  return hash;
}

void make_lock_name(const wchar_t* target_directory, wchar_t (&name)[name_capacity]) {
  static const wchar_t prefix[] = L"Local\\kovran-onefile-";
  static const wchar_t hex[] = L"0123456789abcdef";
  size_t length = 0;
  while (prefix[length] != 0) name[length] = prefix[length], ++length;
  uint64_t hash = directory_hash(target_directory);
  for (int shift = 60; shift >= 0; shift -= 4) name[length++] = hex[(hash >> shift) & 15];
  name[length] = 0;
}

}  // namespace

bool take_target_lock(TargetLock& lock) {
  if (lock.mutex != nullptr) return true;
  wchar_t name[name_capacity];
  make_lock_name(lock.target_directory, name);
  lock.mutex = CreateMutexW(nullptr, FALSE, name);
  if (lock.mutex == nullptr) return false;
  ULONGLONG start = GetTickCount64();
  // An abandoned lock is ours too: its holder died, and the check that follows
  // repairs what it left half-written.
  DWORD waited = WaitForSingleObject(lock.mutex, INFINITE);
  trace_lock_wait(lock.trace, static_cast<int64_t>(GetTickCount64() - start),
                  waited == WAIT_ABANDONED);
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) return true;
  CloseHandle(lock.mutex);
  lock.mutex = nullptr;
  return false;
}

bool holds_target_lock(const TargetLock& lock) { return lock.mutex != nullptr; }

void release_target_lock(TargetLock& lock) {
  if (lock.mutex == nullptr) return;
  ReleaseMutex(lock.mutex);
  CloseHandle(lock.mutex);
  lock.mutex = nullptr;
}
