#pragma once
// Constants that the pack tool compiles into each launcher (see pack/stub_sources).
// The names are unmangled so that generated assembly can define them.
#include <cstdint>

extern "C" {
// The attached payload: magic, one zstd frame, zero fill, trailer.
extern const unsigned char kovran_attached_payload[];
// Its whole length in bytes, magic and trailer included.
extern const uint64_t kovran_attached_payload_length;
// Where to unpack, with {NAME} placeholders.
extern const wchar_t kovran_target_spec[];
// The packaged application's version, also in the version resource.
extern const wchar_t kovran_version_string[];
}
