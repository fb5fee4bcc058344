#pragma once
// The window view: a window of the launcher's own on a thread of its own.
#include "progress/unpack_progress.h"

// The window's thread: makes the window and runs it until it is closed or dismissed.
DWORD WINAPI run_progress_window(void* progress);

// Messages the main thread posts to the window.
constexpr UINT progress_update_message = WM_APP;
constexpr UINT progress_failed_message = WM_APP + 1;
constexpr UINT progress_done_message = WM_APP + 2;
constexpr UINT progress_starting_message = WM_APP + 3;
