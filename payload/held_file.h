#pragma once
#include <windows.h>

// A file's retry budget: about a second of waits in all.
constexpr int held_file_retries = 20;

// For an open or read that failed because another process holds the file (a scanner,
// an indexer, another launcher's checksum mapping): waits a little and returns true
// while the file's budget lasts; false for any other error.
bool wait_for_held_file(int& waits_left);

// Opens path to be written whole, as a new file: whatever was there is replaced, never
// written through (payload/file_replacement.h), and GetLastError then says
// ERROR_ALREADY_EXISTS. Waits while another process holds it. Readers,
// checksums of other launchers included, may open the file meanwhile, but no second
// writer, whose data would interleave with ours. The handle may delete the file, so that
// what turns out damaged goes through it, whoever else has the file open for reading.
HANDLE open_for_writing(const wchar_t* path, int& waits_left);
// Creates path for writing when no file is there, with the same access and sharing.
HANDLE create_new_for_writing(const wchar_t* path);
// Deletes path, waiting while another process holds it; false when it stays.
bool delete_file_waiting(const wchar_t* path, int& waits_left);
