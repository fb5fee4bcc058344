#include "progress/progress_window.h"

#include <cwchar>

#include "progress/progress_text.h"
#include "support/bounded.h"

namespace {

constexpr wchar_t class_name[] = L"KovranOnefileProgress";
constexpr DWORD window_style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr int client_width = 420;
constexpr int client_height = 112;
constexpr int margin = 16;
constexpr int icon_size = 32;
constexpr int text_left = margin + icon_size + margin;
constexpr int text_width = client_width - text_left - margin;
constexpr RECT bar_frame = {text_left, 48, client_width - margin, 64};
enum : int { heading_id = 1, figures_id = 2 };

UnpackProgress& progress_of(HWND window) {
  return *reinterpret_cast<UnpackProgress*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

bool failed(const UnpackProgress& progress) { return progress.message != nullptr; }

HWND add_text(HWND window, int id, int top, const wchar_t* text) {
  HWND label = CreateWindowExW(0, L"STATIC", text, WS_CHILD | WS_VISIBLE | SS_NOPREFIX, text_left,
                               top, text_width, 20, window,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
               FALSE);
  return label;
}

void show_figures(HWND window) {
  UnpackProgress& progress = progress_of(window);
  wchar_t figures[64];
  format_progress_figures(figures, 64, static_cast<uint64_t>(progress.done), progress.total);
  SetDlgItemTextW(window, figures_id, figures);
  InvalidateRect(window, &bar_frame, FALSE);
}

// The launcher's message in place of the bar and the figures, until the user closes it.
void show_failure(HWND window) {
  ShowWindow(GetDlgItem(window, figures_id), SW_HIDE);
  HWND heading = GetDlgItem(window, heading_id);
  MoveWindow(heading, text_left, margin, text_width, client_height - 2 * margin, TRUE);
  SetWindowTextW(heading, progress_of(window).message);
  InvalidateRect(window, nullptr, TRUE);
}

void paint(HWND window) {
  const UnpackProgress& progress = progress_of(window);
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
  if (icon != nullptr)
    DrawIconEx(dc, margin, margin, icon, icon_size, icon_size, 0, nullptr, DI_NORMAL);
  if (!failed(progress)) {
    RECT bar = bar_frame;
    FrameRect(dc, &bar, GetSysColorBrush(COLOR_BTNSHADOW));
    InflateRect(&bar, -1, -1);
    uint64_t done = static_cast<uint64_t>(progress.done);
    uint64_t total = progress.total;
    LONG width = bar.right - bar.left;
    RECT filled = bar;
    if (total > 0)
      filled.right = bar.left + static_cast<LONG>((done < total ? done : total) * width / total);
    else
      filled.right = bar.left;
    FillRect(dc, &filled, GetSysColorBrush(COLOR_HIGHLIGHT));
    bar.left = filled.right;
    FillRect(dc, &bar, GetSysColorBrush(COLOR_WINDOW));
  }
  EndPaint(window, &paint);
}

// Closed before the unpack ended, the window cancels the start; with a message shown, it
// only lets the launcher end.
void close(HWND window) {
  UnpackProgress& progress = progress_of(window);
  if (!failed(progress)) InterlockedExchange(&progress.cancelled, 1);
  DestroyWindow(window);
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_NCCREATE:
      SetWindowLongPtrW(
          window, GWLP_USERDATA,
          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams));
      break;
    case WM_PAINT:
      paint(window);
      return 0;
    case progress_update_message:
      show_figures(window);
      return 0;
    case progress_failed_message:
      show_failure(window);
      return 0;
    case progress_done_message:
      DestroyWindow(window);
      return 0;
    case WM_CLOSE:
      close(window);
      return 0;
    case WM_DESTROY:
      InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&progress_of(window).window),
                                 nullptr);
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, w, l);
}

HWND create_window(UnpackProgress& progress) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW window_class = {};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = window_procedure;
  window_class.hInstance = instance;
  window_class.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = class_name;
  if (RegisterClassExW(&window_class) == 0) return nullptr;
  RECT frame = {0, 0, client_width, client_height};
  AdjustWindowRect(&frame, window_style, FALSE);
  int width = frame.right - frame.left;
  int height = frame.bottom - frame.top;
  HWND window = CreateWindowExW(0, class_name, progress.name, window_style,
                                (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                                (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height,
                                nullptr, nullptr, instance, &progress);
  if (window == nullptr) return nullptr;
  wchar_t heading[progress_name_capacity + 16] = L"Unpacking ";
  append_truncated(heading, progress.name, progress_name_capacity + 16);
  add_text(window, heading_id, margin, heading);
  add_text(window, figures_id, 72, L"");
  show_figures(window);
  ShowWindow(window, SW_SHOWNORMAL);
  return window;
}

}  // namespace

DWORD WINAPI run_progress_window(void* context) {
  UnpackProgress& progress = *static_cast<UnpackProgress*>(context);
  HWND window = create_window(progress);
  // Without a desktop to show it on, the start goes on without a window.
  if (window == nullptr) return 0;
  InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&progress.window), window);
  // What the main thread asked for before it could see the window.
  if (progress.dismissed)
    DestroyWindow(window);
  else if (failed(progress))
    show_failure(window);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
