#pragma once
// The stamp rule: a file is current when its size is its entry's and its last-write time
// is the build's stamp, a time that this launcher gives only to files it has written whole
// and checked, and that an edit does not produce. A start lists the target's folders first
// (one listing per folder, not an open per file), and decodes nothing when every file is
// current. Any other file is checked by its CRC-32 as under the CRC-32 rule.
//
// The index of the archive's entries is used only when its own checksum matches; then every
// entry the start decodes must be the index's entry at the same position. The stamps a
// start gives are noted, to be taken back when the archive turns out damaged.
#include <windows.h>

#include <cstddef>
#include <cstdint>

struct StampRule {
  bool on;
  FILETIME stamp;
  // The index, once its checksum matched and its counts hold within its length.
  uint32_t entry_count;
  const unsigned char* entries;
  const unsigned char* listing;
  const wchar_t* names;
  // What the folder listing found: one byte per entry, set when its file is current; where
  // each folder's entries start in the listing, the last start being entry_count.
  const wchar_t* target_directory;
  size_t target_length;
  unsigned char* listed_current;
  uint32_t* folder_starts;
  uint32_t folder_count;
  volatile LONG next_folder;
  // The files this start stamped: with the index in use, one byte per entry, set for each
  // (each entry is one thread's); otherwise their names one after another, each with its
  // terminator, under the lock.
  unsigned char* given_entries;
  SRWLOCK given_lock;
  wchar_t* given;
  size_t given_units;
  size_t given_capacity;
};

// Turns the rule on before unpacking into target_directory; index (nullptr: none) lists the
// archive's entries.
void use_stamp_rule(StampRule& rule, const wchar_t* target_directory, uint64_t stamp,
                    const unsigned char* index, uint32_t index_length);

// Lists each folder of the index once. True when every entry's file is current; then
// child_path is the first entry's path. Otherwise remembers which were.
bool every_file_is_stamped(StampRule& rule, wchar_t* child_path);

// Whether the listing found the file of the archive's entry number `entry` (counted from
// 0) current.
bool listed_as_current(const StampRule& rule, uint64_t entry);

// Whether a decoded entry is the one the index holds at its position: true without an index.
bool index_agrees(const StampRule& rule, uint64_t entry, const wchar_t* name, uint64_t size,
                  uint32_t stored_checksum);
// Whether the archive's entry count is the index's: true without an index.
bool index_count_agrees(const StampRule& rule, uint64_t count);

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
// Takes the stamp back from one file at path.
void take_back_stamp(const StampRule& rule, const wchar_t* path);
// Gives every file stamped by this start the current time instead: the archive they came
// from turned out damaged, and no later start may keep them by their stamp.
void take_back_stamps(StampRule& rule);
