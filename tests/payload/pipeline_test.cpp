// The decoder runs ahead of the files being checked and written; these pin that what
// users see still follows archive order.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/harness/archive_builder.h"
#include "tests/harness/process.h"
#include "tests/harness/temp_dir.h"
#include "tests/payload/unpacker.h"

namespace {

constexpr size_t piece = 256 * 1024;

TEST(UnpackPipeline, ACutArchiveWritesTheEntriesBeforeTheCutAndNothingAfterIt) {
  std::vector<ArchiveEntry> entries = {{L"main.exe", "MZ first"},   {L"a.bin", noise(piece, 1)},
                                       {L"b.bin", noise(piece, 2)}, {L"c.bin", noise(piece, 3)},
                                       {L"d.bin", noise(piece, 4)}, {L"e.txt", "after"}};
  std::string block = build_block(build_archive(entries));
  Unpacker unpacker;
  // The cut lies inside c.bin, several decoder windows after the first entry.
  ProcessResult result = unpacker.run(block.substr(0, 2 * piece + piece / 2));
  EXPECT_EQ(result.exit_code, 2u);
  EXPECT_EQ(result.err, decode_message);
  EXPECT_EQ(result.out, "");
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(read_file(unpacker.path(entries[i].name)), entries[i].data)
        << narrow_utf8(entries[i].name);
  }
  EXPECT_FALSE(file_exists(unpacker.path(L"d.bin")));
  EXPECT_FALSE(file_exists(unpacker.path(L"e.txt")));
}

TEST(UnpackPipeline, AnEntryThatFailsBeforeTheDecoderFailsIsTheOneNamed) {
  std::vector<ArchiveEntry> entries = {{L"main.exe", "MZ first"},
                                       {L"blocked.txt", "cannot be written"},
                                       {L"later.txt", "not reached"},
                                       {L"tail.bin", noise(piece, 5)}};
  std::string block = build_block(build_archive(entries));
  Unpacker unpacker;
  // A folder where the file belongs cannot be opened for writing.
  ASSERT_TRUE(CreateDirectoryW(unpacker.target.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(unpacker.path(L"blocked.txt").c_str(), nullptr));
  ProcessResult result = unpacker.run(block.substr(0, piece / 2));
  EXPECT_EQ(result.exit_code, 2u);
  EXPECT_EQ(result.out, "");
  EXPECT_TRUE(is_open_message(result.err, unpacker.path(L"blocked.txt"), ERROR_ACCESS_DENIED));
  EXPECT_EQ(read_file(unpacker.path(L"main.exe")), "MZ first");
  EXPECT_FALSE(file_exists(unpacker.path(L"later.txt")));
}

// A folder that cannot be made (a file stands where it belongs) ends the unpack through its
// one ending: what this start created behind it goes, the lock is let go, then the message.
TEST(UnpackPipeline, AFolderThatCannotBeMadeEndsTheUnpackThroughItsEnding) {
  std::vector<ArchiveEntry> entries = {
      {L"main.exe", "MZ first"}, {L"a.txt", "before"}, {L"in\\b.txt", "cannot be written"}};
  for (int i = 0; i < 30; ++i) entries.push_back({L"c" + std::to_wstring(i) + L".txt", "after"});
  Unpacker unpacker;
  ASSERT_TRUE(CreateDirectoryW(unpacker.target.c_str(), nullptr));
  write_file(unpacker.path(L"in"), "a file where the folder belongs");
  ProcessOptions options;
  options.environment = {L"PROBE_LOCK_AFTER=1"};
  ProcessResult result =
      run_process(unpacker.command_line(build_block(build_archive(entries))), options);
  EXPECT_EQ(result.exit_code, 2u);
  EXPECT_EQ(result.out, "lock free\n");
  EXPECT_EQ(result.err.rfind("Error, failed to open '" + narrow_utf8(unpacker.path(L"in\\b.txt")) +
                                 "' for writing.",
                             0),
            0u)
      << result.err;
  EXPECT_EQ(read_file(unpacker.path(L"a.txt")), "before");
  for (int i = 0; i < 30; ++i) {
    EXPECT_FALSE(file_exists(unpacker.path(L"c" + std::to_wstring(i) + L".txt"))) << i;
  }
}

TEST(UnpackPipeline, ManyWindowsOfEntriesComeOutWholeWithTheFirstAsChild) {
  std::vector<ArchiveEntry> entries = {{L"main.exe", "MZ first"}};
  for (int i = 0; i < 40; ++i) {
    entries.push_back({L"f" + std::to_wstring(i) + L".bin", noise(40000 + i * 5001, 10 + i)});
  }
  Unpacker unpacker;
  ProcessResult result = unpacker.run(entries);
  ASSERT_EQ(result.exit_code, 0u) << result.out << result.err;
  EXPECT_EQ(result.out, "child=" + narrow_utf8(unpacker.path(L"main.exe")) + "\n");
  for (const auto& entry : entries) {
    ASSERT_EQ(read_file(unpacker.path(entry.name)), entry.data) << narrow_utf8(entry.name);
  }
}

}  // namespace
