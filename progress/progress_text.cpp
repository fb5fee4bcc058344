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

uint32_t work_done_permille(uint64_t done, uint64_t total, uint64_t files_done,
                            uint64_t files_total) {
  if (total == 0) return 0;
  if (done > total) done = total;
  if (files_total == 0) return static_cast<uint32_t>(done * 1000 / total);
  if (files_done > files_total) files_done = files_total;
  // In units of 64 bytes, so that even 2^32 files of the heaviest archive stay in range.
  uint64_t work = total / 64 + files_total * (file_weight_bytes / 64);
  uint64_t work_done = done / 64 + files_done * (file_weight_bytes / 64);
  uint32_t permille = static_cast<uint32_t>(work_done * 1000 / work);
  bool finished = done == total && files_done == files_total;
  return finished ? 1000 : permille < 1000 ? permille : 999;
}

uint32_t progress_permille(const UnpackProgress& progress) {
  return work_done_permille(static_cast<uint64_t>(progress.done), progress.total,
                            static_cast<uint64_t>(progress.files_done), progress.files_total);
}

void format_progress_figures(wchar_t* text, size_t capacity, uint64_t done, uint64_t total,
                             uint32_t permille) {
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
  append_decimal(text, static_cast<int64_t>(permille / 10), capacity);
  append_truncated(text, L" % (", capacity);
  append_truncated(text, done_text, capacity);
  append_truncated(text, L" of ", capacity);
  append_truncated(text, total_text, capacity);
  append_truncated(text, L")", capacity);
}

void format_progress_line(wchar_t* text, size_t capacity, const wchar_t* name, uint64_t done,
                          uint64_t total, uint32_t permille, size_t width) {
  wchar_t figures[64];
  format_progress_figures(figures, 64, done, total, permille);
  text[0] = 0;
  append_truncated(text, L"Unpacking ", capacity);
  append_truncated(text, name, capacity);
  append_truncated(text, L": ", capacity);
  append_truncated(text, figures, capacity);
  if (width < capacity) text[width] = 0;
}
