#pragma once
// The stamp rule: a file is current when its size is its entry's and its last-write time
// is the build's stamp, a time that this launcher gives only to files it has written whole
// and checked, and that an edit does not produce. A start lists the target's folders first
// (one listing per folder, not an open per file), and decodes nothing when every file is
// current. Any other file is checked by its CRC-32 as under the CRC-32 rule.
#include <windows.h>

#include <cstdint>

// Turns the rule on before unpacking; index (nullptr: none, or one that does not hold
// together) lists the archive's entries.
void use_stamp_rule(uint64_t stamp, const unsigned char* index, uint32_t index_length);

// Lists each folder of the index once. True when every entry's file is current; then
// child_executable_path is set as unpacking sets it. Otherwise remembers which were.
bool every_file_is_stamped();

// Whether the listing found the file of the archive's entry number `entry` (counted from
// 0) current, when the index names that entry with this name and size.
bool listed_as_current(uint64_t entry, const wchar_t* name, uint64_t size);

// Gives a file whose data is written whole and checked the stamp, before it is closed.
void stamp_written_file(HANDLE file);
