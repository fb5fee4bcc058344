#pragma once
#include <windows.h>

// Marks an open file or folder (opened with DELETE access) to be deleted when its last
// handle closes; false when the system refuses or has no such call (before Vista, where the
// caller deletes by path instead).
bool delete_on_close(HANDLE file);
