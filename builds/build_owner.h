#pragma once
// Whose an other build is, by the launcher path its marker holds.
#include "builds/survey.h"

// this_launcher when the marker names launcher_path (letter case aside); gone when it names a
// path where no file exists any more on a volume that is there; other for any other
// launcher; unknown when the marker cannot be read or names no full path.
Owner read_owner(const wchar_t* marker_path, const wchar_t* launcher_path);
// The same through a marker open for reading, from its start.
Owner read_owner(HANDLE marker, const wchar_t* launcher_path);

// Where the volume of the full path begins to hold folders: "X:\", "\\server\share\" (also
// after "\\?\" and "\\?\UNC\"); its length, 0 for any other text.
size_t volume_root_length(const wchar_t* path);
