#pragma once
// KOVRAN_ONEFILE_TRACE: what a start decided, one line per step, for a packed program's author
// to read from a user's machine. An absolute path appends to that file (standard error when
// it cannot be written), "1" or any other value traces to standard error, and unset, empty
// or "0" traces nothing: the launcher then only reads the variable, and each step costs one
// test of tracing().
#include <windows.h>

#include <cstddef>
#include <cstdint>

struct Trace {
  HANDLE out;      // nullptr while off
  UINT code_page;  // UTF-8 in a file, the messages' own on standard error
  int64_t mark;    // the performance counter when the last phase ended
};

inline bool tracing(const Trace& trace) { return trace.out != nullptr; }

// Reads the variable, once per start.
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
// Writes the line and its end; one of up to 510 units goes out in one write, so that lines
// of several threads do not mix.
void trace_end(const Trace& trace, TraceLine& line);

// The usual shapes: step and a text; step, a number and its unit.
void trace_text(const Trace& trace, const char* step, const wchar_t* text);
void trace_number(const Trace& trace, const char* step, int64_t value, const char* unit);
// "phase NAME: N ms", the time since the last phase ended.
void trace_phase(Trace& trace, const char* phase);
