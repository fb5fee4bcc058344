#include "progress/progress_window.h"

#include <cwchar>

#include "progress/progress_text.h"

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
// Two lines of the heading above the bar.
constexpr RECT heading_frame = {text_left, 12, text_left + text_width, 44};
constexpr size_t heading_capacity = progress_name_capacity + 16;
constexpr int button_width = 88;
constexpr int button_height = 26;
// A failure's window grows to hold its message, up to this.
constexpr int failure_height_limit = 480;
enum : int { heading_id = 1, figures_id = 2, close_id = 3 };

UnpackProgress& progress_of(HWND window) {
  return *reinterpret_cast<UnpackProgress*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

bool failed(const UnpackProgress& progress) { return progress.message != nullptr; }

HFONT window_font() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

HWND add_control(HWND window, const wchar_t* kind, DWORD style, int id, const RECT& place,
                 const wchar_t* text) {
  HWND control =
      CreateWindowExW(0, kind, text, WS_CHILD | WS_VISIBLE | style, place.left, place.top,
                      place.right - place.left, place.bottom - place.top, window,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(window_font()), FALSE);
  return control;
}

HWND add_text(HWND window, int id, const RECT& place) {
  return add_control(window, L"STATIC", SS_NOPREFIX | SS_EDITCONTROL, id, place, L"");
}

// The height text takes in a label text_width wide, its lines broken as the label breaks
// them.
int text_height(HWND window, const wchar_t* text) {
  HDC dc = GetDC(window);
  HGDIOBJ previous = SelectObject(dc, window_font());
  RECT rect = {0, 0, text_width, 0};
  DrawTextW(dc, text, -1, &rect, DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX);
  SelectObject(dc, previous);
  ReleaseDC(window, dc);
  return rect.bottom;
}

// The window's client area made height high, its position kept.
void set_client_height(HWND window, int height) {
  RECT frame = {0, 0, client_width, height};
  AdjustWindowRect(&frame, window_style, FALSE);
  SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER);
}

// "Unpacking NAME" or "Starting NAME" in two lines at most: a name too long loses its end to
// an ellipsis rather than a line cut through.
void show_heading(HWND window, const wchar_t* doing) {
  const wchar_t* name = progress_of(window).name;
  int limit = heading_frame.bottom - heading_frame.top;
  wchar_t heading[heading_capacity];
  for (size_t kept = wcslen(name);; --kept) {
    wcscpy(heading, doing);
    size_t length = wcslen(heading);
    wmemcpy(heading + length, name, kept);
    heading[length + kept] = 0;
    if (name[kept] != 0) wcscat(heading, L"\x2026");
    if (kept == 0 || text_height(window, heading) <= limit) break;
  }
  SetDlgItemTextW(window, heading_id, heading);
}

void show_figures(HWND window) {
  UnpackProgress& progress = progress_of(window);
  wchar_t figures[64];
  format_progress_figures(figures, 64, static_cast<uint64_t>(progress.done), progress.total,
                          progress_permille(progress));
  SetDlgItemTextW(window, figures_id, figures);
  InvalidateRect(window, &bar_frame, FALSE);
}

// The launcher's message in place of the bar and the figures, and a Close button, the
// window grown to hold the message, until the user closes it.
void show_failure(HWND window) {
  // The main thread's message may find the failure shown already.
  if (GetDlgItem(window, close_id) != nullptr) return;
  const wchar_t* message = progress_of(window).message;
  ShowWindow(GetDlgItem(window, figures_id), SW_HIDE);
  int text_bottom = margin + text_height(window, message);
  int height = text_bottom + 2 * margin + button_height;
  if (height < client_height) height = client_height;
  if (height > failure_height_limit) height = failure_height_limit;
  set_client_height(window, height);
  int button_top = height - margin - button_height;
  HWND heading = GetDlgItem(window, heading_id);
  MoveWindow(heading, text_left, margin, text_width, button_top - 2 * margin, TRUE);
  SetWindowTextW(heading, message);
  RECT place = {client_width - margin - button_width, button_top, client_width - margin,
                button_top + button_height};
  SetFocus(
      add_control(window, L"BUTTON", WS_TABSTOP | BS_DEFPUSHBUTTON, close_id, place, L"Close"));
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
    LONG width = bar.right - bar.left;
    RECT filled = bar;
    filled.right = bar.left + static_cast<LONG>(width * progress_permille(progress) / 1000);
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
    case progress_starting_message:
      show_heading(window, L"Starting ");
      show_figures(window);
      return 0;
    case progress_failed_message:
      show_failure(window);
      return 0;
    case progress_done_message:
      DestroyWindow(window);
      return 0;
    case WM_COMMAND:
      if (LOWORD(w) == close_id) close(window);
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
  // The class stays registered after an earlier window of this process.
  if (RegisterClassExW(&window_class) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    return nullptr;
  }
  RECT frame = {0, 0, client_width, client_height};
  AdjustWindowRect(&frame, window_style, FALSE);
  int width = frame.right - frame.left;
  int height = frame.bottom - frame.top;
  HWND window = CreateWindowExW(0, class_name, progress.name, window_style,
                                (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                                (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height,
                                nullptr, nullptr, instance, &progress);
  if (window == nullptr) return nullptr;
  add_text(window, heading_id, heading_frame);
  show_heading(window, L"Unpacking ");
  add_text(window, figures_id, {text_left, 72, text_left + text_width, 92});
  show_figures(window);
  return window;
}

}  // namespace

DWORD WINAPI run_progress_window(void* context) {
  UnpackProgress& progress = *static_cast<UnpackProgress*>(context);
  HWND window = create_window(progress);
  // Without a desktop to show it on, the start goes on without a window.
  if (window == nullptr) return 0;
  InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&progress.window), window);
  // What the main thread asked for before it could see the window; a failure is shown
  // from the window's first sight.
  if (progress.dismissed) {
    DestroyWindow(window);
  } else {
    if (failed(progress)) show_failure(window);
    ShowWindow(window, SW_SHOWNORMAL);
  }
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
