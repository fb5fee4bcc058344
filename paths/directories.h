#pragma once

// Makes the folder that will hold current_file_path exist, creating missing folders
// from the highest one down.
void create_parent_directories();
void create_parent_directories_of(const wchar_t* path);
void create_directory_chain(const wchar_t* folder);
// path = the target directory, a backslash and name (an entry's name); a path over the
// capacity ends the start with the path message.
void build_target_file_path(wchar_t* path, const wchar_t* name);
// True when the folder exists or was created.
bool ensure_directory(const wchar_t* folder);
