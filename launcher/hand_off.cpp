#include "launcher/hand_off.h"

#include <windows.h>

#include "paths/executable_path.h"
#include "support/environment.h"

// The process's DLL search is support/system_libraries' alone: it set it on entry, and clears
// what a child could inherit of it around the child's creation.
void prepare_environment() {
  // Stale values from whoever started us would make the expansion reuse them.
  unset_env_w("KOVRAN_ONEFILE_START");
  unset_env_w("KOVRAN_ONEFILE_TIME_US");
  unset_env_w("KOVRAN_ONEFILE_RANDOM");
  set_env_int_w("KOVRAN_ONEFILE_PARENT", static_cast<long>(GetCurrentProcessId()));
}

void publish_launcher_identity(const wchar_t* launcher_path, const wchar_t* argv0) {
  wchar_t directory[executable_path_capacity];
  path_directory(directory, launcher_path);
  set_env_w("KOVRAN_ONEFILE_DIRECTORY", directory);
  set_env_w("KOVRAN_ORIGINAL_ARGV0", argv0);
}
