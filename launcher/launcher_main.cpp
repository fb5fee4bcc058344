#include "launcher/launcher_main.h"

#include <cwchar>

#include "builds/build_folder.h"
#include "builds/in_use_marker.h"
#include "builds/prune.h"
#include "child/console_handler.h"
#include "child/run_child.h"
#include "launcher/build_takeover.h"
#include "launcher/hand_off.h"
#include "paths/cache_dir.h"
#include "paths/executable_path.h"
#include "paths/known_directories.h"
#include "paths/target_directory.h"
#include "payload/stamp_rule.h"
#include "payload/unpack.h"
#include "progress/product_name.h"
#include "progress/progress_line.h"
#include "progress/progress_step.h"
#include "progress/progress_window_control.h"
#include "support/abnormal_end.h"
#include "support/build_config.h"
#include "support/constants_record.h"
#include "support/failure.h"
#include "support/failure_advice.h"
#include "support/failure_report.h"
#include "support/failure_text.h"
#include "support/launch_state.h"
#include "support/own_image.h"
#include "support/trace_lines.h"

namespace {

// Everything one start holds, made at the top of launcher_main and handed down in parts.
struct Launch {
  LaunchState state;
  KnownDirectories directories;
  BuildFolder build;
  bool own_build;
  BuildRecords records;
  Unpack unpack;
};

// The product name is read from the version resource only when it is traced.
void trace_opening_line(const Trace& trace) {
  if (!tracing(trace)) return;
  wchar_t product[progress_name_capacity];
  read_product_name(product, progress_name_capacity);
  trace_opening(trace, product);
}

void read_record(LaunchState& state) {
  state.record_layout = record_layout();
  state.target_template = target_spec();
  state.reuse = reuse_rule();
  state.stamp = reuse_stamp();
  state.prune_after_days = prune_after_days();
  state.shows_progress = shows_unpack_progress();
  state.console_launcher = is_console_launcher();
  trace_record(state);
}

// Up to the unpack: where the launcher is, where it unpacks, its console guard, and the
// build's in-use marker.
Failure prepare_launch(Launch& launch) {
  LaunchState& state = launch.state;
  Failure failure = read_launcher_path(state.launcher_path);
  if (!failed(failure)) failure = check_cache_dir_override();
  if (!failed(failure)) failure = resolve_target_directory(state);
  if (!failed(failure)) trace_target(state);
  if (!failed(failure)) failure = register_console_handler(launch.unpack.progress);
  if (failed(failure)) return failure;
  launch.own_build =
      recognize_build_folder(&launch.build, state.target_template, state.target_directory);
  if (launch.own_build) {
    DWORD marker_error =
        hold_in_use_marker(launch.directories, state.target_directory, state.launcher_path);
    trace_build_folder(state.trace, marker_error);
  }
  return no_failure;
}

Failure unpack_attached_data(Launch& launch) {
  const LaunchState& state = launch.state;
  AttachedData data;
  if (!read_attached_data(&data)) return catalogued_failure(FailureKind::damaged);
  Unpack& unpack = launch.unpack;
  prepare_unpack(unpack, data.payload, data.payload_length, launch.state, launch.directories);
  if (state.shows_progress) want_progress(unpack.progress, state.console_launcher);
  unpack.progress.files_total = archive_entry_count();
  if (state.reuse == ReuseRule::stamp) {
    IndexVerdict verdict = use_stamp_rule(unpack.stamp, state.target_directory, state.stamp,
                                          data.index, data.index_length);
    trace_index(state.trace, verdict);
  }
  if (launch.own_build) prepare_build_folder(launch.build, state, unpack, launch.records);
  return unpack_payload(unpack);
}

// The program's output starts on a clean line; a progress window stays until the program
// takes input. Other builds are removed beside the running program, never before it.
Failure launch_child(Launch& launch, int* status) {
  LaunchState& state = launch.state;
  clear_progress_line(launch.unpack.progress);
  HANDLE child = nullptr;
  Failure failure = start_child(state, &child);
  if (failed(failure)) return failure;
  trace_phase(state.trace, "program start");
  HANDLE pruner = nullptr;
  if (launch.own_build && state.prune_after_days != prune_never) {
    pruner = start_pruning(launch.build, state);
  }
  dismiss_progress(launch.unpack.progress, child);
  *status = wait_for_child(child);
  trace_program_status(state.trace, static_cast<uint32_t>(*status));
  trace_phase(state.trace, "program run");
  finish_pruning(pruner);
  return no_failure;
}

Failure run_launch(Launch& launch, const wchar_t* argv0, int* status) {
  Trace& trace = launch.state.trace;
  open_trace(trace);
  trace_opening_line(trace);
  launch.directories.trace = &trace;
  read_record(launch.state);
  prepare_environment();
  Failure failure = prepare_launch(launch);
  trace_phase(trace, "preparation");
  if (failed(failure)) return failure;
  failure = unpack_attached_data(launch);
  trace_phase(trace, "unpack");
  if (failed(failure)) return failure;
  publish_launcher_identity(launch.state.launcher_path, argv0);
  return launch_child(launch, status);
}

// The one report of a failure: the console line goes first; a progress window that is up
// shows it until the user closes it, and so does a window of its own for a GUI launcher whose
// streams lead nowhere, each with what to do about it; then the exact message is written
// where the launcher's words go. A cancel says nothing.
int report(Launch& launch, const Failure& failure) {
  const LaunchState& state = launch.state;
  if (failure.before == nullptr) {
    trace_failure(state.trace, failure.status, nullptr);
    return failure.status;
  }
  UnpackProgress& progress = launch.unpack.progress;
  clear_progress_line(progress);
  wchar_t text[failure_text_capacity];
  compose_failure(failure, text, failure_text_capacity);
  trace_failure(state.trace, failure.status, text);
  size_t message_length = wcslen(text);
  append_advice(failure, state, text, failure_text_capacity);
  if (!show_failure_in_progress_window(progress, text) && !state.console_launcher &&
      streams_lead_nowhere()) {
    show_failure_window(text);
  }
  text[message_length] = 0;
  write_failure(failure, text, state.console_launcher);
  return failure.status;
}

}  // namespace

int WINAPI launcher_main(HINSTANCE, HINSTANCE, LPWSTR, int) {
  silence_abnormal_end();
  Launch launch = {};
  int status = 0;
  Failure failure = run_launch(launch, __wargv[0], &status);
  if (failed(failure)) status = report(launch, failure);
  forget_progress_line();
  return status;
}
