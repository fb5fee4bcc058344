// Build-time constants for test programs: an archive with no entries.
#include "support/build_config.h"

namespace {

// "QVJ", a zstd frame holding the single terminator unit, zero fill, trailer.
const unsigned char empty_payload[32] = {
    'Q', 'V', 'J', 0x28, 0xB5, 0x2F, 0xFD, 0x20, 0x02, 0x11, 0x00, 0x00, 0x00, 0x00, 0, 0,
    0,   0,   0,   0,    0,    0,    0,    0,    24,   0,    0,    0,    0,    0,    0, 0};

}  // namespace

bool read_attached_data(AttachedData* data) {
  *data = AttachedData{empty_payload, sizeof empty_payload, nullptr, 0};
  return true;
}
uint32_t record_layout() { return 2; }
const wchar_t* target_spec() { return L"{PROGRAM_DIR}\\.qorvix\\runtime-1.17.4-legacy2008"; }
const wchar_t* version_string() { return L"1.17.4.0"; }
ReuseRule reuse_rule() { return ReuseRule::crc; }
uint64_t reuse_stamp() { return 0; }
uint32_t prune_after_days() { return 0xFFFFFFFF; }
bool shows_unpack_progress() { return false; }
