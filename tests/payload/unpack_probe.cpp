// Unpacks a payload block read from a file into a target folder, as the launcher
// would, and prints the child's path: `unpack_probe BLOCK_FILE TARGET_DIRECTORY
// [STAMP [INDEX_FILE]]`; with a stamp (a FILETIME in decimal), under the stamp rule. With
// PROBE_PROGRESS set, the unpack reports its progress as a console launcher's does.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "payload/unpack.h"
#include "support/errors.h"
#include "support/launch_state.h"
#include "tests/harness/temp_dir.h"

namespace {

Unpack unpack;

}  // namespace

int wmain(int argc, wchar_t** argv) {
  silence_abnormal_end();
  if (argc < 3 || argc > 5) return 100;
  static std::string block, index;
  block = read_file(argv[1]);
  if (wcslen(argv[2]) >= target_directory_capacity) return 100;
  wcscpy(target_directory, argv[2]);
  prepare_unpack(unpack, reinterpret_cast<const unsigned char*>(block.data()), block.size(),
                 target_directory, child_executable_path);
  if (argc >= 4) {
    if (argc == 5) index = read_file(argv[4]);
    use_stamp_rule(unpack.stamp, target_directory, wcstoull(argv[3], nullptr, 10),
                   index.empty() ? nullptr : reinterpret_cast<const unsigned char*>(index.data()),
                   static_cast<uint32_t>(index.size()));
  }
  if (GetEnvironmentVariableW(L"PROBE_PROGRESS", nullptr, 0) != 0) {
    unpack.progress.view = ProgressView::console;
  }
  unpack_payload(unpack);
  // The child starts next: nothing may still be writing its program.
  if (child_executable_path[0] != 0) {
    HANDLE child =
        CreateFileW(child_executable_path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (child == INVALID_HANDLE_VALUE) return 101;
    CloseHandle(child);
  }
  printf("child=%ls\n", child_executable_path);
  return 0;
}
