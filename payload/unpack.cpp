#include "payload/unpack.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "launcher/errors.h"
#include "launcher/launch_state.h"
#include "paths/directories.h"
#include "payload/container.h"
#include "payload/crc32.h"
#include "payload/entry_name.h"
#include "payload/file_checksum.h"
#include "payload/file_pool.h"
#include "payload/file_write.h"
#include "payload/held_file.h"
#include "payload/stamp_rule.h"
#include "payload/stored_checksum.h"
#include "payload/stream.h"
#include "payload/target_lock.h"
#include "support/bounded.h"

namespace {

constexpr size_t entry_name_capacity = 1024;

wchar_t entry_name[entry_name_capacity];

// Reads units up to the terminating 0; a name longer than the buffer ends the process
// like every other bounded buffer.
void read_entry_name() {
  for (size_t i = 0;; ++i) {
    if (i == entry_name_capacity) abort();
    unsigned char unit[2];
    payload_read(unit, 2);
    entry_name[i] = static_cast<wchar_t>(unit[0] | (unit[1] << 8));
    if (entry_name[i] == 0) return;
  }
}

// The archive is little-endian, as is every system the launcher runs on.
uint64_t read_u64() {
  uint64_t value;
  payload_read(&value, sizeof value);
  return value;
}

uint32_t read_u32() {
  uint32_t value;
  payload_read(&value, sizeof value);
  return value;
}

void skip_data(uint64_t size) {
  while (size > 0) {
    const unsigned char* bytes;
    size -= payload_take(&bytes, size);
  }
}

void write_current_file(uint64_t size, uint32_t stored_checksum) {
  create_parent_directories();
  settle_pooled_entries();
  HANDLE file = open_for_writing(current_file_path);
  if (file == INVALID_HANDLE_VALUE) fatal_open_error(current_file_path);
  // Straight from the decoder's windows: a call per window, no copy; the CRC-32 runs
  // over the same pieces.
  uint32_t crc = 0;
  while (size > 0) {
    const unsigned char* bytes;
    size_t piece = payload_take(&bytes, size);
    crc = crc32_update(crc, bytes, piece);
    DWORD error = write_whole(file, bytes, static_cast<DWORD>(piece));
    if (error != ERROR_SUCCESS) fatal_os_error(write_failed_message, error);
    size -= piece;
  }
  bool intact = stored_checksum_admits(stored_checksum, crc);
  if (intact) stamp_written_file(file);
  CloseHandle(file);
  // Damaged data is not left for the next start to keep, nor run.
  if (!intact) {
    renew_held_file_budget();
    delete_file_waiting(current_file_path);
    payload_fail_decode();
  }
}

}  // namespace

void unpack_payload() {
  check_payload_header();
  // Every file is current by its size and stamp: no decoder, no lock.
  if (every_file_is_stamped()) return;
  payload_open();
  for (uint64_t entry = 0;; ++entry) {
    read_entry_name();
    if (entry_name[0] == 0) break;
    // A name that leaves the target directory or names a device is damaged or foreign.
    if (!is_safe_entry_name(entry_name)) payload_fail_decode();
    build_target_file_path(current_file_path, entry_name);
    if (child_executable_path[0] == 0) {
      copy_bounded(child_executable_path, current_file_path, file_path_capacity);
    }
    uint64_t size = read_u64();
    uint32_t stored_checksum = read_u32();
    if (listed_as_current(entry, entry_name, size)) {
      skip_data(size);
      continue;
    }
    renew_held_file_budget();
    if (size <= pooled_file_limit) {
      pool_current_entry(size, stored_checksum);
      continue;
    }
    bool current = file_is_current(current_file_path, size, stored_checksum);
    // Another launcher may have been writing it: once the lock is ours, look again. A
    // launcher that has written nothing yet keeps others waiting only when it must write.
    if (!current && !holds_target_lock() && take_target_lock()) {
      current = file_is_current(current_file_path, size, stored_checksum);
      if (current) release_target_lock();
    }
    if (current) {
      skip_data(size);
    } else {
      write_current_file(size, stored_checksum);
    }
  }
  payload_read_to_frame_end();
  finish_pooled_entries();
  payload_close();
  release_target_lock();
}
