#include "payload/file_counts.h"

void note_written(const Trace& trace, FileCounts& counts, const wchar_t* name, bool existed) {
  InterlockedIncrement(existed ? &counts.repaired : &counts.written);
  trace_text(trace, existed ? "repaired " : "written ", name);
}

void trace_counts(const Trace& trace, const FileCounts& counts) {
  TraceLine line;
  trace_start(line, "files: ");
  trace_add_number(line, counts.kept);
  trace_add(line, " kept, ");
  trace_add_number(line, counts.written);
  trace_add(line, " written, ");
  trace_add_number(line, counts.repaired);
  trace_add(line, " repaired");
  trace_end(trace, line);
}
