#pragma once
#include <windows.h>

// Clears the read-only attribute of the open file or folder (opened with
// FILE_WRITE_ATTRIBUTES), whose attributes are given, so that it can be deleted; the rest
// of its attributes and its times stay. True when it is not read-only afterwards.
bool clear_read_only(HANDLE entry, DWORD attributes);
