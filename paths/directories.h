#pragma once

// Makes the folder that will hold the file at path exist, creating missing folders from
// the highest one down. Only the main thread creates folders: the known ones are its own.
void create_parent_directories_of(const wchar_t* path);
void create_directory_chain(const wchar_t* folder);
// True when the folder exists or was created.
bool ensure_directory(const wchar_t* folder);
