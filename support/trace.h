#pragma once
// KOVRAN_ONEFILE_TRACE: what a start decided, for a packed program's author to read from a
// user's machine. An absolute path appends to that file, "1" or any other value traces to
// standard error, and unset, empty or "0" traces nothing: the launcher then only reads the
// variable, and each step costs one test of tracing(). The trace is short (a few dozen lines
// whatever the archive holds) unless KOVRAN_ONEFILE_TRACE_FILES=1 adds a line per file.
// The lines themselves are made in support/trace_lines.h; each checks whether tracing is on.
#include <windows.h>

#include <cstddef>
#include <cstdint>

// Where the lines go, shared by every copy of a Trace (the pruning thread has one of its
// own) and left to the process's end. Lines of several threads go out one at a time, under
// the lock: an append to a file is not one step on every system (under Wine two threads'
// appends can land at the same offset, the later one overwriting the earlier).
struct TraceSink {
  HANDLE out;
  UINT code_page;  // UTF-8 in a file, the messages' own on standard error
  bool files;      // a line per file kept or written
  SRWLOCK lock;
};

struct Trace {
  TraceSink* sink;  // nullptr while off
  int64_t mark;     // the performance counter when the last phase ended
};

inline bool tracing(const Trace& trace) { return trace.sink != nullptr; }
inline bool tracing_files(const Trace& trace) { return trace.sink != nullptr && trace.sink->files; }

// Reads the variables, once per start. A value that cannot be followed (too long, a file
// that cannot be written) is told on standard error, where the trace then goes.
void open_trace(Trace& trace);

// One line put together: "[kovran-onefile PID] " and its parts, cut at its capacity.
constexpr size_t trace_line_capacity = 4096 + 256;
struct TraceLine {
  wchar_t text[trace_line_capacity];
};

void trace_start(TraceLine& line, const char* step);
void trace_add(TraceLine& line, const char* text);
void trace_add(TraceLine& line, const wchar_t* text);
void trace_add_number(TraceLine& line, int64_t value);
// Writes the line and its end, nothing while off.
void trace_end(const Trace& trace, TraceLine& line);

// One line from format, nothing while off. Besides its own text, format takes
//   %s  a const char*          %w  a const wchar_t* (null: nothing)
//   %d  an int64_t             %2  an int64_t in at least two digits (05)
//                              %x  a uint32_t exit status: decimal, and above 0x7FFFFFFF
//                                  in hex (0xC000013A), as people look such statuses up
//   %e  a DWORD system error, as " ([Error N] the system's text)"
void trace_format(const Trace& trace, const char* format, ...);

// The usual shapes: step and a text; step, a number and its unit.
void trace_text(const Trace& trace, const char* step, const wchar_t* text);
void trace_number(const Trace& trace, const char* step, int64_t value, const char* unit);
// "phase NAME: N ms", the time since the last phase ended.
void trace_phase(Trace& trace, const char* phase);
