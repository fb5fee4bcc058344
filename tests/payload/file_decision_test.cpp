// The one decision made for each entry: what lies at its path against the entry, under
// either reuse rule.
#include "payload/file_decision.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t stored = 0x1234abcd;

struct Case {
  const char* what;
  ReuseRule rule;
  uint64_t entry_size;
  uint32_t stored_checksum;
  FoundFile found;
  FileAction action;
  FileReason reason;
};

constexpr FoundFile nothing = {FoundKind::nothing, 0, false, false, false, 0};
constexpr FoundFile folder = {FoundKind::not_a_file, 0, false, false, false, 0};
constexpr FoundFile stamped(uint64_t size) {
  return {FoundKind::file, size, true, false, false, 0};
}
constexpr FoundFile recorded(uint64_t size) {
  return {FoundKind::file, size, false, true, false, 0};
}
constexpr FoundFile unread(uint64_t size) {
  return {FoundKind::file, size, false, false, false, 0};
}
constexpr FoundFile read(uint64_t size, uint32_t crc) {
  return {FoundKind::file, size, false, false, true, crc};
}

TEST(FileDecision, KeepsOnlyWhatIsKnownToHoldTheEntry) {
  const Case cases[] = {
      {"nothing there", ReuseRule::stamp, 10, stored, nothing, FileAction::write,
       FileReason::nothing_there},
      {"a folder in its place", ReuseRule::crc, 10, stored, folder, FileAction::repair,
       FileReason::not_a_file},
      {"stamped, its size and stamp", ReuseRule::stamp, 10, stored, stamped(10), FileAction::keep,
       FileReason::stamped},
      {"stamped but another size", ReuseRule::stamp, 10, stored, stamped(11), FileAction::repair,
       FileReason::other_size},
      {"the time its record gives", ReuseRule::stamp, 10, stored, recorded(10), FileAction::keep,
       FileReason::recorded},
      {"recorded but another size", ReuseRule::stamp, 10, stored, recorded(12), FileAction::repair,
       FileReason::other_size},
      {"a record means nothing under crc", ReuseRule::crc, 10, stored, recorded(10),
       FileAction::read_checksum, FileReason::unread},
      {"the stamp means nothing under crc", ReuseRule::crc, 10, stored, stamped(10),
       FileAction::read_checksum, FileReason::unread},
      {"another size is never read", ReuseRule::crc, 10, stored, unread(9), FileAction::repair,
       FileReason::other_size},
      {"its size, not read yet", ReuseRule::stamp, 10, stored, unread(10),
       FileAction::read_checksum, FileReason::unread},
      {"its CRC-32", ReuseRule::crc, 10, stored, read(10, stored), FileAction::keep,
       FileReason::same_checksum},
      {"changed without a change of size", ReuseRule::stamp, 10, stored, read(10, stored + 1),
       FileAction::repair, FileReason::other_checksum},
      {"unreadable, and the entry stores none", ReuseRule::crc, 10, 0, read(10, 0),
       FileAction::repair, FileReason::not_a_file},
      {"the entry stores none", ReuseRule::crc, 10, 0, read(10, stored), FileAction::repair,
       FileReason::other_checksum},
      {"empty entry, empty file", ReuseRule::crc, 0, 0, unread(0), FileAction::keep,
       FileReason::empty},
      {"data whose CRC-32 is 0", ReuseRule::crc, 10, 1, read(10, 1), FileAction::keep,
       FileReason::same_checksum},
  };
  for (const Case& c : cases) {
    FileDecision decision = decide_file(c.rule, c.entry_size, c.stored_checksum, c.found);
    EXPECT_EQ(decision.action, c.action) << c.what;
    EXPECT_EQ(decision.reason, c.reason) << c.what;
  }
}

}  // namespace
