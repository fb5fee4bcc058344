#pragma once
#include <windows.h>

#include <cstddef>

// Deletes the folder at path with everything below it. Every file and folder is opened
// without following reparse points and deleted through that handle, so that a link, even
// one swapped in meanwhile, is removed itself and never what it points to. What cannot be
// deleted (a file a scanner holds) stays, for a later removal. path is a buffer of
// capacity units, used as scratch; true when nothing is left.
bool remove_tree(wchar_t* path, size_t capacity);
// The same for an entry that a listing of its folder found, with the attributes it gave: the
// entry itself may be a link, which goes as a link or, where the system opens only what a
// folder link leads to, stays.
bool remove_listed_entry(wchar_t* path, size_t capacity, DWORD listed);
