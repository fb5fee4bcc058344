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
// The open handle leads to path itself, not through a link to somewhere else; true where
// the system cannot tell (no GetFinalPathNameByHandleW, which also means no links).
bool handle_has_path(HANDLE handle, const wchar_t* path);
// name (capacity units) receives PATH.~PID-N, a name beside path that no other launcher and
// no earlier call of this one uses; false when it does not fit.
bool name_beside(wchar_t* name, size_t capacity, const wchar_t* path);
// Renames the open file (opened with DELETE access), now at name, over path, replacing
// whatever file or link is there; through the handle where the system can, so that the
// handle goes on naming the file where it now lies. False with the reason in GetLastError.
bool rename_over(HANDLE file, const wchar_t* name, const wchar_t* path);
// Puts an empty file of its own at path in place of whatever file or link is there, by a
// rename that replaces the name itself; false when the system refuses.
bool replace_with_empty_file(const wchar_t* path, size_t capacity);

// The open handle is a file with this one name, path: no link, no folder, no other name
// that would see what is written into it.
bool is_plain_file(HANDLE file, const wchar_t* path);
