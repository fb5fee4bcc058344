#include "support/errors.h"
#include "support/decimal.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

// The image's first byte, placed by the linker.
extern "C" const unsigned char __ImageBase[];

namespace {

constexpr DWORD message_flags =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
constexpr DWORD english_us = 0x409;

// The pack tool gives each launcher its program's subsystem in the image's header.
bool is_console_program() {
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(__ImageBase);
  const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(__ImageBase + dos->e_lfanew);
  return headers->OptionalHeader.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_CUI;
}

}  // namespace

// A console program's standard output may be the user's data (`tool -so > out.bin`).
void fatal_error(const char* message) {
  FILE* stream = is_console_program() ? stderr : stdout;
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
  // The system text is left to the process's end, which follows at once.
  // The code in signed decimal, as a 32-bit long prints: one with its top bit set is negative.
  char number[decimal_capacity];
  decimal_text(number, static_cast<int32_t>(error_code));
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
