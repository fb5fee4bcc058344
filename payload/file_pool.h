#pragma once
// Small entries are checked and written by a few threads at once: under some systems
// each file costs several trips to a server, and several requests in flight overlap.
// The main thread keeps reading the archive and copies each small entry into a fixed
// slot; larger files stay with it.
#include <cstdint>

constexpr uint64_t pooled_file_limit = 0x20000;

// Copies size (<= pooled_file_limit) bytes of the archive for the entry at
// current_file_path and queues it: a worker checks the file there and, unless it is
// current, writes it once the target lock is held. An earlier entry's failure ends the
// process first.
void pool_current_entry(uint64_t size, uint32_t stored_checksum);
// Waits until every queued entry is checked and written, and ends the process with the
// first failure in archive order; before the caller writes a file of its own.
void settle_pooled_entries();
// The same; the threads are gone afterwards.
void finish_pooled_entries();
