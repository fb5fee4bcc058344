#pragma once
#include "paths/known_directories.h"

// Makes the folder that will hold the file at path exist, creating missing folders from
// the highest one down. A folder that cannot be created is not reported here: the file in it
// then cannot be opened, which is. Only the main thread creates folders: the known ones are
// its own.
void create_parent_directories_of(KnownDirectories& known, const wchar_t* path);
void create_directory_chain(KnownDirectories& known, const wchar_t* folder);
// True when the folder exists or was created.
bool ensure_directory(KnownDirectories& known, const wchar_t* folder);
