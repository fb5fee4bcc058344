#include "payload/stamp_rule.h"

#include <cstdlib>
#include <cwchar>

IndexVerdict use_stamp_rule(StampRule& rule, const wchar_t* target_directory, uint64_t stamp,
                            const unsigned char* index, uint32_t index_length) {
  rule.reuse = ReuseRule::stamp;
  rule.stamp.dwLowDateTime = static_cast<DWORD>(stamp);
  rule.stamp.dwHighDateTime = static_cast<DWORD>(stamp >> 32);
  rule.target_directory = target_directory;
  rule.target_length = wcslen(target_directory);
  IndexVerdict verdict = read_entry_index(rule.index, index, index_length);
  // Without the memory, stamps are noted by name.
  if (verdict == IndexVerdict::used) {
    rule.given_entries = static_cast<unsigned char*>(calloc(rule.index.entry_count, 1));
  }
  return verdict;
}
