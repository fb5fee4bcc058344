#pragma once
// Values of the template's placeholders that the system or the environment supplies. Each
// writes its value, whole as it comes, into value (placeholder_value_capacity units) and
// returns false when it cannot be had.
#include <cstddef>

// The longest value an environment variable or a system path can have, and its terminator.
constexpr size_t placeholder_value_capacity = 32768;

bool temp_value(wchar_t* value);
// The launcher's module file name: {PROGRAM}, and the text that {PROGRAM_BASE} and
// {PROGRAM_DIR} are cut from.
bool program_value(wchar_t* value);
void pid_value(wchar_t* value);
bool profile_folder_value(wchar_t* value);
bool local_app_data_value(wchar_t* value);
void version_value(wchar_t* value);

// Units of a module file name that {PROGRAM_BASE} keeps (without ".exe") and that
// {PROGRAM_DIR} keeps (up to its last backslash).
size_t program_base_length(const wchar_t* program);
size_t program_dir_length(const wchar_t* program);

// Removes backslashes from the end of out[0..length), never before its start; returns
// the new length.
size_t drop_trailing_backslashes(wchar_t* out, size_t length);
