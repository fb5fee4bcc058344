#pragma once
#include <cstdint>

// Expands {NAME} placeholders of spec into out (capacity units, terminator included).
// False when a placeholder is unknown or its value cannot be had; out then holds
// what was produced before the failure.
bool expand_target_spec(wchar_t* out, const wchar_t* spec, uint64_t capacity);
