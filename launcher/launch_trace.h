#pragma once
// The steps launcher_main takes, as KOVRAN_ONEFILE_TRACE tells them (support/trace.h). Each
// is called only while tracing.
#include "payload/entry_index.h"
#include "support/launch_state.h"

// The record: its layout, the reuse rule, the options, the days other builds are kept.
void trace_record(const LaunchState& state);
// The target directory and how it was made.
void trace_target(const LaunchState& state);
// A build folder of the default layout, and whether its in-use marker is held.
void trace_build_folder(const LaunchState& state, bool marker_held);
// Whether the stamp rule's index of entries is used, and why not.
void trace_index(const LaunchState& state, IndexVerdict verdict);
// How the start ended without running the program: its status and message (null: a cancel).
void trace_failure(const LaunchState& state, int status, const wchar_t* text);
