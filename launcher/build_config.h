#pragma once
// The build-time constants as the launcher reads them.
#include <cstdint>

// The attached payload: magic, one zstd frame, zero fill, trailer.
const unsigned char* attached_payload();
// Its whole length in bytes, magic and trailer included.
uint64_t attached_payload_length();
// Where to unpack, with {NAME} placeholders.
const wchar_t* target_spec();
// The packaged application's version, also in the version resource.
const wchar_t* version_string();
// Whether a later start keeps files by their size and the build's stamp (their last-write
// time) instead of by CRC-32; the stamp, a FILETIME.
bool reuses_by_stamp();
uint64_t reuse_stamp();
// The index of the archive's entries (payload/entry_index_layout.h), or nullptr.
const unsigned char* entry_index();
uint32_t entry_index_length();
