#pragma once
#include "paths/known_directories.h"

// Makes the folder that will hold the file at path exist, creating missing folders from
// the highest one down. Below the target directory (known.contained) a link in a folder's
// place is removed, the link itself, and a folder made. False when a folder could not be
// made, with the first failing folder's own reason in GetLastError: nothing may then be
// written into it. Only the main thread creates folders: the known ones are its own.
bool create_parent_directories_of(KnownDirectories& known, const wchar_t* path);
// True when the folder exists or was created.
bool ensure_directory(KnownDirectories& known, const wchar_t* folder);
