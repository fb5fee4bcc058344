#pragma once
#include <windows.h>

// For an open or read that failed because another process holds the file (a scanner,
// an indexer, another launcher's checksum mapping): waits a little and returns true
// while the file's retry budget (about a second in all) lasts; false for any other error.
bool wait_for_held_file();
// A full budget for the next file.
void renew_held_file_budget();
