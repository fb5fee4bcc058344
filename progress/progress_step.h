#pragma once
// How the unpack drives what a long first start shows (progress/unpack_progress.h).
#include <cstdint>

#include "progress/unpack_progress.h"

// Chooses the view for a build that asks for progress. A console launcher's is settled when
// it would first show, by whether its standard error is a console.
void want_progress(UnpackProgress& progress, bool console_launcher);

// From the unpack, once this start writes: after each entry and each window of a file,
// with the archive's bytes and files passed so far. Shows or updates the view when it is
// time; false once the user cancelled.
bool progress_step(UnpackProgress& progress, uint64_t done, uint64_t files_done);
