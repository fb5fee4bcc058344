#pragma once
// Small files written by a few threads at once: creating a file is latency-bound under
// some systems, so several requests in flight overlap. Larger files stay with the caller.
#include <cstdint>

constexpr uint64_t pooled_file_limit = 0x20000;

// Copies size (<= pooled_file_limit) bytes of the archive for the file at
// current_file_path, whose folders exist, and queues it. An earlier entry's failure
// ends the process first.
void pool_write_current_file(uint64_t size);
// Waits for every queued file and ends the process with the first failure in archive
// order; the pool stays ready. Before the caller writes a file of its own.
void settle_pooled_writes();
// Waits for every queued file and ends the process with the first failure in archive
// order; the threads are gone afterwards.
void finish_pooled_writes();
