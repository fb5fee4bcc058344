#pragma once
// The one record of build-time constants in the launcher stub. The pack tool finds it
// by its marker and fills it in; nothing else in the stub refers to a packaged app.
// The layout is shared with the pack tool, which is built for other platforms too.
#include <cstddef>
#include <cstdint>

#ifdef _WIN32
using record_char = wchar_t;
#else
using record_char = char16_t;
#endif
static_assert(sizeof(record_char) == 2, "UTF-16 units");

constexpr size_t record_marker_size = 16;
// Counts the terminator; the pack tool refuses a longer spec.
constexpr size_t record_spec_capacity = 1024;
// "65535.65535.65535.65535" and its terminator.
constexpr size_t record_version_capacity = 24;

constexpr unsigned char constants_marker[record_marker_size] = {
    'K', 'O', 'V', 'R', 'A', 'N', '-', 'C', 'O', 'N', 'S', 'T', 0x7E, 0x1D, 0xA3, 0x59};

// Launchers made before the reuse fields existed hold 0 in record_layout, and end after
// version_string; those made before the option fields hold 1, and end after stamp.
constexpr uint32_t record_layout_with_reuse = 1;
constexpr uint32_t record_layout_with_options = 2;

// Other builds of the application are never removed.
constexpr uint32_t prune_never = 0xFFFFFFFF;

// How a later start decides that a file already unpacked is current.
enum : uint32_t {
  reuse_by_crc = 0,    // its CRC-32 equals the entry's
  reuse_by_stamp = 1,  // its size is the entry's and its last-write time the build's stamp
};

// Bits of ConstantsRecord::options.
enum : uint32_t {
  option_unpack_progress = 1,  // a long first start shows how far it is
};
constexpr uint32_t known_options = option_unpack_progress;

struct ConstantsRecord {
  unsigned char marker[record_marker_size];
  // The attached payload: its first byte relative to the image base, and its length.
  uint32_t payload_rva;
  uint32_t record_layout;
  uint64_t payload_length;
  record_char target_spec[record_spec_capacity];
  record_char version_string[record_version_capacity];
  uint32_t reuse_rule;
  // The index of the archive's entries (payload/entry_index_layout.h), or 0 and 0.
  uint32_t index_rva;
  uint32_t index_length;
  // The archive's entries, which a start's progress weighs; 0 when not told (launchers made
  // before, a payload block packed without being decoded).
  uint32_t entry_count;
  // The last-write time, a FILETIME, that files written under the stamp rule get.
  uint64_t stamp;
  uint32_t options;
  // Days after their last start that other, unused builds of the application are removed
  // (default target directory only), or prune_never.
  uint32_t prune_after_days;
};
static_assert(offsetof(ConstantsRecord, payload_length) == 24, "fixed layout");
static_assert(offsetof(ConstantsRecord, target_spec) == 32, "fixed layout");
static_assert(offsetof(ConstantsRecord, reuse_rule) == 32 + 2 * (1024 + 24), "fixed layout");
// What records of record_layout 0 hold.
constexpr size_t record_size_before_reuse = offsetof(ConstantsRecord, reuse_rule);
static_assert(offsetof(ConstantsRecord, stamp) == record_size_before_reuse + 16, "fixed layout");
// What records of record_layout 1 hold.
constexpr size_t record_size_before_options = offsetof(ConstantsRecord, options);
static_assert(record_size_before_options == record_size_before_reuse + 24, "fixed layout");
// How many bytes a record of this layout holds.
constexpr size_t constants_record_size(uint32_t layout) {
  return layout == 0   ? record_size_before_reuse
         : layout == 1 ? record_size_before_options
                       : sizeof(ConstantsRecord);
}
static_assert(sizeof(ConstantsRecord) == record_size_before_options + 8, "fixed layout");
