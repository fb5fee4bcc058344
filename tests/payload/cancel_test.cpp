// A start cancelled from its progress window ends through the unpack's one way out: the
// status of an interrupted program, no message, no child, no file cut short and nothing
// behind the point of the cancel; the next start repairs. Progress costs a start that
// writes nothing no step at all.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/payload/unpacker.h"

namespace {

// Archive bytes of an entry's name, size and checksum.
uint64_t header_bytes(const ArchiveEntry& entry) { return 2 * (entry.name.size() + 1) + 12; }

std::vector<ArchiveEntry> entries() {
  return {{L"main.exe", "MZ program"}, {L"big.bin", noise(3 << 20, 7)}, {L"after.txt", "after"}};
}

ProcessResult run(Unpacker& unpacker, const std::string& block, const std::string& cancel_at) {
  unpacker.probe = L"unpack_probe_cancelling.exe";
  ProcessOptions options;
  options.environment = {L"PROBE_PROGRESS=1", L"PROBE_CANCEL_AT=" + widen_utf8(cancel_at)};
  return run_process(unpacker.command_line(block), options);
}

size_t steps_in(const std::string& out) {
  size_t steps = 0;
  for (size_t at = out.find("step "); at != std::string::npos; at = out.find("step ", at + 1))
    ++steps;
  return steps;
}

TEST(CancelledStart, EndsWithTheInterruptedStatusLeavingOnlyWholeFilesBeforeIt) {
  std::vector<ArchiveEntry> files = entries();
  std::string archive = build_archive(files);
  uint64_t big_start = header_bytes(files[0]) + files[0].data.size() + header_bytes(files[1]);
  uint64_t big_end = big_start + files[1].data.size();
  struct Case {
    const char* name;
    uint64_t cancel_at;
    std::vector<bool> left;  // which files stay, whole
  };
  const Case cases[] = {
      {"inside the large file, cut short and removed", big_start + (1 << 20), {true, false, false}},
      {"between entries", big_end, {true, true, false}},
      {"after the last entry", archive.size(), {true, true, true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Unpacker unpacker;
    std::string block = build_block(archive);
    ProcessResult result = run(unpacker, block, std::to_string(c.cancel_at));
    EXPECT_EQ(result.exit_code, 0xC000013Au);
    EXPECT_EQ(result.out.find("child="), std::string::npos) << result.out;
    EXPECT_EQ(result.err, "");
    for (size_t i = 0; i < files.size(); ++i) {
      std::wstring path = unpacker.path(files[i].name);
      EXPECT_EQ(file_exists(path), c.left[i]) << narrow_utf8(files[i].name);
      if (c.left[i]) {
        EXPECT_TRUE(read_file(path) == files[i].data) << narrow_utf8(files[i].name);
      }
    }
    ProcessResult next = run(unpacker, block, "");
    EXPECT_EQ(next.exit_code, 0u) << next.out << next.err;
    for (const ArchiveEntry& file : files)
      EXPECT_TRUE(read_file(unpacker.path(file.name)) == file.data);
  }
}

TEST(CancelledStart, AStartThatWritesNothingTakesNoProgressStep) {
  Unpacker unpacker;
  std::string block = build_block(build_archive(entries()));
  EXPECT_GT(steps_in(run(unpacker, block, "").out), 0u);
  ProcessResult warm = run(unpacker, block, "");
  EXPECT_EQ(warm.exit_code, 0u);
  EXPECT_EQ(steps_in(warm.out), 0u) << warm.out;
}

}  // namespace
