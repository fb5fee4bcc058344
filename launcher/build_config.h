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
