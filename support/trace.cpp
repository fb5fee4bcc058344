#include "support/trace.h"

#include <cwchar>

#include "support/bounded.h"
#include "support/decimal.h"
#include "support/text_output.h"

namespace {

constexpr wchar_t trace_variable[] = L"KOVRAN_ONEFILE_TRACE";
constexpr wchar_t files_variable[] = L"KOVRAN_ONEFILE_TRACE_FILES";
constexpr size_t value_capacity = 4096;
constexpr DWORD message_flags =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
constexpr DWORD english_us = 0x409;

int64_t counter_now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

// Appended to, never through a link: a file that is not a plain one is not written.
HANDLE open_trace_file(const wchar_t* path, DWORD* error) {
  HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = GetLastError();
    return nullptr;
  }
  BY_HANDLE_FILE_INFORMATION information;
  if (GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &information) &&
      (information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
          0) {
    return file;
  }
  CloseHandle(file);
  *error = ERROR_CANT_ACCESS_FILE;
  return nullptr;
}

bool is_absolute(const wchar_t* path) {
  bool drive = ((path[0] | 0x20) >= L'a' && (path[0] | 0x20) <= L'z') && path[1] == L':';
  return (drive && (path[2] == L'\\' || path[2] == L'/')) ||
         ((path[0] == L'\\' || path[0] == L'/') && (path[1] == L'\\' || path[1] == L'/'));
}

bool files_asked() {
  wchar_t value[4];
  return GetEnvironmentVariableW(files_variable, value, 4) == 1 && value[0] == L'1';
}

// Left to the process's end: the pruning thread may trace after launcher_main returned.
TraceSink* new_sink(HANDLE out, UINT code_page) {
  TraceSink* sink =
      static_cast<TraceSink*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(TraceSink)));
  if (sink == nullptr) return nullptr;
  sink->out = out;
  sink->code_page = code_page;
  sink->files = files_asked();
  InitializeSRWLock(&sink->lock);
  return sink;
}

// Why the trace is not where it was asked to go, as its own first line.
void trace_fallback(const Trace& trace, const wchar_t* path, DWORD length, DWORD error) {
  TraceLine line;
  trace_start(line, "trace: ");
  if (path == nullptr) {
    trace_add(line, "KOVRAN_ONEFILE_TRACE is too long (");
    trace_add_number(line, length);
    trace_add(line, " units, at most ");
    trace_add_number(line, value_capacity - 1);
    trace_add(line, ")");
  } else {
    trace_add(line, "cannot append to ");
    trace_add(line, path);
    trace_add_error(line, error);
  }
  trace_add(line, "; tracing on standard error");
  trace_end(trace, line);
}

}  // namespace

// "1", any other value but "0" and an absolute path, a file that cannot be written and a
// value too long to read trace to standard error.
void open_trace(Trace& trace) {
  // The length first: unset, nothing is copied.
  DWORD needed = GetEnvironmentVariableW(trace_variable, nullptr, 0);
  if (needed == 0) return;
  wchar_t value[value_capacity];
  DWORD length = GetEnvironmentVariableW(trace_variable, value, value_capacity);
  bool too_long = length >= value_capacity;
  if (!too_long && (length == 0 || wcscmp(value, L"0") == 0)) return;
  trace.mark = counter_now();
  bool to_file = !too_long && is_absolute(value);
  DWORD error = ERROR_SUCCESS;
  HANDLE file = to_file ? open_trace_file(value, &error) : nullptr;
  if (file != nullptr) {
    trace.sink = new_sink(file, CP_UTF8);
    return;
  }
  HANDLE standard_error = GetStdHandle(STD_ERROR_HANDLE);
  if (standard_error == nullptr || standard_error == INVALID_HANDLE_VALUE) return;
  trace.sink = new_sink(standard_error, message_code_page());
  // The value's length without its terminator: what the system asked room for, less one.
  if (too_long) trace_fallback(trace, nullptr, length - 1, 0);
  if (to_file) trace_fallback(trace, value, 0, error);
}

void trace_start(TraceLine& line, const char* step) {
  wcscpy(line.text, L"[kovran-onefile ");
  trace_add_number(line, GetCurrentProcessId());
  trace_add(line, "] ");
  trace_add(line, step);
}

void trace_add(TraceLine& line, const char* text) {
  append_ascii_truncated(line.text, text, trace_line_capacity);
}

void trace_add(TraceLine& line, const wchar_t* text) {
  append_truncated(line.text, text, trace_line_capacity);
}

void trace_add_number(TraceLine& line, int64_t value) {
  append_decimal(line.text, value, trace_line_capacity);
}

void trace_add_status(TraceLine& line, uint32_t status) {
  if (status <= 0x7FFFFFFF) {
    trace_add_number(line, status);
    return;
  }
  wchar_t hex[11] = L"0x";
  for (int digit = 0; digit < 8; ++digit) {
    hex[2 + digit] = L"0123456789ABCDEF"[(status >> (28 - 4 * digit)) & 0xF];
  }
  hex[10] = 0;
  trace_add(line, hex);
}

void trace_add_error(TraceLine& line, DWORD error) {
  wchar_t* description = nullptr;
  DWORD length = FormatMessageW(message_flags, nullptr, error, english_us,
                                reinterpret_cast<wchar_t*>(&description), 0, nullptr);
  while (description != nullptr && length > 0 &&
         (description[length - 1] == L'\r' || description[length - 1] == L'\n')) {
    description[--length] = 0;
  }
  trace_add(line, " ([Error ");
  trace_add_number(line, static_cast<int32_t>(error));
  trace_add(line, "] ");
  trace_add(line, description != nullptr && length > 0 ? description : L"unknown error");
  trace_add(line, ")");
  if (description != nullptr) LocalFree(description);
}

void trace_end(const Trace& trace, TraceLine& line) {
  if (!tracing(trace)) return;
  size_t length = wcslen(line.text);
  if (length + 2 >= trace_line_capacity) length = trace_line_capacity - 3;
  wcscpy(line.text + length, L"\r\n");
  TraceSink& sink = *trace.sink;
  AcquireSRWLockExclusive(&sink.lock);
  write_text(sink.out, line.text, length + 2, sink.code_page, false);
  ReleaseSRWLockExclusive(&sink.lock);
}

void trace_text(const Trace& trace, const char* step, const wchar_t* text) {
  if (!tracing(trace)) return;
  TraceLine line;
  trace_start(line, step);
  if (text != nullptr) trace_add(line, text);
  trace_end(trace, line);
}

void trace_number(const Trace& trace, const char* step, int64_t value, const char* unit) {
  if (!tracing(trace)) return;
  TraceLine line;
  trace_start(line, step);
  trace_add_number(line, value);
  trace_add(line, unit);
  trace_end(trace, line);
}

void trace_phase(Trace& trace, const char* phase) {
  if (!tracing(trace)) return;
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  int64_t now = counter_now();
  int64_t elapsed_ms = (now - trace.mark) * 1000 / frequency.QuadPart;
  trace.mark = now;
  TraceLine line;
  trace_start(line, "phase ");
  trace_add(line, phase);
  trace_add(line, ": ");
  trace_add_number(line, elapsed_ms);
  trace_add(line, " ms");
  trace_end(trace, line);
}
