#include "support/trace.h"

#include <cstdarg>
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
  if (too_long) {
    trace_format(trace,
                 "trace: KOVRAN_ONEFILE_TRACE is too long (%d units, at most %d); tracing on "
                 "standard error",
                 static_cast<int64_t>(length - 1), static_cast<int64_t>(value_capacity - 1));
  }
  if (to_file)
    trace_format(trace, "trace: cannot append to %w%e; tracing on standard error", value, error);
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
  if (!tracing(trace)) return;
  size_t length = wcslen(line.text);
  if (length + 2 >= trace_line_capacity) length = trace_line_capacity - 3;
  wcscpy(line.text + length, L"\r\n");
  TraceSink& sink = *trace.sink;
  AcquireSRWLockExclusive(&sink.lock);
  write_text(sink.out, line.text, length + 2, sink.code_page, false);
  ReleaseSRWLockExclusive(&sink.lock);
}

namespace {

// "0x" and eight hex digits.
void add_hex(TraceLine& line, uint32_t value) {
  wchar_t hex[11] = {L'0', L'x'};
  for (int digit = 0; digit < 8; ++digit) {
    unsigned nibble = (value >> (28 - 4 * digit)) & 0xF;
    hex[2 + digit] = static_cast<wchar_t>(nibble < 10 ? L'0' + nibble : L'A' + nibble - 10);
  }
  trace_add(line, hex);
}

void add_error(TraceLine& line, DWORD error) {
  wchar_t* description = nullptr;
  DWORD length = FormatMessageW(message_flags, nullptr, error, english_us,
                                reinterpret_cast<wchar_t*>(&description), 0, nullptr);
  while (length > 0 && (description[length - 1] == L'\r' || description[length - 1] == L'\n'))
    description[--length] = 0;
  trace_add(line, " ([Error ");
  trace_add_number(line, static_cast<int32_t>(error));
  trace_add(line, "]");
  if (length > 0) {
    trace_add(line, " ");
    trace_add(line, description);
  }
  trace_add(line, ")");
  if (description != nullptr) LocalFree(description);
}

}  // namespace

void trace_format(const Trace& trace, const char* format, ...) {
  if (!tracing(trace)) return;
  va_list arguments;
  va_start(arguments, format);
  TraceLine line;
  trace_start(line, "");
  char text[2] = {0, 0};
  for (const char* at = format; *at != 0; ++at) {
    if (*at != '%') {
      text[0] = *at;
      trace_add(line, text);
      continue;
    }
    switch (*++at) {
      case 's':
        trace_add(line, va_arg(arguments, const char*));
        break;
      case 'w': {
        const wchar_t* wide = va_arg(arguments, const wchar_t*);
        if (wide != nullptr) trace_add(line, wide);
        break;
      }
      case 'd':
        trace_add_number(line, va_arg(arguments, int64_t));
        break;
      case '2': {
        wchar_t digits[decimal_capacity];
        decimal_text(digits, va_arg(arguments, int64_t), 2);
        trace_add(line, digits);
        break;
      }
      case 'x': {
        uint32_t status = va_arg(arguments, uint32_t);
        if (status > 0x7FFFFFFF) {
          add_hex(line, status);
        } else {
          trace_add_number(line, status);
        }
        break;
      }
      case 'e':
        add_error(line, va_arg(arguments, DWORD));
        break;
      default:
        --at;
    }
  }
  va_end(arguments);
  trace_end(trace, line);
}

void trace_text(const Trace& trace, const char* step, const wchar_t* text) {
  trace_format(trace, "%s%w", step, text);
}

void trace_number(const Trace& trace, const char* step, int64_t value, const char* unit) {
  trace_format(trace, "%s%d%s", step, value, unit);
}

void trace_phase(Trace& trace, const char* phase) {
  if (!tracing(trace)) return;
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  int64_t now = counter_now();
  int64_t elapsed_ms = (now - trace.mark) * 1000 / frequency.QuadPart;
  trace.mark = now;
  trace_format(trace, "phase %s: %d ms", phase, elapsed_ms);
}
