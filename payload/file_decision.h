#pragma once
// The one decision made for each archive entry: given what lies at its path, as far as it
// has been looked at, the file is current, to be written where nothing is, or to be
// repaired; or it must be read for its CRC-32 first. Nothing here touches the disk: the
// callers look (payload/file_checksum.h, payload/stamp_listing.h) and ask.
#include <cstdint>

#include "support/reuse_rule.h"

enum class FileAction { keep, write, repair, read_checksum };

enum class FileReason {
  stamped,         // its size and the build's stamp
  recorded,        // its size and the time a record gives it, whose CRC-32 is the entry's
  same_checksum,   // its CRC-32 is the entry's
  empty,           // an empty entry and an empty file
  nothing_there,   // no file at the path
  not_a_file,      // a folder, a link or a file that cannot be read
  other_size,      // its size differs: no byte needs reading
  other_checksum,  // its CRC-32 differs, or the entry stores none
  unread,          // of the entry's size, not read yet
};

struct FileDecision {
  FileAction action;
  FileReason reason;
};

enum class FoundKind { nothing, file, not_a_file };

// What lies at an entry's path.
struct FoundFile {
  FoundKind kind;
  uint64_t size;
  // Its last-write time is the build's stamp; it is the time a record of the stamps given
  // (payload/stamp_record.h) names for a file of the entry's size and CRC-32.
  bool stamped;
  bool recorded;
  // Whether its CRC-32 was read, and what it is: 0 when it could not be read whole, 1 in
  // place of a real 0.
  bool checksum_read;
  uint32_t checksum;
};

FileDecision decide_file(ReuseRule rule, uint64_t entry_size, uint32_t stored_checksum,
                         const FoundFile& found);

inline bool is_kept(const FileDecision& decision) { return decision.action == FileAction::keep; }
