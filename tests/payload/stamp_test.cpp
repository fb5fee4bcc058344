// The stamp rule: files written get the build's stamp, a start that finds every file of
// its entry's size with the stamp decodes nothing, and every other file is checked by its
// CRC-32 and rewritten when it differs.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/harness/archive_builder.h"
#include "tests/harness/process.h"
#include "tests/harness/temp_dir.h"
#include "tests/payload/unpacker.h"

namespace {

// 1984-12-08 04:13:58 UTC: even seconds, as the pack tool gives.
constexpr uint64_t stamp = 119916288000000000ULL + 2 * 10000000ULL * 61000000;
constexpr uint64_t two_seconds = 2 * 10000000ULL;

// A block that any attempt to decode fails on, its magic intact: a start that succeeds
// with it decoded nothing.
const std::string undecodable_block = "QVJ" + std::string(64, '\x55');

// Small files for the worker threads, one large for the main thread, an empty one, folders.
std::vector<ArchiveEntry> app_entries() {
  std::vector<ArchiveEntry> entries = {{L"main.exe", "MZ program"},
                                       {L"empty.txt", ""},
                                       {L"lib\\big.bin", noise(300000, 1)},
                                       {L"lib\\deep\\er\\\x00e9t\x00e9.txt", "unicode name"}};
  for (int i = 0; i < 20; ++i) {
    entries.push_back({L"d" + std::to_wstring(i % 3) + L"\\f" + std::to_wstring(i) + L".txt",
                       std::string(100 + i * 37, static_cast<char>('a' + i))});
  }
  return entries;
}

struct StampUnpacker : Unpacker {
  std::vector<ArchiveEntry> entries = app_entries();

