#pragma once
// Runs unpack_probe.exe, the launcher's unpack step, on a block into a fresh target.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/harness/archive_builder.h"
#include "tests/harness/process.h"
#include "tests/harness/temp_dir.h"

inline constexpr unsigned long abnormal_status = 3;

struct Unpacker {
  TempDir temp;
  std::wstring target = temp.file(L"target");

  // The probe's command line, with the block written beside the target.
  std::wstring command_line(const std::string& block) {
    write_file(temp.file(L"block.bin"), block);
    return quote_argument(this_program_directory() + L"\\unpack_probe.exe") + L" " +
           quote_argument(temp.file(L"block.bin")) + L" " + quote_argument(target);
  }
  ProcessResult run(const std::string& block) { return run_process(command_line(block)); }
  ProcessResult run(const std::vector<ArchiveEntry>& entries) {
    return run(build_block(build_archive(entries)));
  }
  std::wstring path(const std::wstring& name) const { return target + L"\\" + name; }
};

inline uint64_t write_time(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
         data.ftLastWriteTime.dwLowDateTime;
}
