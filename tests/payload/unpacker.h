#pragma once
// Runs unpack_probe.exe, the launcher's unpack step, on a block into a fresh target.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/harness/archive_builder.h"
#include "tests/harness/process.h"
#include "tests/harness/temp_dir.h"

inline constexpr unsigned long abnormal_status = 3;
// What the launcher prints when its payload cannot be decoded.
inline const std::string decode_message = "Error, couldn't decode attached data.\n";

// Whether err is the one line of the open-for-writing message for path, with the system's
// reason: error and its description.
inline ::testing::AssertionResult is_open_message(const std::string& err, const std::wstring& path,
                                                  unsigned long error) {
  std::string start = "Error, failed to open '" + narrow_utf8(path) + "' for writing. ([Error " +
                      std::to_string(error) + "] ";
  if (err.rfind(start, 0) == 0 && err.size() > start.size() + 3 &&
      err.find('\n') == err.size() - 1 && err.substr(err.size() - 2) == ")\n") {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "not \"" << start << "...)\": " << err;
}

struct Unpacker {
  TempDir temp;
  std::wstring target = temp.file(L"target");
  // Under the stamp rule when not 0; with this entry index when there is one.
  uint64_t stamp = 0;
  std::string index;
  // The probe run: unpack_probe, or a build of it with a system call made to fail.
  std::wstring probe = L"unpack_probe.exe";

  // The probe's command line, with the block (and index) written beside the target.
  std::wstring command_line(const std::string& block) {
    write_file(temp.file(L"block.bin"), block);
    std::wstring line = quote_argument(this_program_directory() + L"\\" + probe) + L" " +
                        quote_argument(temp.file(L"block.bin")) + L" " + quote_argument(target);
    if (stamp == 0) return line;
    line += L" " + std::to_wstring(stamp);
    if (index.empty()) return line;
    write_file(temp.file(L"index.bin"), index);
    return line + L" " + quote_argument(temp.file(L"index.bin"));
  }
  ProcessResult run(const std::string& block) { return run_process(command_line(block)); }
  ProcessResult run(const std::vector<ArchiveEntry>& entries) {
    return run(build_block(build_archive(entries)));
  }
  std::wstring path(const std::wstring& name) const { return target + L"\\" + name; }
};
