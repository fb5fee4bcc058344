#include "payload/pool_work.h"

#include "payload/crc32.h"
#include "payload/file_close.h"
#include "payload/file_write.h"
#include "payload/held_file.h"
#include "payload/stamps_given.h"
#include "payload/stored_checksum.h"

namespace {

// The bytes were checked against the entry's CRC-32 before they were written. A file cut
// short stays without the stamp, for the next start to rewrite.
Verdict write_and_close(FilePool& pool, PoolSlot& slot, HANDLE file) {
  DWORD error = slot.size > 0 ? write_whole(file, slot.bytes, slot.size) : ERROR_SUCCESS;
  if (error == ERROR_SUCCESS) {
    error = close_stamped_file(*pool.stamp, file, slot.archive_entry, slot.path + slot.name_at,
                               slot.path);
  } else {
    close_written_file(file);
  }
  slot.error = error;
  if (error != ERROR_SUCCESS) return Verdict::write_failed;
  note_written(*pool.trace, *pool.counts, slot.path + slot.name_at, !slot.created);
  return Verdict::written;
}

Verdict write_slot(FilePool& pool, PoolSlot& slot) {
  if (slot.folder_error != ERROR_SUCCESS) {
    slot.error = slot.folder_error;
    return Verdict::open_failed;
  }
  HANDLE file = create_new_for_writing(slot.path);
  if (file != INVALID_HANDLE_VALUE) {
    slot.created = true;
    return write_and_close(pool, slot, file);
  }
  if (!wait_for_earlier_entries(pool, slot)) return Verdict::skipped;
  file = open_for_writing(slot.path, slot.waits_left);
  if (file == INVALID_HANDLE_VALUE) {
    slot.error = GetLastError();
    return Verdict::open_failed;
  }
  return write_and_close(pool, slot, file);
}

}  // namespace

Verdict check_and_write(FilePool& pool, PoolSlot& slot, const ChecksumScratch& scratch) {
  Restamp restamp = {pool.stamp->stamp, 0, false};
  Restamp* restamping = pool.stamp->restamps_kept ? &restamp : nullptr;
  FileDecision decision = check_file(pool.stamp->reuse, slot.path, slot.size, slot.stored_checksum,
                                     scratch, restamping);
  if (restamp.done) {
    note_restamped(*pool.stamp, slot.archive_entry, slot.path + slot.name_at, slot.path);
  }
  if (is_kept(decision)) return Verdict::kept;
  // Only bytes about to be written are checked: a file kept costs no CRC-32 of its entry.
  if (!stored_checksum_admits(slot.stored_checksum, crc32_buffer(slot.bytes, slot.size))) {
    return Verdict::damaged;
  }
  if (!wait_for_leave(pool, slot)) return Verdict::kept;
  return write_slot(pool, slot);
}
