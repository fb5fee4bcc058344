#pragma once
// What the pack tool decides about the launcher's reuse rule (support/constants_record.h).
#include <cstdint>
#include <string>

#include "pack/archive/content_id.h"

namespace pack {

// How a later start keeps files, as the summary, list and info say it: "crc, files read
// for their CRC-32" or "stamp, files kept by size and last-write time <the stamp>".
std::string reuse_description(uint32_t rule, uint64_t stamp);

// A build under the stamp rule is another build than the same payload under the CRC-32
// rule, with its own default folder: files kept there by their CRC-32 never get the
// stamp, so that a shared folder would cost a stamp build a full check on every start.
void add_reuse_rule(ContentId& id, uint32_t rule);

// The last-write time that a launcher under the stamp rule gives the files it writes: a
// FILETIME in even seconds (file systems with 2-second times keep it exactly) from
// 1981 to 1998, which no edit gives a file today and files of other builds are unlikely
// to share, drawn from the payload's content id so that the same input gives the same
// launcher.
uint64_t reuse_stamp(const ContentId& id);
// Whether a value is one that reuse_stamp gives.
bool is_reuse_stamp(uint64_t filetime);
// "1987-06-05 04:03:02 UTC".
std::string filetime_text(uint64_t filetime);

}  // namespace pack
