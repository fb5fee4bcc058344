#pragma once
#include <windows.h>

// Writes size bytes at the file's position: ERROR_SUCCESS when all of them were written,
// else the error to report, the system's or, for a write that the system cut short
// without one (a file size limit, a full disk), ERROR_DISK_FULL.
DWORD write_whole(HANDLE file, const void* bytes, DWORD size);

// Deletes an open file that turned out damaged or partly written through its own handle,
// so that no other process's handle can keep it, then closes it; when the system refuses,
// by its path after the close. False when it stays.
bool remove_written_file(HANDLE file, const wchar_t* path, int& waits_left);
