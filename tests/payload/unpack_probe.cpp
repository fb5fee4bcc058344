// Unpacks a payload block read from a file into a target folder, as the launcher
// would, and prints the child's path: `unpack_probe BLOCK_FILE TARGET_DIRECTORY
// [STAMP [INDEX_FILE]]`; with a stamp (a FILETIME in decimal), under the stamp rule.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "launcher/errors.h"
#include "launcher/launch_state.h"
#include "payload/stamp_rule.h"
#include "payload/stream.h"
#include "payload/unpack.h"
#include "support/bounded.h"
#include "tests/harness/temp_dir.h"

int wmain(int argc, wchar_t** argv) {
  silence_abnormal_end();
  if (argc < 3 || argc > 5) return 100;
  static std::string block, index;
  block = read_file(argv[1]);
  copy_bounded(target_directory, argv[2], target_directory_capacity);
  payload_attach(reinterpret_cast<const unsigned char*>(block.data()), block.size());
  if (argc >= 4) {
    if (argc == 5) index = read_file(argv[4]);
    use_stamp_rule(wcstoull(argv[3], nullptr, 10),
                   index.empty() ? nullptr : reinterpret_cast<const unsigned char*>(index.data()),
                   static_cast<uint32_t>(index.size()));
  }
  unpack_payload();
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
