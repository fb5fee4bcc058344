#include "support/text_output.h"

namespace {

constexpr size_t piece_units = 512;
// Up to four bytes per unit in a multibyte code page, and the line end.
constexpr int piece_bytes = piece_units * 4 + 2;

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

void write_converted(HANDLE out, const wchar_t* text, size_t left, UINT code_page, bool line_end) {
  char narrow[piece_bytes];
  DWORD written = 0;
  do {
    size_t count = left < piece_units ? left : piece_units;
    if (count < left && IS_HIGH_SURROGATE(text[count - 1])) --count;
    int length = count > 0 ? to_code_page(code_page, text, static_cast<int>(count), narrow) : 0;
    text += count;
    left -= count;
    if (left == 0 && line_end) {
      narrow[length++] = '\r';
      narrow[length++] = '\n';
    }
    WriteFile(out, narrow, static_cast<DWORD>(length), &written, nullptr);
  } while (left > 0);
}

}  // namespace

UINT message_code_page() {
  UINT code_page = GetConsoleOutputCP();
  return code_page != 0 ? code_page : GetACP();
}

bool is_console(HANDLE out) {
  DWORD mode = 0;
  return GetConsoleMode(out, &mode) != FALSE;
}

void write_text(HANDLE out, const wchar_t* text, size_t length, UINT code_page, bool line_end) {
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
  if (!is_console(out)) {
    write_converted(out, text, length, code_page, line_end);
    return;
  }
  DWORD written = 0;
  for (size_t at = 0; at < length; at += piece_units) {
    size_t count = length - at < piece_units ? length - at : piece_units;
    WriteConsoleW(out, text + at, static_cast<DWORD>(count), &written, nullptr);
  }
  if (line_end) WriteConsoleW(out, L"\r\n", 2, &written, nullptr);
}
