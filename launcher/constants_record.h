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

struct ConstantsRecord {
  unsigned char marker[record_marker_size];
  // The attached payload: its first byte relative to the image base, and its length.
  uint32_t payload_rva;
  uint32_t reserved;
  uint64_t payload_length;
  record_char target_spec[record_spec_capacity];
  record_char version_string[record_version_capacity];
};
static_assert(offsetof(ConstantsRecord, payload_length) == 24, "fixed layout");
static_assert(offsetof(ConstantsRecord, target_spec) == 32, "fixed layout");
static_assert(sizeof(ConstantsRecord) == 32 + 2 * (1024 + 24), "fixed layout");
