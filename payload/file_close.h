#pragma once
#include <windows.h>

// Closes a file this start wrote: ERROR_SUCCESS, or the error of a close that failed (on
// some file systems a write fails only there). In a file of its own, so that tests can
// make it fail.
DWORD close_written_file(HANDLE file);
