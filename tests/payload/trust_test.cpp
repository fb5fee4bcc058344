// What a later start trusts is what a whole archive confirmed: files from a damaged start
// keep no stamp, an index that fails its own check is ignored, a file cut short by damage
// goes, a file of another size is rewritten, and a close that fails is a write failure.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "payload/crc32.h"
#include "tests/harness/archive_builder.h"
#include "tests/harness/temp_dir.h"
#include "tests/harness/zero_crc.h"
#include "tests/payload/frames.h"
#include "tests/payload/unpacker.h"

namespace {

// Even seconds, as the pack tool gives.
constexpr uint64_t stamp = 119916288000000000ULL + 2 * 10000000ULL * 62000000;

void expect_decode_failure(const ProcessResult& result) {
  EXPECT_EQ(result.exit_code, 2u) << result.out << result.err;
  EXPECT_EQ(result.err, decode_message);
  EXPECT_EQ(result.out, "");
}

void expect_tree(const Unpacker& unpacker, const std::vector<ArchiveEntry>& entries) {
  for (const auto& entry : entries) {
    EXPECT_TRUE(read_file(unpacker.path(entry.name)) == entry.data) << narrow_utf8(entry.name);
  }
}

// The archive's units of name in place of the first occurrence of from's.
std::string renamed(std::string bytes, const std::wstring& from, const std::wstring& to) {
  std::string from_units, to_units;
  for (wchar_t unit : from) from_units += {static_cast<char>(unit), static_cast<char>(unit >> 8)};
  for (wchar_t unit : to) to_units += {static_cast<char>(unit), static_cast<char>(unit >> 8)};
  size_t at = bytes.find(from_units);
  EXPECT_NE(at, std::string::npos);
  if (at != std::string::npos) bytes.replace(at, from_units.size(), to_units);
  return bytes;
}

// One bit turns b2.dat into b1.dat, of the same size, in a frame whose content checksum is
// the intact archive's: the damage shows only at the frame's end, windows later.
TEST(UnpackTrust, RenamedEntryOfADamagedStartIsNotKeptByALaterOne) {
  std::vector<ArchiveEntry> entries = {{L"main.exe", "MZ program"},
                                       {L"b1.dat", noise(1000, 1)},
                                       {L"b2.dat", noise(1000, 2)},
                                       {L"zz.bin", noise(400000, 9)}};
  std::string archive = build_archive(entries);
  std::string intact = compressed_frame(archive, 3, true);
  std::string damaged = compressed_frame(renamed(archive, L"b2.dat", L"b1.dat"), 3, true);
  damaged.replace(damaged.size() - 4, 4, intact.substr(intact.size() - 4));
  struct Case {
    const char* rule;
    bool stamp_rule;
    bool index_on_damaged_start;
  };
  for (const Case& c : {Case{"crc", false, false}, Case{"stamp, index", true, true},
                        Case{"stamp, no index on the damaged start", true, false}}) {
    SCOPED_TRACE(c.rule);
    Unpacker unpacker;
    unpacker.stamp = c.stamp_rule ? stamp : 0;
    unpacker.index = c.index_on_damaged_start ? build_index(entries) : "";
    expect_decode_failure(unpacker.run(payload_block(damaged)));
    unpacker.index = c.stamp_rule ? build_index(entries) : "";
    ProcessResult result = unpacker.run(payload_block(intact));
    ASSERT_EQ(result.exit_code, 0u) << result.out << result.err;
    expect_tree(unpacker, entries);
  }
}

// A bit of the index that turns x1.ini into x3.ini: the index fails its own checksum, and
// the start checks every file by its CRC-32, repairing x1.ini.
TEST(UnpackTrust, IndexThatFailsItsOwnChecksumIsIgnored) {
  std::vector<ArchiveEntry> entries = {{L"main.exe", "MZ program"},
                                       {L"x1.ini", "one=1"},
                                       {L"x2.ini", "two=2"},
                                       {L"x3.ini", "six=6"}};
  const char* changes[] = {"deleted", "edited"};
  for (const char* change : changes) {
    SCOPED_TRACE(change);
    Unpacker unpacker;
    unpacker.stamp = stamp;
    unpacker.index = build_index(entries);
    ASSERT_EQ(unpacker.run(entries).exit_code, 0u);
    if (std::string(change) == "deleted") {
      ASSERT_TRUE(DeleteFileW(unpacker.path(L"x1.ini").c_str()));
    } else {
      write_file(unpacker.path(L"x1.ini"), "one=9");
      set_write_time(unpacker.path(L"x1.ini"), stamp);
    }
    unpacker.index = renamed(build_index(entries), L"x1.ini", L"x3.ini");
    ProcessResult result = unpacker.run(entries);
    ASSERT_EQ(result.exit_code, 0u) << result.out << result.err;
    expect_tree(unpacker, entries);
  }
}

// An archive that ends before its index does is not the one the index describes.
TEST(UnpackTrust, ArchiveWithFewerEntriesThanItsIndexIsDamage) {
  std::vector<ArchiveEntry> entries = {
      {L"main.exe", "MZ program"}, {L"a.txt", "a"}, {L"b.txt", "b"}};
  Unpacker unpacker;
  unpacker.stamp = stamp;
  unpacker.index = build_index(entries);
  entries.pop_back();
  expect_decode_failure(unpacker.run(entries));
}

// Damage inside a file written as it is decoded: what stays is whole files of the app.
TEST(UnpackTrust, FrameCutInsideALargeEntryLeavesOnlyWholeFiles) {
  std::vector<ArchiveEntry> entries = {{L"main.exe", "MZ program"},
                                       {L"a.txt", "before"},
                                       {L"big.bin", noise(600000, 3)},
                                       {L"c.txt", "after"}};
  std::string frame = compressed_frame(build_archive(entries), 3, true);
  for (bool stamp_rule : {false, true}) {
    SCOPED_TRACE(stamp_rule);
    Unpacker unpacker;
    unpacker.stamp = stamp_rule ? stamp : 0;
    expect_decode_failure(unpacker.run(payload_block(frame.substr(0, frame.size() / 2))));
    EXPECT_EQ(read_file(unpacker.path(L"main.exe")), "MZ program");
    EXPECT_EQ(read_file(unpacker.path(L"a.txt")), "before");
    EXPECT_FALSE(file_exists(unpacker.path(L"big.bin")));
    EXPECT_FALSE(file_exists(unpacker.path(L"c.txt")));
  }
}

// A file whose CRC-32 is the entry's but whose size is not is out of date.
TEST(UnpackTrust, FileOfAnotherSizeIsRewrittenWhateverItsChecksum) {
  for (size_t size : {1000, 200000}) {  // a worker's file, the main thread's
    SCOPED_TRACE(size);
    std::vector<ArchiveEntry> entries = {{L"main.exe", "MZ"}, {L"data.bin", noise(size, 4)}};
    Unpacker unpacker;
    ASSERT_EQ(unpacker.run(entries).exit_code, 0u);
    uint32_t crc = crc32_buffer(entries[1].data.data(), entries[1].data.size());
    write_file(unpacker.path(L"data.bin"), with_crc(noise(size / 2, 5), crc));
    ASSERT_EQ(unpacker.run(entries).exit_code, 0u);
    expect_tree(unpacker, entries);
  }
}

// A close reported failed (on a network share a write may fail only there) is a write
// failure, and the file keeps no stamp.
TEST(UnpackTrust, FailedCloseIsAWriteFailure) {
  for (size_t size : {1000, 200000}) {  // a worker's file, the main thread's
    SCOPED_TRACE(size);
    Unpacker unpacker;
    unpacker.probe = L"unpack_probe_failing_close.exe";
    unpacker.stamp = stamp;
    ProcessResult result =
        unpacker.run({{L"main.exe", "MZ"}, {L"close-fails.bin", noise(size, 6)}});
    EXPECT_EQ(result.exit_code, 2u);
    EXPECT_EQ(result.err.rfind("Error, couldn't unpack file to target path. ([Error 64] ", 0), 0u)
        << result.err;
    if (file_exists(unpacker.path(L"close-fails.bin"))) {
      EXPECT_NE(write_time(unpacker.path(L"close-fails.bin")), stamp);
    }
  }
}

}  // namespace
