#include "progress/progress_text.h"

#include <cwchar>

#include "support/bounded.h"
#include "support/decimal.h"

namespace {

constexpr uint64_t mebibyte = 1024 * 1024;
constexpr size_t size_capacity = 32;

// "4.5 MB" below ten, "41 MB" from there on.
void format_size(wchar_t (&text)[size_capacity], uint64_t bytes) {
  uint64_t tenths = bytes / (mebibyte / 10);
  text[0] = 0;
  if (tenths < 100) {
    append_decimal(text, static_cast<int64_t>(tenths / 10), size_capacity);
    append_truncated(text, L".", size_capacity);
    append_decimal(text, static_cast<int64_t>(tenths % 10), size_capacity);
  } else {
    append_decimal(text, static_cast<int64_t>(bytes / mebibyte), size_capacity);
  }
  append_truncated(text, L" MB", size_capacity);
}

}  // namespace

void format_progress_figures(wchar_t* text, size_t capacity, uint64_t done, uint64_t total) {
  // Only a frame that says less than it holds, and is damaged, gets past its total.
  if (total != 0 && done > total) done = total;
  wchar_t done_text[size_capacity];
  format_size(done_text, done);
  text[0] = 0;
  if (total == 0) {
    append_truncated(text, done_text, capacity);
    return;
  }
  wchar_t total_text[size_capacity];
  format_size(total_text, total);
  append_decimal(text, static_cast<int64_t>(done * 100 / total), capacity);
  append_truncated(text, L" % (", capacity);
  append_truncated(text, done_text, capacity);
  append_truncated(text, L" of ", capacity);
  append_truncated(text, total_text, capacity);
  append_truncated(text, L")", capacity);
}

void format_progress_line(wchar_t* text, size_t capacity, const wchar_t* name, uint64_t done,
                          uint64_t total, size_t width) {
  wchar_t figures[64];
  format_progress_figures(figures, 64, done, total);
  text[0] = 0;
  append_truncated(text, L"Unpacking ", capacity);
  append_truncated(text, name, capacity);
  append_truncated(text, L": ", capacity);
  append_truncated(text, figures, capacity);
  if (width < capacity) text[width] = 0;
}
