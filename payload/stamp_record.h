#pragma once
// What a start under the stamp rule left stamped, beside the build folder as NAME-ID.files:
// each file's name, size, CRC-32 and the time it carries, with the build's ID and a checksum
// of its own. A start that decoded and confirmed the whole archive writes it. A later start of
// the build, or a start that takes the build's folder over (builds/takeover.h), keeps a file
// that still carries the size and time recorded for its name, when the CRC-32 recorded is its
// entry's, without reading it: a file kept so keeps its time, and the record then names it
// again. Only times this launcher gives are recorded, which an edit does not produce. A record
// that does not hold together or is another build's is not used: its files are read.
//
//   header   magic (u32), build ID (12 UTF-16 units), entry count (u32), name units (u32),
//            4 bytes of 0
//   entries  count x {size u64, time u64, CRC-32 u32, where the name starts u32}
//   names    the name units, each name followed by a 0 unit
//   trailer  CRC-32 of everything before it (u32)
#include <cstddef>
#include <cstdint>

#include "payload/stamp_rule.h"

constexpr wchar_t stamp_record_suffix[] = L".files";
constexpr size_t build_id_units = 12;

// Reads the record at path, when it holds together and is of the build with id, into the
// rule's carried times: for each indexed entry, the time its file may carry instead of the
// stamp, or 0. False when it is not used.
bool use_stamp_record(StampRule& rule, const wchar_t* path, const wchar_t* id);
// Writes the record of what this start stamped and kept at path, in place of any: the rule's
// entries written or found stamped carry the stamp; those kept by the record their recorded
// time; files kept by their CRC-32 are left out.
void write_stamp_record(const StampRule& rule, const wchar_t* path, const wchar_t* id);
