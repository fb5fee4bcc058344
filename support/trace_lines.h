#pragma once
// Every line KOVRAN_ONEFILE_TRACE tells (support/trace.h), each made here and each doing
// nothing while tracing is off, so that callers call them without a test of their own.
#include <windows.h>

#include <cstdint>

#include "payload/entry_index.h"
#include "support/launch_state.h"

// The first line of a start: when, which launcher, its product, the tool version that made
// it and the system it runs on.
void trace_opening(const Trace& trace, const wchar_t* product);
// The record: its layout, the reuse rule, the options, the days other builds are kept.
void trace_record(const LaunchState& state);
// The target directory and how it was made.
void trace_target(const LaunchState& state);
// A folder that could not be made, and the system's reason; trace may be null.
void trace_folder_failed(const Trace* trace, const wchar_t* folder, DWORD error);
// A build folder of the default layout, and whether its in-use marker is held: error is
// ERROR_SUCCESS when it is, else why not.
void trace_build_folder(const Trace& trace, DWORD marker_error);
// Whether the stamp rule's index of entries is used, and why not.
void trace_index(const Trace& trace, IndexVerdict verdict);
// What the listing of a start under the stamp rule found current, of count files.
void trace_listing(const Trace& trace, int64_t current, int64_t count);
// How long the start waited for another launcher's lock on the target; trace may be null.
void trace_lock_wait(const Trace* trace, int64_t ms, bool abandoned);

// What became of one file. Written and kept files are named only with
// KOVRAN_ONEFILE_TRACE_FILES=1; repaired ones always, up to repaired_named of them in a
// short trace (number: how many this start repaired so far, this one included).
enum class FileFate { kept, written, repaired };
constexpr int64_t repaired_named = 20;
void trace_file(const Trace& trace, FileFate fate, const wchar_t* name, int64_t number);
// "files: K kept, W written, R repaired".
void trace_file_counts(const Trace& trace, int64_t kept, int64_t written, int64_t repaired);

// Another build beside this one (NAME-ID) and what became of it, " removed" or " kept: why".
void trace_other_build(const Trace& trace, const wchar_t* leaf, const char* outcome);
// How many other builds were found, when none was old enough to look at further.
void trace_other_builds(const Trace& trace, int64_t found);
// What an earlier removal left, finished now or not.
void trace_leftover(const Trace& trace, const wchar_t* leaf, bool removed);

// The program as it is started.
void trace_program(const Trace& trace, const wchar_t* path, const wchar_t* command_line);
void trace_program_status(const Trace& trace, uint32_t status);
// How the start ended without running the program: its status and message (null: a cancel).
void trace_failure(const Trace& trace, int status, const wchar_t* text);
