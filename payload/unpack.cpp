#include "payload/unpack.h"

#include <windows.h>

#include <cwchar>

#include "builds/takeover.h"
#include "builds/tree_removal.h"
#include "paths/directories.h"
#include "payload/container.h"
#include "payload/crc32.h"
#include "payload/entry_name.h"
#include "payload/file_checksum.h"
#include "payload/file_close.h"
#include "payload/file_write.h"
#include "payload/held_file.h"
#include "payload/stamp_listing.h"
#include "payload/stamp_record.h"
#include "payload/stamps_given.h"
#include "payload/stored_checksum.h"
#include "payload/stray_removal.h"
#include "payload/unpack_end.h"
#include "progress/progress_step.h"
#include "progress/progress_window_control.h"
#include "support/trace_lines.h"

namespace {

constexpr UnpackFailure damaged = {UnpackError::damaged, 0};
constexpr UnpackFailure cancelled = {UnpackError::cancelled, 0};

ChecksumScratch main_scratch(Unpack& unpack) {
  return ChecksumScratch{unpack.read_buffer, main_read_limit, &unpack.waits_left};
}

// Reads units up to the terminating 0. Only a damaged or foreign archive holds a name
// longer than the buffer.
bool read_entry_name(Unpack& unpack) {
  for (wchar_t& unit : unpack.entry_name) {
    unsigned char bytes[2];
    if (!payload_read(unpack.stream, bytes, 2)) return false;
    unit = static_cast<wchar_t>(bytes[0] | (bytes[1] << 8));
    if (unit == 0) return true;
  }
  return false;
}

// Progress counts from the first write on: a start that writes nothing reads no clock.
// False once the user cancelled.
bool go_on(Unpack& unpack) {
  if (unpack.progress.view == ProgressView::none) return true;
  if (!holds_target_lock(unpack.target_lock) && !unpack.pool.writes_allowed) return true;
  return progress_step(unpack.progress, payload_position(unpack.stream), unpack.files_passed);
}

UnpackFailure skip_data(Unpack& unpack, uint64_t size) {
  while (size > 0) {
    if (!go_on(unpack)) return cancelled;
    const unsigned char* bytes;
    size_t piece = payload_take(unpack.stream, &bytes, size);
    if (piece == 0) return damaged;
    size -= piece;
  }
  return unpack_went_well;
}

// A file kept as it is: its bytes are read past.
UnpackFailure keep_file(Unpack& unpack, uint64_t size) {
  note_kept(*unpack.trace, unpack.counts, unpack.entry_name);
  return skip_data(unpack, size);
}

// Stamps and closes a file written whole and checked; existed: one was there before.
UnpackFailure finish_written_file(Unpack& unpack, HANDLE file, uint64_t entry, bool existed) {
  DWORD error = close_stamped_file(unpack.stamp, file, entry, unpack.entry_name, unpack.file_path);
  if (error != ERROR_SUCCESS) return UnpackFailure{UnpackError::write, error};
  note_written(*unpack.trace, unpack.counts, unpack.entry_name, existed);
  return unpack_went_well;
}

// Straight from the decoder's windows: a call per window, no copy; the CRC-32 runs over the
// same pieces. A file that turns out damaged, or that the archive ends inside, goes again.
UnpackFailure write_current_file(Unpack& unpack, uint64_t entry, uint64_t size,
                                 uint32_t stored_checksum) {
  bool folder_made = create_parent_directories_of(*unpack.directories, unpack.file_path);
  DWORD folder_error = GetLastError();
  UnpackFailure earlier = settle_pool(unpack.pool);
  if (failed(earlier)) return earlier;
  // Nothing goes into a folder that could not be made, nor through a link in its place.
  if (!folder_made) return {UnpackError::open, folder_error};
  HANDLE file = open_for_writing(unpack.file_path, unpack.waits_left);
  if (file == INVALID_HANDLE_VALUE) return {UnpackError::open, GetLastError()};
  // An open that replaced a file tells so.
  bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  uint32_t crc = 0;
  for (uint64_t left = size; left > 0;) {
    // A file cut short by a cancel goes again, as a damaged one does.
    if (!go_on(unpack)) {
      unpack.waits_left = held_file_retries;
      remove_written_file(file, unpack.file_path, unpack.waits_left);
      return cancelled;
    }
    const unsigned char* bytes;
    size_t piece = payload_take(unpack.stream, &bytes, left);
    if (piece == 0) break;
    crc = crc32_update(crc, bytes, piece);
    DWORD error = write_whole(file, bytes, static_cast<DWORD>(piece));
    if (error != ERROR_SUCCESS) {
      // A file cut short stays without the stamp, for the next start to rewrite; the
      // write's error is the one to report, whatever the close says.
      close_written_file(file);
      return {UnpackError::write, error};
    }
    left -= piece;
  }
  if (unpack.stream.damaged || !stored_checksum_admits(stored_checksum, crc)) {
    unpack.waits_left = held_file_retries;
    remove_written_file(file, unpack.file_path, unpack.waits_left);
    return damaged;
  }
  return finish_written_file(unpack, file, entry, existed);
}

UnpackFailure unpack_entry(Unpack& unpack, uint64_t entry, uint64_t size,
                           uint32_t stored_checksum) {
  if (listed_as_current(unpack.stamp, entry)) return keep_file(unpack, size);
  unpack.waits_left = held_file_retries;
  if (size <= pooled_file_limit) {
    return pool_entry(unpack.pool, unpack.stream, unpack.file_path, unpack.target_length + 1, entry,
                      size, stored_checksum);
  }
  ChecksumScratch scratch = main_scratch(unpack);
  ReuseRule rule = unpack.stamp.reuse;
  Restamp restamp = {unpack.stamp.stamp, 0, false};
  Restamp* restamping = unpack.stamp.restamps_kept ? &restamp : nullptr;
  FileDecision decision =
      check_file(rule, unpack.file_path, size, stored_checksum, scratch, restamping);
  // Another launcher may have been writing it: once the lock is ours, look again. A
  // launcher that has written nothing yet keeps others waiting only when it must write.
  if (!is_kept(decision) && !holds_target_lock(unpack.target_lock) &&
      take_target_lock(unpack.target_lock)) {
    decision = check_file(rule, unpack.file_path, size, stored_checksum, scratch, restamping);
    if (is_kept(decision)) release_target_lock(unpack.target_lock);
  }
  if (restamp.done) note_restamped(unpack.stamp, entry, unpack.entry_name, unpack.file_path);
  return is_kept(decision) ? keep_file(unpack, size)
                           : write_current_file(unpack, entry, size, stored_checksum);
}

UnpackFailure unpack_entries(Unpack& unpack) {
  for (uint64_t entry = 0;; ++entry) {
    unpack.files_passed = entry;
    if (!go_on(unpack)) return cancelled;
    if (!read_entry_name(unpack)) return damaged;
    if (unpack.entry_name[0] == 0)
      return index_count_agrees(unpack.stamp.index, entry) ? unpack_went_well : damaged;
    // A name that leaves the target directory or names a device is damaged or foreign.
    if (!is_safe_entry_name(unpack.entry_name)) return damaged;
    if (!build_target_path(unpack.file_path, unpack.target_directory, unpack.target_length,
                           unpack.entry_name)) {
      return {UnpackError::path_too_long, 0};
    }
    if (unpack.child_path[0] == 0) wcscpy(unpack.child_path, unpack.file_path);
    if (unpack.removes_strays) add_name(unpack.names, unpack.entry_name);
    // The archive is little-endian, as is every system the launcher runs on.
    uint64_t size = 0;
    uint32_t stored_checksum = 0;
    if (!payload_read(unpack.stream, &size, sizeof size) ||
        !payload_read(unpack.stream, &stored_checksum, sizeof stored_checksum) ||
        !index_agrees(unpack.stamp.index, entry, unpack.entry_name, size, stored_checksum)) {
      return damaged;
    }
    UnpackFailure failure = unpack_entry(unpack, entry, size, stored_checksum);
    if (failed(failure)) return failure;
  }
}

// What the listing of a start under the stamp rule found; every file current, each kept is
// named from the index, as the walk through the archive names them otherwise.
void trace_listing(Unpack& unpack, bool every_file) {
  if (!tracing(*unpack.trace)) return;
  uint32_t count = unpack.stamp.index.entry_count;
  if (every_file) {
    count_kept(unpack.counts, static_cast<LONG>(count));
    trace_listing(*unpack.trace, count, count);
    for (uint32_t entry = 0; tracing_files(*unpack.trace) && entry < count; ++entry)
      trace_file(*unpack.trace, FileFate::kept, indexed_entry_name(unpack.stamp.index, entry), 0);
    return;
  }
  if (unpack.stamp.listed_current == nullptr) return;
  int64_t current = 0;
  for (uint32_t entry = 0; entry < count; ++entry) {
    current += unpack.stamp.listed_current[entry] != 0;
  }
  trace_listing(*unpack.trace, current, count);
}

// Every file is the build's: what else lies below the folder goes, and the takeover ends
// once nothing of it is left.
void finish_takeover(Unpack& unpack) {
  // Whoever writes into the folder holds the lock; a start that took its turn after another
  // may find the takeover ended.
  if (!take_target_lock(unpack.target_lock) || !takeover_pending(unpack.target_directory)) return;
  StrayRemoval removal = remove_strays(unpack.target_directory, unpack.names, unpack.stamp.census);
  if (removal.all_gone) end_takeover(unpack.target_directory);
  if (tracing(*unpack.trace)) {
    trace_number(*unpack.trace, "takeover: ", removal.files_removed,
                 removal.all_gone ? " files removed" : " files removed, some left");
  }
}

// A takeover that failed (a file where the build has a folder or the reverse, a full disk, a
// damaged archive, a cancel) leaves no folder, unless another start has finished it
// meanwhile: the next start unpacks anew instead of meeting the same obstacle.
void give_up_takeover(Unpack& unpack) {
  if (!take_target_lock(unpack.target_lock) || !takeover_pending(unpack.target_directory)) return;
  wchar_t folder[target_directory_capacity];
  wcscpy(folder, unpack.target_directory);
  if (remove_tree(folder, target_directory_capacity)) end_takeover(unpack.target_directory);
  release_target_lock(unpack.target_lock);
}

UnpackFailure run_unpack(Unpack& unpack) {
  if (!check_payload_header(unpack.stream)) return {UnpackError::header, 0};
  // A takeover that holds the lock lists the folder as it stands: nothing can be left in it
  // later but by this start. One that finds a takeover to finish walks the folder at the end.
  unpack.stamp.counts_strays = unpack.removes_strays && holds_target_lock(unpack.target_lock);
  // Every file is current by its size and stamp: no decoder, no lock.
  bool every_file = every_file_is_stamped(unpack.stamp, unpack.child_path);
  // A takeover decodes the whole archive even so: it confirms the archive before its record.
  every_file = every_file && !unpack.removes_strays;
  trace_listing(unpack, every_file);
  if (every_file) return unpack_went_well;
  if (!payload_open(unpack.stream, unpack.ahead)) return {UnpackError::memory, 0};
  if (unpack.progress.view != ProgressView::none) {
    unpack.progress.total = payload_content_size(unpack.stream);
  }
  UnpackFailure failure = unpack_entries(unpack);
  if (failed(failure)) return failure;
  if (!payload_read_to_frame_end(unpack.stream)) return damaged;
  // A close that came after the last entry still keeps the program from starting.
  if (!go_on(unpack)) return cancelled;
  // Strays go only once every file is written and the archive is whole.
  failure = settle_pool(unpack.pool);
  if (failed(failure)) return failure;
  if (unpack.removes_strays) finish_takeover(unpack);
  if (unpack.record_path != nullptr) {
    write_stamp_record(unpack.stamp, unpack.record_path, unpack.build_id);
  }
  show_progress_done(unpack.progress, payload_position(unpack.stream));
  return unpack_went_well;
}

}  // namespace

void prepare_unpack(Unpack& unpack, const unsigned char* block, uint64_t length, LaunchState& state,
                    KnownDirectories& directories) {
  payload_attach(unpack.stream, block, length);
  unpack.target_directory = state.target_directory;
  unpack.target_length = wcslen(state.target_directory);
  unpack.child_path = state.child_path;
  unpack.cache_dir_moved = state.cache_dir_moved;
  unpack.directories = &directories;
  directories.contained = state.target_directory;
  directories.contained_length = unpack.target_length;
  unpack.trace = &state.trace;
  unpack.target_lock.target_directory = state.target_directory;
  unpack.target_lock.trace = &state.trace;
  InitializeSRWLock(&unpack.stamp.given_lock);
  prepare_pool(unpack.pool, unpack.stamp, unpack.target_lock, directories, main_scratch(unpack));
  unpack.pool.trace = &state.trace;
  unpack.pool.counts = &unpack.counts;
}

Failure unpack_payload(Unpack& unpack) {
  Failure failure = end_unpack(unpack, run_unpack(unpack));
  trace_counts(*unpack.trace, unpack.counts);
  if (unpack.removes_strays && failed(failure)) give_up_takeover(unpack);
  free_names(unpack.names);
  return failure;
}
