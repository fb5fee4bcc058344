// The main thread's side of the window: start it, keep its figures current, hand it a
// failure, take it down once the program runs.
#include <cwchar>

#include "progress/product_name.h"
#include "progress/progress_views.h"
#include "support/message_hook.h"

namespace {

constexpr DWORD input_idle_limit_ms = 5000;
// Taking the window down needs one trip through its thread's queue.
constexpr DWORD window_end_limit_ms = 5000;

// The progress whose window is up, for the message hook; null when there is none.
UnpackProgress* window_up = nullptr;

void post_to_window(UnpackProgress& progress, UINT message) {
  HWND window = progress.window;
  if (window != nullptr) PostMessageW(window, message, 0, 0);
}

void end_window(UnpackProgress& progress, DWORD limit_ms) {
  WaitForSingleObject(progress.thread, limit_ms);
  CloseHandle(progress.thread);
  progress.thread = nullptr;
  progress.shown = false;
  window_up = nullptr;
  before_launcher_message = nullptr;
}

void append_narrow(wchar_t* message, const char* text) {
  if (text == nullptr) return;
  size_t used = wcslen(message);
  int units = MultiByteToWideChar(CP_ACP, 0, text, -1, message + used,
                                  static_cast<int>(progress_message_capacity - used));
  if (units == 0) message[used] = 0;
}

// The window shows the message until the user closes it; only then is it written where
// the launcher's messages go, and the launcher ends.
void show_message_in_window(const char* before, const wchar_t* text, const char* after) {
  UnpackProgress& progress = *window_up;
  wchar_t message[progress_message_capacity] = L"";
  append_narrow(message, before);
  if (text != nullptr) {
    size_t used = wcslen(message);
    wcsncat(message, text, progress_message_capacity - 1 - used);
  }
  append_narrow(message, after);
  size_t units = wcslen(message);
  while (units > 0 && (message[units - 1] == L'\n' || message[units - 1] == L'\r'))
    message[--units] = 0;
  wcscpy(progress.message, message);
  // The window thread looks at the message after it publishes the window; one of the two
  // sides sees the other's write.
  MemoryBarrier();
  post_to_window(progress, progress_failed_message);
  end_window(progress, INFINITE);
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
  window_up = &progress;
  before_launcher_message = show_message_in_window;
}

void dismiss_progress(UnpackProgress& progress, HANDLE child) {
  if (progress.view != ProgressView::window || !progress.shown) return;
  // A window that never came up, or that the user closed already, holds nothing up.
  if (child != nullptr && progress.window != nullptr) WaitForInputIdle(child, input_idle_limit_ms);
  InterlockedExchange(&progress.dismissed, 1);
  post_to_window(progress, progress_done_message);
  end_window(progress, window_end_limit_ms);
}
