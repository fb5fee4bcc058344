#include "progress/progress_line.h"

#include <cwchar>

#include "progress/product_name.h"
#include "progress/progress_text.h"

namespace {

constexpr size_t line_capacity = 256;

HANDLE error_output() { return GetStdHandle(STD_ERROR_HANDLE); }

// Never to the console's last column, where the line would wrap and "\r" would return to
// the start of its second row only.
size_t line_width() {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(error_output(), &info) || info.dwSize.X < 2) return 79;
  size_t width = static_cast<size_t>(info.dwSize.X) - 1;
  return width < line_capacity - 1 ? width : line_capacity - 1;
}

// "\r", then text padded with spaces over what the line showed before.
void write_over_line(UnpackProgress& progress, const wchar_t* text) {
  wchar_t line[line_capacity + 2] = L"\r";
  size_t units = wcslen(text);
  wcscpy(line + 1, text);
  for (size_t i = units; i < progress.line_units; ++i) line[1 + i] = L' ';
  size_t written_units = 1 + (units > progress.line_units ? units : progress.line_units);
  DWORD written = 0;
  WriteConsoleW(error_output(), line, static_cast<DWORD>(written_units), &written, nullptr);
  progress.line_units = static_cast<DWORD>(units);
}

void erase_line(UnpackProgress& progress) {
  write_over_line(progress, L"");
  DWORD written = 0;
  WriteConsoleW(error_output(), L"\r", 1, &written, nullptr);
  progress.shown = false;
}

}  // namespace

void show_progress_line(UnpackProgress& progress) {
  if (!progress.shown) {
    DWORD mode = 0;
    if (!GetConsoleMode(error_output(), &mode)) {
      progress.view = ProgressView::none;
      return;
    }
    read_product_name(progress.name, progress_name_capacity);
  }
  wchar_t text[line_capacity];
  format_progress_line(text, line_capacity, progress.name, static_cast<uint64_t>(progress.done),
                       progress.total, progress_permille(progress), line_width());
  AcquireSRWLockExclusive(&progress.line_lock);
  if (!progress.line_ended) {
    progress.shown = true;
    write_over_line(progress, text);
  }
  ReleaseSRWLockExclusive(&progress.line_lock);
}

void clear_progress_line(UnpackProgress& progress) {
  if (progress.view != ProgressView::console) return;
  AcquireSRWLockExclusive(&progress.line_lock);
  if (progress.shown) erase_line(progress);
  progress.line_ended = true;
  ReleaseSRWLockExclusive(&progress.line_lock);
}
