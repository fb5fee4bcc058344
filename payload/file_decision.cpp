#include "payload/file_decision.h"

namespace {

constexpr FileDecision decision(FileAction action, FileReason reason) { return {action, reason}; }

}  // namespace

FileDecision decide_file(ReuseRule rule, uint64_t entry_size, uint32_t stored_checksum,
                         const FoundFile& found) {
  if (found.kind == FoundKind::nothing)
    return decision(FileAction::write, FileReason::nothing_there);
  if (found.kind == FoundKind::not_a_file)
    return decision(FileAction::repair, FileReason::not_a_file);
  if (found.size != entry_size) return decision(FileAction::repair, FileReason::other_size);
  if (rule == ReuseRule::stamp && found.stamped)
    return decision(FileAction::keep, FileReason::stamped);
  if (rule == ReuseRule::stamp && found.recorded)
    return decision(FileAction::keep, FileReason::recorded);
  // An empty file holds an empty entry whatever checksum is stored.
  if (entry_size == 0) return decision(FileAction::keep, FileReason::empty);
  if (!found.checksum_read) return decision(FileAction::read_checksum, FileReason::unread);
  // A file that could not be read whole is written whatever checksum is stored, so that an
  // entry stored with 0 is created rather than skipped.
  if (found.checksum == 0) return decision(FileAction::repair, FileReason::not_a_file);
  if (found.checksum != stored_checksum)
    return decision(FileAction::repair, FileReason::other_checksum);
  return decision(FileAction::keep, FileReason::same_checksum);
}
