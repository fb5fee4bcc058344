#pragma once
// Values of the spec placeholders that the system supplies. Each appends at end, the
// output's current terminator, with room units left (terminator included), and
// returns false when the value cannot be had whole; end then still holds a terminator.
#include <cstddef>
#include <cstdint>

bool append_temp(wchar_t* end, uint64_t room);
bool append_program(wchar_t* end, uint64_t room);
bool append_program_base(wchar_t* end, uint64_t room);
bool append_program_dir(wchar_t* end, uint64_t room);
void append_pid(wchar_t* end, uint64_t room);
bool append_profile_folder(wchar_t* end, uint64_t room);
bool append_local_app_data(wchar_t* end, uint64_t room);
void append_version(wchar_t* end, uint64_t room);

// Removes backslashes from the end of out[0..length), never before its start; returns
// the new length.
size_t drop_trailing_backslashes(wchar_t* out, size_t length);
