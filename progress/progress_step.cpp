#include "progress/progress_step.h"

#include "progress/progress_line.h"
#include "progress/progress_window_control.h"

namespace {

// A start done within this time after it began to write shows nothing.
constexpr uint64_t quiet_start_ms = 1000;
// A few updates a second: a moving figure, at no measurable cost.
constexpr uint64_t update_interval_ms = 250;

}  // namespace

void want_progress(UnpackProgress& progress, bool console_launcher) {
  progress.view = console_launcher ? ProgressView::console : ProgressView::window;
}

bool progress_step(UnpackProgress& progress, uint64_t done, uint64_t files_done) {
  uint64_t now = GetTickCount64();
  if (progress.next_step == 0) {
    progress.next_step = now + quiet_start_ms;
    return true;
  }
  if (progress.cancelled) return false;
  if (now < progress.next_step) return true;
  progress.next_step = now + update_interval_ms;
  InterlockedExchange64(&progress.done, static_cast<LONG64>(done));
  InterlockedExchange64(&progress.files_done, static_cast<LONG64>(files_done));
  if (progress.view == ProgressView::console) {
    show_progress_line(progress);
  } else {
    show_progress_window(progress);
  }
  return true;
}
