// Unpacks a payload block read from a file into a target folder, as the launcher
// would, and prints the child's path: `unpack_probe BLOCK_FILE TARGET_DIRECTORY
// [STAMP [INDEX_FILE]]`; with a stamp (a FILETIME in decimal), under the stamp rule. With
// PROBE_PROGRESS set, the unpack reports its progress as a console launcher's does. A
// failure is reported as the launcher reports it, once the unpack has ended; with
// PROBE_LOCK_AFTER set, the probe then prints whether the target lock is free.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "payload/stamp_rule.h"
#include "payload/target_lock.h"
#include "payload/unpack.h"
#include "support/abnormal_end.h"
#include "support/launch_state.h"
#include "tests/harness/probe_report.h"
#include "tests/harness/temp_dir.h"

namespace {

LaunchState state;
KnownDirectories directories;
Unpack unpack;

// Another thread takes the target lock, which it gets only once the unpack let it go.
DWORD WINAPI take_lock(void*) {
  TargetLock lock = {state.target_directory, nullptr, nullptr};
  if (!take_target_lock(lock)) return 1;
  release_target_lock(lock);
  return 0;
}

void print_lock_state() {
  HANDLE taker = CreateThread(nullptr, 0, take_lock, nullptr, 0, nullptr);
  bool free = taker != nullptr && WaitForSingleObject(taker, 5000) == WAIT_OBJECT_0;
  printf("lock %s\n", free ? "free" : "held");
  fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  silence_abnormal_end();
  if (argc < 3 || argc > 5) return 100;
  static std::string block, index;
  block = read_file(argv[1]);
  if (wcslen(argv[2]) >= target_directory_capacity) return 100;
  wcscpy(state.target_directory, argv[2]);
  prepare_unpack(unpack, reinterpret_cast<const unsigned char*>(block.data()), block.size(), state,
                 directories);
  if (argc >= 4) {
    if (argc == 5) index = read_file(argv[4]);
    use_stamp_rule(unpack.stamp, state.target_directory, wcstoull(argv[3], nullptr, 10),
                   index.empty() ? nullptr : reinterpret_cast<const unsigned char*>(index.data()),
                   static_cast<uint32_t>(index.size()));
  }
  if (GetEnvironmentVariableW(L"PROBE_PROGRESS", nullptr, 0) != 0) {
    unpack.progress.view = ProgressView::console;
  }
  Failure failure = unpack_payload(unpack);
  if (GetEnvironmentVariableW(L"PROBE_LOCK_AFTER", nullptr, 0) != 0) print_lock_state();
  if (failed(failure)) return report_failure(failure);
  // The child starts next: nothing may still be writing its program.
  if (state.child_path[0] != 0) {
    HANDLE child = CreateFileW(state.child_path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    if (child == INVALID_HANDLE_VALUE) return 101;
    CloseHandle(child);
  }
  printf("child=%ls\n", state.child_path);
  return 0;
}
