#pragma once
// The main thread's side of the progress window: start it, keep its figures current, hand it
// a failure, take it down once the program runs.
#include "progress/unpack_progress.h"

// Starts the window's thread the first time, then tells the window of the figures.
void show_progress_window(UnpackProgress& progress);

// Once the unpack has ended well, done being the archive's size: the window shows all of it
// and that the program starts, until it goes.
void show_progress_done(UnpackProgress& progress, uint64_t done);

// Once the program runs: the window goes as soon as the program waits for input, at most
// 5 seconds after its start.
void dismiss_progress(UnpackProgress& progress, HANDLE child);

// When the window is up: shows message there (it lives until this returns) until the user
// closes the window, and returns true. False when no window is up.
bool show_failure_in_progress_window(UnpackProgress& progress, const wchar_t* message);

// A GUI launcher's failure when its streams lead nowhere: the progress window's look with the
// product name, the icon, message and a Close button, on the calling thread, until the user
// closes it.
void show_failure_window(const wchar_t* message);
