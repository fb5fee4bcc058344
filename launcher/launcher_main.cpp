#include "launcher/launcher_main.h"

#include <cstdlib>

#include "child/run_child.h"
#include "launcher/build_config.h"
#include "launcher/errors.h"
#include "launcher/launch_state.h"
#include "paths/executable_path.h"
#include "paths/spec_expansion.h"
#include "payload/stamp_rule.h"
#include "payload/stream.h"
#include "payload/unpack.h"
#include "support/environment.h"

namespace {

// Steps 5 to 7. A failed expansion is reported before the partial text is made
// absolute, which would end the run without a word when that text is empty.
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

void publish_executable_directory() {
  set_env_w("KOVRAN_ONEFILE_DIRECTORY", path_directory(resolve_executable_path(false)));
}

}  // namespace

int WINAPI launcher_main(HINSTANCE, HINSTANCE, LPWSTR, int) {
  silence_abnormal_end();
  const wchar_t* argv0 = __wargv[0];
  prepare_environment();
  resolve_target_directory();
  register_console_guard();
  payload_attach(attached_payload(), attached_payload_length());
  if (reuses_by_stamp()) use_stamp_rule(reuse_stamp(), entry_index(), entry_index_length());
  unpack_payload();
  publish_executable_directory();
  publish_launcher_identity(argv0);
  return run_child();
}
