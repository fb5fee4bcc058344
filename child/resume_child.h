#pragma once
#include <windows.h>

// Lets the suspended child's first thread run: ERROR_SUCCESS, or the system's error. In a
// file of its own, so that tests can make it fail.
DWORD resume_child(HANDLE thread);
