#pragma once
// The stamp rule: a file is current when its size is its entry's and its last-write time
// is the build's stamp, a time that this launcher gives only to files it has written whole
// and checked, and that an edit does not produce. A start lists the target's folders first
// (payload/stamp_listing.h: one listing per folder, not an open per file) and decodes nothing
// when every file is current. Any other file is checked by its CRC-32 as under the CRC-32
// rule. The stamps a start gives are noted, to be taken back when the archive turns out
// damaged (payload/stamps_given.h).
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "payload/entry_index.h"
#include "support/reuse_rule.h"

struct StrayCensus;

// Why the listing found an entry's file current.
constexpr unsigned char listed_by_stamp = 1;
constexpr unsigned char listed_by_record = 2;

struct StampRule {
  // crc until the rule is turned on.
  ReuseRule reuse;
  FILETIME stamp;
  // The index, once its checksum matched and its counts hold within its length.
  EntryIndex index;
  // What the folder listing found: one byte per entry, set when its file is current; where
  // each folder's entries start in the listing, the last start being the entry count.
  const wchar_t* target_directory;
  size_t target_length;
  unsigned char* listed_current;
  // For each entry whose file the listing found without the stamp but of its size, the time
  // it carries; and the time a record (payload/stamp_record.h) says it may carry, or 0. The
  // record is read only when the stamps alone do not keep every file.
  uint64_t* listed_times;
  uint64_t* carried;
  const wchar_t* record_path;  // nullptr: none
  const wchar_t* record_id;
  // Whether a file found current by its CRC-32 gets the stamp too: in a takeover, so that
  // later starts keep it unread.
  bool restamps_kept;
  uint32_t* folder_starts;
  uint32_t folder_count;
  volatile LONG next_folder;
  // A takeover's listing looks at every folder of the build and notes which hold what the
  // build does not (payload/stray_census.h); set to ask for it, the census once made.
  bool counts_strays;
  StrayCensus* census;
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
// archive's entries. Whether the index is in use, and why not.
IndexVerdict use_stamp_rule(StampRule& rule, const wchar_t* target_directory, uint64_t stamp,
                            const unsigned char* index, uint32_t index_length);
