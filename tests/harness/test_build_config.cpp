// Build-time constants for test programs: an archive with no entries.
#include "launcher/build_config.h"

extern "C" {
// "QVJ", a zstd frame holding the single terminator unit, zero fill, trailer.
const unsigned char kovran_attached_payload[32] = {
    'Q', 'V', 'J', 0x28, 0xB5, 0x2F, 0xFD, 0x20, 0x02, 0x11, 0x00, 0x00, 0x00, 0x00, 0, 0,
    0,   0,   0,   0,    0,    0,    0,    0,    24,   0,    0,    0,    0,    0,    0, 0};
const uint64_t kovran_attached_payload_length = sizeof kovran_attached_payload;
const wchar_t kovran_target_spec[] = L"{PROGRAM_DIR}\\.qorvix\\runtime-1.17.4-legacy2008";
const wchar_t kovran_version_string[] = L"1.17.4.0";
}
