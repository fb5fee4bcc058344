#pragma once
#include <cstddef>

// Shortens the directory part of path (capacity units) to its short form where the system
// has one; the file name stays as it is, and so does a path without a short form or whose
// short form does not fit.
void to_short_path(wchar_t* path, size_t capacity);