  StampUnpacker() {
    stamp = ::stamp;
    index = build_index(entries);
  }
  ProcessResult run() { return Unpacker::run(entries); }
  // With the same index and a block that cannot be decoded.
  ProcessResult run_without_decoding() { return Unpacker::run(undecodable_block); }
  std::string child_line() const { return "child=" + narrow_utf8(path(L"main.exe")) + "\n"; }
  std::vector<uint64_t> times() const {
    std::vector<uint64_t> times;
    for (const auto& entry : entries) times.push_back(write_time(path(entry.name)));
    return times;
  }
};

void expect_unpacked(const StampUnpacker& unpacker, const std::vector<ArchiveEntry>& entries) {
  for (const auto& entry : entries) {
    EXPECT_TRUE(read_file(unpacker.path(entry.name)) == entry.data) << narrow_utf8(entry.name);
  }
}

void expect_decode_failure(const ProcessResult& result) {
  EXPECT_EQ(result.exit_code, 2u) << result.out << result.err;
  EXPECT_EQ(result.err, decode_message);
  EXPECT_EQ(result.out, "");
}

TEST(StampRule, WrittenFilesCarryTheStampAndALaterStartDecodesNothing) {
  {
    Unpacker crc_rule;
    expect_decode_failure(crc_rule.run(undecodable_block));
  }
  StampUnpacker unpacker;
  ProcessResult first = unpacker.run();
  ASSERT_EQ(first.exit_code, 0u) << first.out << first.err;
  expect_unpacked(unpacker, unpacker.entries);
  for (const auto& entry : unpacker.entries) {
    EXPECT_EQ(write_time(unpacker.path(entry.name)), stamp) << narrow_utf8(entry.name);
  }

  ProcessResult second = unpacker.run_without_decoding();
  ASSERT_EQ(second.exit_code, 0u) << second.out << second.err;
  EXPECT_EQ(second.out, unpacker.child_line());
  EXPECT_EQ(unpacker.times(), std::vector<uint64_t>(unpacker.entries.size(), stamp));
  expect_unpacked(unpacker, unpacker.entries);
}

// What a user, another program or a broken start may leave: each is checked by its CRC-32
// and rewritten, the rest is current by its stamp and left alone.
TEST(StampRule, EveryFileWithoutItsSizeAndTheStampIsCheckedAndRewrittenWhenItDiffers) {
  StampUnpacker unpacker;
  ASSERT_EQ(unpacker.run().exit_code, 0u);
  auto path = [&](const wchar_t* name) { return unpacker.path(name); };
  write_file(path(L"d0\\f0.txt"), std::string(100, 'X'));  // changed, same size
  write_file(path(L"lib\\big.bin"), noise(1000, 9));       // cut short
  DeleteFileW(path(L"main.exe").c_str());                  // deleted
  remove_tree(path(L"d1"));                                // a folder removed
  write_file(path(L"d2\\f2.txt"), std::string(174, 'Y'));  // right size, other time
  set_write_time(path(L"d2\\f2.txt"), stamp + two_seconds);
  write_file(path(L"d0\\f3.txt"), std::string(211, 'd') + "+");  // the stamp, other size
  set_write_time(path(L"d0\\f3.txt"), stamp);
  uint64_t touched = stamp + 100 * two_seconds;  // right bytes, other time
  set_write_time(path(L"d2\\f5.txt"), touched);
  expect_decode_failure(unpacker.run_without_decoding());

  ProcessResult repair = unpacker.run();
  ASSERT_EQ(repair.exit_code, 0u) << repair.out << repair.err;
  EXPECT_EQ(repair.out, unpacker.child_line());
  expect_unpacked(unpacker, unpacker.entries);
  std::vector<uint64_t> times = unpacker.times();
  for (size_t i = 0; i < unpacker.entries.size(); ++i) {
    const std::wstring& name = unpacker.entries[i].name;
    // Kept by its CRC-32: not touched, so it keeps the time it had.
    EXPECT_EQ(times[i], name == L"d2\\f5.txt" ? touched : stamp) << narrow_utf8(name);
  }
  ProcessResult again = unpacker.run();
  ASSERT_EQ(again.exit_code, 0u) << again.out << again.err;
  EXPECT_EQ(unpacker.times(), times);
}

// Folders are listed by several threads once there are many: every file of each is found.
TEST(StampRule, EveryFileOfManyFoldersIsFound) {
  StampUnpacker unpacker;
  unpacker.entries = {{L"main.exe", "MZ program"}};
  for (int i = 0; i < 120; ++i) {
    unpacker.entries.push_back({L"f" + std::to_wstring(i % 40) + L"\\g" + std::to_wstring(i % 3) +
                                    L"\\n" + std::to_wstring(i) + L".txt",
                                std::string(static_cast<size_t>(i), 'x')});
  }
  unpacker.index = build_index(unpacker.entries);
  ASSERT_EQ(unpacker.run().exit_code, 0u);
  ProcessResult current = unpacker.run_without_decoding();
  EXPECT_EQ(current.exit_code, 0u) << current.out << current.err;
  for (const wchar_t* name : {L"f0\\g0\\n0.txt", L"f39\\g2\\n119.txt"}) {
    SCOPED_TRACE(narrow_utf8(name));
    set_write_time(unpacker.path(name), stamp + two_seconds);
    expect_decode_failure(unpacker.run_without_decoding());
    set_write_time(unpacker.path(name), stamp);
    EXPECT_EQ(unpacker.run_without_decoding().exit_code, 0u);
  }
}

// The trade the rule makes, as the README tells it: an edit that keeps a file's size and
// puts its time back is not seen.
TEST(StampRule, FileChangedWithoutAChangeOfSizeAndTimeIsKept) {
  StampUnpacker unpacker;
  ASSERT_EQ(unpacker.run().exit_code, 0u);
  write_file(unpacker.path(L"d0\\f0.txt"), std::string(100, 'X'));
  set_write_time(unpacker.path(L"d0\\f0.txt"), stamp);
  ASSERT_EQ(unpacker.run().exit_code, 0u);
  EXPECT_EQ(read_file(unpacker.path(L"d0\\f0.txt")), std::string(100, 'X'));
}

TEST(StampRule, StartOnAFolderUnpackedUnderTheCrcRuleChecksEveryFileByItsCrc) {
  StampUnpacker unpacker;
  unpacker.stamp = 0;
  ASSERT_EQ(unpacker.run().exit_code, 0u);
  std::vector<uint64_t> before = unpacker.times();
  write_file(unpacker.path(L"d0\\f0.txt"), std::string(100, 'X'));
  unpacker.stamp = stamp;
  expect_decode_failure(unpacker.run_without_decoding());

  ProcessResult result = unpacker.run();
  ASSERT_EQ(result.exit_code, 0u) << result.out << result.err;
  expect_unpacked(unpacker, unpacker.entries);
  std::vector<uint64_t> after = unpacker.times();
  for (size_t i = 0; i < unpacker.entries.size(); ++i) {
    bool rewritten = unpacker.entries[i].name == L"d0\\f0.txt";
    EXPECT_EQ(after[i], rewritten ? stamp : before[i]) << narrow_utf8(unpacker.entries[i].name);
  }
}

// The folder listing gives names as the file system keeps them: a file that a start of
// another build made under another letter case is the same file.
TEST(StampRule, FileNamedInAnotherLetterCaseIsFound) {
  StampUnpacker unpacker;
  std::vector<ArchiveEntry> other_case = unpacker.entries;
  for (auto& entry : other_case) {
    if (entry.name == L"main.exe") entry.name = L"MAIN.EXE";
    if (entry.name == L"d1\\f4.txt") entry.name = L"D1\\F4.TXT";
  }
  unpacker.index = build_index(other_case);
  ASSERT_EQ(unpacker.Unpacker::run(other_case).exit_code, 0u);
  unpacker.index = build_index(unpacker.entries);
  ProcessResult result = unpacker.run_without_decoding();
  EXPECT_EQ(result.exit_code, 0u) << result.out << result.err;
}

// The index is trusted in place of the payload only where it holds: names that leave the
// target, or that the payload's entry does not have, never count.
TEST(StampRule, IndexNamesOutsideTheTargetOrOtherThanThePayloadsAreNotTrusted) {
  {
    SCOPED_TRACE("a name that leaves the target directory");
    StampUnpacker unpacker;
    std::wstring outside = unpacker.temp.file(L"outside.exe");
    write_file(outside, "MZ");
    set_write_time(outside, stamp);
    unpacker.index = build_index({{L"..\\outside.exe", "MZ"}});
    expect_decode_failure(unpacker.run_without_decoding());
  }
  {
    // Decoded entries must be the index's, position by position: another is damage, and
    // nothing of it is written.
    SCOPED_TRACE("an index whose second entry is another file than the payload's");
    StampUnpacker unpacker;
    std::vector<ArchiveEntry> payload = {{L"main.exe", "MZ"}, {L"a.txt", "A"}};
    unpacker.entries = {{L"main.exe", "MZ"}, {L"b.txt", "B"}};
    unpacker.index = build_index(unpacker.entries);
    ASSERT_EQ(unpacker.run().exit_code, 0u);
    DeleteFileW(unpacker.path(L"main.exe").c_str());
    expect_decode_failure(unpacker.Unpacker::run(payload));
    EXPECT_FALSE(file_exists(unpacker.path(L"a.txt")));
    EXPECT_NE(write_time(unpacker.path(L"main.exe")), stamp) << "a stamp from a damaged start";
  }
  {
    SCOPED_TRACE("an index that does not hold together");
    StampUnpacker unpacker;
    unpacker.index = "not an index";
    ASSERT_EQ(unpacker.run().exit_code, 0u);
    expect_unpacked(unpacker, unpacker.entries);
    EXPECT_EQ(write_time(unpacker.path(L"main.exe")), stamp);
    expect_decode_failure(unpacker.run_without_decoding());
  }
}

// A start ended while it writes a large file leaves it without the stamp; the next start
// rewrites it.
TEST(StampRule, StartKilledWhileWritingIsRepairedByTheNext) {
  StampUnpacker unpacker;
  const std::string big = noise(48 << 20, 3);
  unpacker.entries = {{L"main.exe", "MZ program"}, {L"big.bin", big}, {L"after.txt", "after"}};
  unpacker.index = build_index(unpacker.entries);
  std::wstring line = unpacker.command_line(build_block(build_archive(unpacker.entries), 1));
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process));
  std::wstring big_path = unpacker.path(L"big.bin");
  for (int i = 0; i < 2000 && file_size(big_path) < 4096; ++i) Sleep(5);
  TerminateProcess(process.hProcess, 9);
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (read_file(big_path) != big) {
    EXPECT_NE(write_time(big_path), stamp) << "a file cut short carries the stamp";
  }

  ProcessResult result = unpacker.run();
  ASSERT_EQ(result.exit_code, 0u) << result.out << result.err;
  expect_unpacked(unpacker, unpacker.entries);
  EXPECT_EQ(write_time(big_path), stamp);
  EXPECT_EQ(unpacker.run_without_decoding().exit_code, 0u);
}

}  // namespace
