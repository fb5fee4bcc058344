#pragma once
// The stamps a start gives, noted so that they can be taken back: a stamp is trusted only as
// far as the archive that gave it.
#include <windows.h>

#include <cstdint>

#include "payload/stamp_rule.h"

// Gives a file whose data is written whole and checked the stamp, before it is closed, and
// notes it: the archive's entry number `entry`, named name (relative to the target).
// ERROR_SUCCESS, or the error of a stamp not set. Without memory to note it, the file is left
// without the stamp.
DWORD stamp_written_file(StampRule& rule, HANDLE file, uint64_t entry, const wchar_t* name);
// Stamps a file written whole and checked (stamp_written_file) and closes it; a close that
// fails may have lost data behind the stamp, which is taken back from the file at path.
// ERROR_SUCCESS, or the error of the stamp or the close.
DWORD close_stamped_file(StampRule& rule, HANDLE file, uint64_t entry, const wchar_t* name,
                         const wchar_t* path);
// Notes a stamp given to a file kept by its CRC-32 (payload/file_checksum.h: Restamp), the
// file at path.
void note_restamped(StampRule& rule, uint64_t entry, const wchar_t* name, const wchar_t* path);
// Takes the stamp back from one file at path.
void take_back_stamp(const StampRule& rule, const wchar_t* path);
// Gives every file stamped by this start the current time instead: the archive they came
// from turned out damaged, and no later start may keep them by their stamp.
void take_back_stamps(StampRule& rule);
