#pragma once
// The console view: one line on standard error, rewritten in place.
#include "progress/unpack_progress.h"

// Shows or redraws the line; the first time, only when standard error is a console, and
// otherwise turns the view off.
void show_progress_line(UnpackProgress& progress);

// Before the program starts, before any message of the launcher's and when a console event
// ends the launcher (from the event's thread): the line goes for good, so that what follows
// starts on a clean line.
void clear_progress_line(UnpackProgress& progress);
