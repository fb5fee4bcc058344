#include "progress/progress_text.h"

#include <cwchar>

namespace {

constexpr uint64_t mebibyte = 1024 * 1024;
constexpr size_t size_capacity = 32;

void format_size(wchar_t (&text)[size_capacity], uint64_t bytes) {
  uint64_t tenths = bytes / (mebibyte / 10);
  if (tenths < 100) {
    swprintf(text, size_capacity, L"%u.%u MB", static_cast<unsigned>(tenths / 10),
             static_cast<unsigned>(tenths % 10));
  } else {
    swprintf(text, size_capacity, L"%llu MB", static_cast<unsigned long long>(bytes / mebibyte));
  }
}

}  // namespace

void format_progress_figures(wchar_t* text, size_t capacity, uint64_t done, uint64_t total) {
  // Only a frame that says less than it holds, and is damaged, gets past its total.
  if (total != 0 && done > total) done = total;
  wchar_t done_text[size_capacity];
  format_size(done_text, done);
  if (total == 0) {
    swprintf(text, capacity, L"%ls", done_text);
    return;
  }
  wchar_t total_text[size_capacity];
  format_size(total_text, total);
  swprintf(text, capacity, L"%u %% (%ls of %ls)", static_cast<unsigned>(done * 100 / total),
           done_text, total_text);
}

void format_progress_line(wchar_t* text, size_t capacity, const wchar_t* name, uint64_t done,
                          uint64_t total, size_t width) {
  wchar_t figures[64];
  format_progress_figures(figures, 64, done, total);
  swprintf(text, capacity, L"Unpacking %ls: %ls", name, figures);
  if (width < capacity) text[width] = 0;
}
