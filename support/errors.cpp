#include "support/errors.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/bounded.h"
#include "support/build_config.h"
#include "support/decimal.h"
#include "support/message_hook.h"

namespace {

constexpr DWORD message_flags =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
constexpr DWORD english_us = 0x409;

}  // namespace

// A console program's standard output may be the user's data (`tool -so > out.bin`).
void fatal_error(const char* message) {
  announce_launcher_message(message, nullptr, nullptr);
  FILE* stream = is_console_launcher() ? stderr : stdout;
  fputs(message, stream);
  fputc('\n', stream);
  exit(2);
}

void report_os_error(const char* message, unsigned long error_code) {
  char* text = nullptr;
  DWORD length = FormatMessageA(message_flags, nullptr, error_code, english_us,
                                reinterpret_cast<char*>(&text), 0, nullptr);
  const char* description = "unknown error";
  if (length != 0 && text != nullptr) {
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n')) {
      text[--length] = 0;
    }
    description = text;
  }
  // The code in signed decimal, as a 32-bit long prints: one with its top bit set is negative.
  char number[decimal_capacity];
  decimal_text(number, static_cast<int32_t>(error_code));
  // A progress window shows the report cut to its buffer; the stream gets it whole.
  char detail[512] = " ([Error ";
  append_truncated_narrow(detail, number, sizeof detail);
  append_truncated_narrow(detail, "] ", sizeof detail);
  append_truncated_narrow(detail, description, sizeof detail);
  append_truncated_narrow(detail, ")", sizeof detail);
  announce_launcher_message(message, nullptr, detail);
  // The system text is left to the process's end, which follows at once.
  fputs(message, stderr);
  fputs(" ([Error ", stderr);
  fputs(number, stderr);
  fputs("] ", stderr);
  fputs(description, stderr);
  fputs(")\n", stderr);
}

void fatal_os_error(const char* message, unsigned long error_code) {
  report_os_error(message, error_code);
  exit(2);
}

void fatal_open_error(const wchar_t* path) {
  write_error_with_text("Error, failed to open '", path, "' for writing.\n");
  exit(2);
}

void fatal_spec_error(const wchar_t* spec) {
  write_error_with_text("Error, couldn't runtime expand spec '", spec, "'.\n");
  abort();
}
