#include "support/trace.h"

#include <cwchar>

#include "support/bounded.h"
#include "support/decimal.h"
#include "support/text_output.h"

namespace {

constexpr wchar_t trace_variable[] = L"KOVRAN_ONEFILE_TRACE";
constexpr size_t value_capacity = 4096;

int64_t counter_now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

// Appended to, never through a link: a file that is not a plain one is not written.
HANDLE open_trace_file(const wchar_t* path) {
  HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  BY_HANDLE_FILE_INFORMATION information;
  if (GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &information) &&
      (information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
          0) {
    return file;
  }
  CloseHandle(file);
  return nullptr;
}

bool is_absolute(const wchar_t* path) {
  bool drive = ((path[0] | 0x20) >= L'a' && (path[0] | 0x20) <= L'z') && path[1] == L':';
  return (drive && (path[2] == L'\\' || path[2] == L'/')) ||
         ((path[0] == L'\\' || path[0] == L'/') && (path[1] == L'\\' || path[1] == L'/'));
}

}  // namespace

// "1", any other value but "0" and an absolute path, and a file that cannot be written trace
// to standard error.
void open_trace(Trace& trace) {
  // The length first: unset, nothing is copied.
  if (GetEnvironmentVariableW(trace_variable, nullptr, 0) == 0) return;
  wchar_t value[value_capacity];
  DWORD length = GetEnvironmentVariableW(trace_variable, value, value_capacity);
  if (length == 0 || length >= value_capacity || wcscmp(value, L"0") == 0) return;
  trace.mark = counter_now();
  if (is_absolute(value)) {
    trace.out = open_trace_file(value);
    trace.code_page = CP_UTF8;
    if (trace.out != nullptr) return;
  }
  HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  trace.out = error != INVALID_HANDLE_VALUE ? error : nullptr;
  trace.code_page = message_code_page();
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

void trace_end(const Trace& trace, TraceLine& line) {
  size_t length = wcslen(line.text);
  if (length + 2 >= trace_line_capacity) length = trace_line_capacity - 3;
  wcscpy(line.text + length, L"\r\n");
  write_text(trace.out, line.text, length + 2, trace.code_page, false);
}

void trace_text(const Trace& trace, const char* step, const wchar_t* text) {
  TraceLine line;
  trace_start(line, step);
  if (text != nullptr) trace_add(line, text);
  trace_end(trace, line);
}

void trace_number(const Trace& trace, const char* step, int64_t value, const char* unit) {
  TraceLine line;
  trace_start(line, step);
  trace_add_number(line, value);
  trace_add(line, unit);
  trace_end(trace, line);
}

void trace_phase(Trace& trace, const char* phase) {
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
