#pragma once
// The two views of progress/progress.h, as progress_step drives them.
#include "progress/progress.h"

// Console: shows or redraws the line; the first time, only when standard error is a
// console, and otherwise turns the view off.
void show_progress_line(UnpackProgress& progress);

// Window: starts the window's thread the first time, then tells the window of the figures.
void show_progress_window(UnpackProgress& progress);

// The window's thread: makes the window and runs it until it is closed or dismissed.
DWORD WINAPI run_progress_window(void* progress);

// Messages the main thread posts to the window.
constexpr UINT progress_update_message = WM_APP;
constexpr UINT progress_failed_message = WM_APP + 1;
constexpr UINT progress_done_message = WM_APP + 2;
