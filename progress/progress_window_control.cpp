#include "progress/progress_window_control.h"

#include "progress/product_name.h"
#include "progress/progress_window.h"

namespace {

constexpr DWORD input_idle_limit_ms = 5000;
// Taking the window down needs one trip through its thread's queue.
constexpr DWORD window_end_limit_ms = 5000;

void post_to_window(UnpackProgress& progress, UINT message) {
  HWND window = progress.window;
  if (window != nullptr) PostMessageW(window, message, 0, 0);
}

void end_window(UnpackProgress& progress, DWORD limit_ms) {
  WaitForSingleObject(progress.thread, limit_ms);
  CloseHandle(progress.thread);
  progress.thread = nullptr;
  progress.shown = false;
}

}  // namespace

void show_progress_window(UnpackProgress& progress) {
  if (progress.shown) {
    post_to_window(progress, progress_update_message);
    return;
  }
  read_product_name(progress.name, progress_name_capacity);
  progress.thread = CreateThread(nullptr, 0, run_progress_window, &progress, 0, nullptr);
  if (progress.thread == nullptr) {
    progress.view = ProgressView::none;
    return;
  }
  progress.shown = true;
}

void show_progress_done(UnpackProgress& progress, uint64_t done) {
  if (progress.view != ProgressView::window || !progress.shown) return;
  // A frame that did not tell its size has one now.
  if (progress.total == 0) progress.total = done;
  InterlockedExchange64(&progress.done, static_cast<LONG64>(done));
  InterlockedExchange64(&progress.files_done, static_cast<LONG64>(progress.files_total));
  post_to_window(progress, progress_starting_message);
}

void dismiss_progress(UnpackProgress& progress, HANDLE child) {
  if (progress.view != ProgressView::window || !progress.shown) return;
  // A window that never came up, or that the user closed already, holds nothing up.
  if (child != nullptr && progress.window != nullptr) WaitForInputIdle(child, input_idle_limit_ms);
  InterlockedExchange(&progress.dismissed, 1);
  post_to_window(progress, progress_done_message);
  end_window(progress, window_end_limit_ms);
}

// The window thread looks at the message after it publishes the window; one of the two
// sides sees the other's write. Only then is the message written where the launcher's
// messages go, and the launcher ends.
bool show_failure_in_progress_window(UnpackProgress& progress, const wchar_t* message) {
  if (progress.view != ProgressView::window || !progress.shown) return false;
  progress.message = message;
  MemoryBarrier();
  post_to_window(progress, progress_failed_message);
  end_window(progress, INFINITE);
  return true;
}

void show_failure_window(const wchar_t* message) {
  UnpackProgress window = {};
  read_product_name(window.name, progress_name_capacity);
  window.message = message;
  run_progress_window(&window);
}
