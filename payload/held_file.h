#pragma once
#include <windows.h>

// A file's retry budget: about a second of waits in all.
constexpr int held_file_retries = 20;

// For an open or read that failed because another process holds the file (a scanner,
// an indexer, another launcher's checksum mapping): waits a little and returns true
// while the budget lasts; false for any other error. waits_left nullptr is the main
// thread's budget for its current file; a file handled on another thread has its own.
bool wait_for_held_file(int* waits_left = nullptr);
// A full budget for the main thread's next file.
void renew_held_file_budget();

// Opens path to be written whole, waiting while another process holds it. Readers,
// checksums of other launchers included, may open the file meanwhile, but no second
// writer, whose data would interleave with ours.
HANDLE open_for_writing(const wchar_t* path, int* waits_left = nullptr);
// Deletes path, waiting while another process holds it; false when it stays.
bool delete_file_waiting(const wchar_t* path, int* waits_left = nullptr);
