#pragma once
// What an unpack did with the archive's files, counted and named only while tracing
// (support/trace.h): kept as they were, written where none was, repaired where one was out of
// date. The main thread and the pool's workers count alike.
#include <windows.h>

#include "support/trace.h"

struct FileCounts {
  volatile LONG kept;
  volatile LONG written;
  volatile LONG repaired;
};

// Counts files kept without naming them (those a listing found current).
inline void count_kept(FileCounts& counts, LONG files = 1) {
  InterlockedExchangeAdd(&counts.kept, files);
}
// Counts and names a file this start kept as it was.
void note_kept(const Trace& trace, FileCounts& counts, const wchar_t* name);
// Counts and names a file this start wrote; existed: one was there before.
void note_written(const Trace& trace, FileCounts& counts, const wchar_t* name, bool existed);
// "files: K kept, W written, R repaired".
void trace_counts(const Trace& trace, const FileCounts& counts);
