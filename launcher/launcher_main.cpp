#include "launcher/launcher_main.h"

#include <cstdlib>

#include "builds/build_folder.h"
#include "builds/in_use_marker.h"
#include "builds/prune.h"
#include "child/run_child.h"
#include "paths/cache_dir.h"
#include "paths/executable_path.h"
#include "paths/spec_expansion.h"
#include "payload/unpack.h"
#include "support/build_config.h"
#include "support/constants_record.h"
#include "support/environment.h"
#include "support/errors.h"
#include "support/launch_state.h"

namespace {

// This start's unpack. Its threads are gone once it has ended; the process keeps it, zero
// at start, to its end.
Unpack unpack;
// Other builds of the application removed beside the child; the thread reads it to the end.
Pruning pruning;

// A relative folder would put builds wherever the launcher happens to be started from.
void refuse_relative_cache_dir() {
  wchar_t* relative = relative_cache_dir_override();
  if (relative == nullptr) return;
  write_error_with_text("Error, KOVRAN_ONEFILE_CACHE_DIR must be an absolute path, not '", relative,
                        "'.\n");
  exit(2);
}

// A failed expansion is reported before the partial text is made absolute, which would end
// the run without a word when that text is empty.
void resolve_target_directory() {
  if (!expand_target_spec(target_directory, target_spec(), target_directory_capacity)) {
    fatal_spec_error(target_spec());
  }
  normalize_target_directory();
}

void register_console_guard() {
  if (!SetConsoleCtrlHandler(console_control_handler, TRUE)) {
    fatal_error("Error, failed to register signal handler.");
  }
}

void unpack_attached_data() {
  AttachedData data;
  if (!read_attached_data(&data)) fatal_error(decode_failed_message);
  prepare_unpack(unpack, data.payload, data.payload_length, target_directory,
                 child_executable_path);
  if (shows_unpack_progress()) want_progress(unpack.progress, is_console_launcher());
  if (reuses_by_stamp()) {
    use_stamp_rule(unpack.stamp, target_directory, reuse_stamp(), data.index, data.index_length);
  }
  unpack_payload(unpack);
}

void publish_executable_directory() {
  set_env_w("KOVRAN_ONEFILE_DIRECTORY", path_directory(resolve_executable_path(false)));
}

// The program's output starts on a clean line; a progress window stays until the program
// takes input. Other builds are removed beside the running program, never before it.
int launch_child(bool own_build, const wchar_t* launcher_path) {
  clear_progress_line(unpack.progress);
  HANDLE child = start_child();
  if (own_build && prune_after_days() != prune_never) {
    pruning.launcher_path = launcher_path;
    pruning.days = prune_after_days();
    start_pruning(pruning);
  }
  dismiss_progress(unpack.progress, child);
  int status = wait_for_child(child);
  finish_pruning(pruning);
  return status;
}

}  // namespace

int WINAPI launcher_main(HINSTANCE, HINSTANCE, LPWSTR, int) {
  silence_abnormal_end();
  const wchar_t* argv0 = __wargv[0];
  prepare_environment();
  refuse_relative_cache_dir();
  resolve_target_directory();
  register_console_guard();
  bool own_build = recognize_build_folder(&pruning.build, target_spec(), target_directory);
  const wchar_t* launcher_path = resolve_executable_path(false);
  if (own_build) hold_in_use_marker(target_directory, launcher_path);
  unpack_attached_data();
  publish_executable_directory();
  publish_launcher_identity(argv0);
  return launch_child(own_build, launcher_path);
}
