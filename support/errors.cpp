#include "support/errors.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "support/message_hook.h"

namespace {

constexpr DWORD message_flags =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
constexpr DWORD english_us = 0x409;

}  // namespace

void fatal_error(const char* message) {
  announce_launcher_message(message, nullptr, nullptr);
  puts(message);
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
  char detail[512];
  snprintf(detail, sizeof detail, " ([Error %ld] %s)", static_cast<long>(error_code), description);
  announce_launcher_message(message, nullptr, detail);
  // The system text is left to the process's end, which follows at once.
  fprintf(stderr, "%s%s\n", message, detail);
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
