#pragma once
#include <windows.h>

// Links found below the target directory, where only the launcher's own folders and files
// belong. A link is removed as a link, never through it.

// The reason given when a link stands in the way and the system only hands back what it
// points at, so that the link cannot be removed without touching that.
constexpr DWORD link_in_the_way_error = ERROR_CANT_ACCESS_FILE;

// path names a symbolic link or junction to a folder (a reparse point that is a folder).
bool is_folder_link(const wchar_t* path);
// Deletes the link at path itself; false, with the reason in GetLastError, when the system
// opens what it points at instead (as Wine does), which is then left alone.
bool remove_folder_link(const wchar_t* path);
// name (capacity units) receives PATH.~N, a name beside path that no other launcher and
// no earlier call of this one uses; false when it does not fit.
bool name_beside(wchar_t* name, size_t capacity, const wchar_t* path);
// Renames the open file (opened with DELETE access) over path, replacing
// whatever file or link is there, through the handle, so that the handle goes on naming the
// file where it now lies. False with the reason in GetLastError, and on systems before
// Vista, which cannot rename through a handle (and have no symbolic links).
bool rename_over(HANDLE file, const wchar_t* path);
// Puts an empty file of its own at path in place of whatever file or link is there, by a
// rename that replaces the name itself; false when the system refuses.
bool replace_with_empty_file(const wchar_t* path, size_t capacity);

// The open handle is a file with this one name, path: no link, no folder, no other name
// that would see what is written into it. Where the system cannot tell links by the
// handle (Wine), the handle's final path must be path.
bool is_plain_file(HANDLE file, const wchar_t* path);
