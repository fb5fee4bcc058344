#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "support/errors.h"
#include "support/message_hook.h"

namespace {

constexpr size_t piece_units = 512;
// Up to four bytes per unit in a multibyte code page.
constexpr int piece_bytes = piece_units * 4;

// Characters the code page cannot hold become its default character ('?') rather than
// a look-alike; code pages that take no flags (UTF-8 among them) are asked again without.
int to_code_page(UINT code_page, const wchar_t* text, int count, char* narrow) {
  int length = WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, text, count, narrow,
                                   piece_bytes, nullptr, nullptr);
  if (length == 0) {
    length = WideCharToMultiByte(code_page, 0, text, count, narrow, piece_bytes, nullptr, nullptr);
  }
  return length;
}

// In pieces that never part a surrogate pair, so that a long path is written whole.
void write_converted(const wchar_t* text) {
  UINT code_page = GetConsoleOutputCP();
  if (code_page == 0) code_page = GetACP();
  char narrow[piece_bytes];
  size_t left = wcslen(text);
  while (left > 0) {
    size_t count = left < piece_units ? left : piece_units;
    if (count < left && IS_HIGH_SURROGATE(text[count - 1])) --count;
    int length = to_code_page(code_page, text, static_cast<int>(count), narrow);
    fwrite(narrow, 1, static_cast<size_t>(length), stderr);
    text += count;
    left -= count;
  }
}

}  // namespace

void write_error_with_text(const char* before, const wchar_t* text, const char* after) {
  HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  announce_launcher_message(before, text, after);
  fputs(before, stderr);
  if (GetConsoleMode(handle, &mode)) {
    // A console shows every character as it is.
    fflush(stderr);
    DWORD written = 0;
    WriteConsoleW(handle, text, static_cast<DWORD>(wcslen(text)), &written, nullptr);
  } else {
    write_converted(text);
  }
  fputs(after, stderr);
  fflush(stderr);
}
