#pragma once
#include <windows.h>

// For an open or read that failed because another process holds the file (a scanner,
// an indexer, another launcher's checksum mapping): waits a little and returns true
// while the file's retry budget (about a second in all) lasts; false for any other error.
bool wait_for_held_file();
// The same over a budget of its own, for a file written on another thread.
bool wait_for_held_file(int* waits_left);
int held_file_budget_left();
// A full budget for the next file.
void renew_held_file_budget();
