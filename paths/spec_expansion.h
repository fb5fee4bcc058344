#pragma once
#include <cstdint>

// What an expansion found besides its text.
struct ExpansionReport {
  // With a failed expansion: whether every placeholder had its value but the whole text,
  // `length` units, does not fit; otherwise a placeholder was unknown or its value could not
  // be had.
  bool too_long;
  uint64_t length;
  // Whether {CACHE_DIR} was taken from KOVRAN_ONEFILE_CACHE_DIR.
  bool cache_dir_moved;
};

// Expands {NAME} placeholders of spec into out (capacity units, terminator included).
// False when a placeholder is unknown, its value cannot be had or the text does not fit;
// out then holds what was produced before the failure. A value must fit whole as the system
// gives it, before backslashes are trimmed or a part is cut from it.
bool expand_target_spec(wchar_t* out, const wchar_t* spec, uint64_t capacity,
                        ExpansionReport* report = nullptr);
