#pragma once
#include <windows.h>

// An existing file below the target is never written through: a symbolic link at its name
// would send the bytes to what it points at, and a hard link to the file's other names. A
// new file is made beside it and renamed over the name, which replaces the link or that one
// name and leaves whatever else shared the old file as it was.
//
// Returns the new file, open for writing as open_for_writing's handles are and already
// under path's name, or INVALID_HANDLE_VALUE with the reason in GetLastError. Waits while
// another process holds the old file. A plain file that a reader keeps open, which the
// system will not let go of its name, is written in place once it shows itself as one file
// with one name.
HANDLE replace_with_new_file(const wchar_t* path, int& waits_left);
