#include "payload/file_counts.h"

#include "support/trace_lines.h"

void note_kept(const Trace& trace, FileCounts& counts, const wchar_t* name) {
  if (!tracing(trace)) return;
  count_kept(counts);
  trace_file(trace, FileFate::kept, name, 0);
}

void note_written(const Trace& trace, FileCounts& counts, const wchar_t* name, bool existed) {
  if (!tracing(trace)) return;
  LONG number = InterlockedIncrement(existed ? &counts.repaired : &counts.written);
  trace_file(trace, existed ? FileFate::repaired : FileFate::written, name, number);
}

void trace_counts(const Trace& trace, const FileCounts& counts) {
  trace_file_counts(trace, counts.kept, counts.written, counts.repaired);
}
