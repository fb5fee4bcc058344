#pragma once
// The build-time constants as the launcher reads them.
#include <cstdint>

#include "support/reuse_rule.h"

// The attached payload (magic, one zstd frame, zero fill, trailer; its length counts all of
// them) and the index of the archive's entries (payload/entry_index_layout.h), nullptr and
// 0 when there is none.
struct AttachedData {
  const unsigned char* payload;
  uint64_t payload_length;
  const unsigned char* index;
  uint32_t index_length;
};

// False when an address or length of the record reaches outside the sections of the
// image: a damaged launcher, whose data is not to be read.
bool read_attached_data(AttachedData* data);
// Which fields the record holds (support/constants_record.h).
uint32_t record_layout();
// Where to unpack, with {NAME} placeholders.
const wchar_t* target_spec();
// The packaged application's version, also in the version resource.
const wchar_t* version_string();
// Whether a later start keeps files by their size and the build's stamp (their last-write
// time) instead of by CRC-32; the stamp, a FILETIME.
ReuseRule reuse_rule();
uint64_t reuse_stamp();
// Days after their last start that other builds are removed, or prune_never
// (support/constants_record.h).
uint32_t prune_after_days();
// The archive's entries, for the progress; 0 when the pack tool did not count them.
uint32_t archive_entry_count();
// Whether a long first start shows how far it is (progress/unpack_progress.h).
bool shows_unpack_progress();
