// Unpacks a payload block read from a file into a target folder, as the launcher
// would, and prints the child's path: `unpack_probe BLOCK_FILE TARGET_DIRECTORY`.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "launcher/errors.h"
#include "launcher/launch_state.h"
#include "payload/stream.h"
#include "payload/unpack.h"
#include "support/bounded.h"
#include "tests/harness/temp_dir.h"

int wmain(int argc, wchar_t** argv) {
  silence_abnormal_end();
  if (argc != 3) return 100;
  static std::string block;
  block = read_file(argv[1]);
  copy_bounded(target_directory, argv[2], target_directory_capacity);
  payload_attach(reinterpret_cast<const unsigned char*>(block.data()), block.size());
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
