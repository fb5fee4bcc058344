#include "support/errors.h"

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
  if (is_console_program()) {
    fprintf(stderr, "%s\n", message);
  } else {
    puts(message);
  }
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
  fprintf(stderr, "%s ([Error %ld] %s)\n", message, static_cast<long>(error_code), description);
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
