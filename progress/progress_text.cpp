#include "progress/progress_text.h"

#include <cwchar>

#include "support/decimal.h"

namespace {

constexpr uint64_t mebibyte = 1024 * 1024;
constexpr size_t size_capacity = 32;

// Appends piece at text's end, as much of it as fits capacity (terminator counted).
void append_cut(wchar_t* text, size_t capacity, const wchar_t* piece) {
  size_t length = wcslen(text);
  while (*piece != 0 && length + 1 < capacity) text[length++] = *piece++;
  text[length] = 0;
}

void append_number(wchar_t* text, size_t capacity, uint64_t value) {
  wchar_t digits[decimal_capacity];
  decimal_text(digits, static_cast<int64_t>(value));
  append_cut(text, capacity, digits);
}

// "4.5 MB" below ten, "41 MB" from there on.
void format_size(wchar_t (&text)[size_capacity], uint64_t bytes) {
  uint64_t tenths = bytes / (mebibyte / 10);
  text[0] = 0;
  if (tenths < 100) {
    append_number(text, size_capacity, tenths / 10);
    append_cut(text, size_capacity, L".");
    append_number(text, size_capacity, tenths % 10);
  } else {
    append_number(text, size_capacity, bytes / mebibyte);
  }
  append_cut(text, size_capacity, L" MB");
}

}  // namespace

void format_progress_figures(wchar_t* text, size_t capacity, uint64_t done, uint64_t total) {
  // Only a frame that says less than it holds, and is damaged, gets past its total.
  if (total != 0 && done > total) done = total;
  wchar_t done_text[size_capacity];
  format_size(done_text, done);
  text[0] = 0;
  if (total == 0) {
    append_cut(text, capacity, done_text);
    return;
  }
  wchar_t total_text[size_capacity];
  format_size(total_text, total);
  append_number(text, capacity, done * 100 / total);
  append_cut(text, capacity, L" % (");
  append_cut(text, capacity, done_text);
  append_cut(text, capacity, L" of ");
  append_cut(text, capacity, total_text);
  append_cut(text, capacity, L")");
}

void format_progress_line(wchar_t* text, size_t capacity, const wchar_t* name, uint64_t done,
                          uint64_t total, size_t width) {
  wchar_t figures[64];
  format_progress_figures(figures, 64, done, total);
  text[0] = 0;
  append_cut(text, capacity, L"Unpacking ");
  append_cut(text, capacity, name);
  append_cut(text, capacity, L": ");
  append_cut(text, capacity, figures);
  if (width < capacity) text[width] = 0;
}
