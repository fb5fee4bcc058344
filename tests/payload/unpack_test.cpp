#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/harness/archive_builder.h"
#include "tests/harness/process.h"
#include "tests/harness/temp_dir.h"
#include "tests/payload/unpacker.h"

namespace {

std::vector<ArchiveEntry> sample_entries() {
  std::string big(65537, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 251);
  return {{L"main.exe", "MZ program"},
          {L"empty.txt", ""},
          {L"lib\\big.bin", big},
          {L"lib\\deep\\er\\\x00e9t\x00e9.txt", "unicode name"}};
}

TEST(Unpack, WritesEveryEntryWithItsFoldersAndNamesTheFirstAsChild) {
  Unpacker unpacker;
  auto entries = sample_entries();
  ProcessResult result = unpacker.run(entries);
  ASSERT_EQ(result.exit_code, 0u) << result.out << result.err;
  EXPECT_EQ(result.out, "child=" + narrow_utf8(unpacker.path(L"main.exe")) + "\n");
  for (const auto& entry : entries) {
    EXPECT_TRUE(file_exists(unpacker.path(entry.name))) << narrow_utf8(entry.name);
    EXPECT_EQ(read_file(unpacker.path(entry.name)), entry.data) << narrow_utf8(entry.name);
  }
}

TEST(Unpack, SecondStartWritesNothingAndRewritesOnlyWhatChanged) {
  Unpacker unpacker;
  auto entries = sample_entries();
  ASSERT_EQ(unpacker.run(entries).exit_code, 0u);
  std::vector<uint64_t> before;
  for (const auto& entry : entries) before.push_back(write_time(unpacker.path(entry.name)));
  Sleep(50);

  ProcessResult again = unpacker.run(entries);
  ASSERT_EQ(again.exit_code, 0u);
  EXPECT_EQ(again.out, "child=" + narrow_utf8(unpacker.path(L"main.exe")) + "\n");
  for (size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(write_time(unpacker.path(entries[i].name)), before[i])
        << narrow_utf8(entries[i].name);
  }

  write_file(unpacker.path(L"main.exe"), "tampered");
  remove_tree(unpacker.path(L"lib"));
  ASSERT_EQ(unpacker.run(entries).exit_code, 0u);
  for (const auto& entry : entries) {
    EXPECT_EQ(read_file(unpacker.path(entry.name)), entry.data) << narrow_utf8(entry.name);
  }
}

// Wine running as root ignores the read-only attribute, so the file is held open
// without sharing instead: it can then be neither checksummed nor opened for writing.
TEST(Unpack, FileThatCannotBeOpenedForWritingEndsWithTheOpenMessage) {
  Unpacker unpacker;
  auto entries = sample_entries();
  ASSERT_EQ(unpacker.run(entries).exit_code, 0u);
  HANDLE locked = CreateFileW(unpacker.path(L"main.exe").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  ProcessResult result = unpacker.run(entries);
  CloseHandle(locked);
  EXPECT_EQ(result.exit_code, 2u);
  EXPECT_EQ(result.out, "");
  EXPECT_TRUE(is_open_message(result.err, unpacker.path(L"main.exe"), ERROR_SHARING_VIOLATION));
}

// A target folder that is a file: the message gives the system's reason with the path.
TEST(Unpack, TargetThatIsAFileEndsWithTheOpenMessageAndTheSystemsReason) {
  Unpacker unpacker;
  write_file(unpacker.target, "a file where the target folder belongs");
  ProcessResult result = unpacker.run(sample_entries());
  EXPECT_EQ(result.exit_code, 2u);
  EXPECT_EQ(result.out, "");
  EXPECT_TRUE(is_open_message(result.err, unpacker.path(L"main.exe"), ERROR_PATH_NOT_FOUND));
}

// A target directory so long that an entry's path cannot be held is told with the entry and
// the length, ending with abort()'s status as it always has, before anything is written.
TEST(Unpack, EntryPathTooLongIsToldWithItsLength) {
  Unpacker unpacker;
  unpacker.target = L"C:\\" + std::wstring(4077, L'd');
  std::vector<ArchiveEntry> entries = {{L"bin\\main-program.exe", "MZ program"}};
  ProcessResult result = unpacker.run(entries);
  EXPECT_EQ(result.exit_code, abnormal_status);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err,
            "Error, the path of 'bin\\main-program.exe' below the target directory is too long: "
            "4101 units, at most 4095.\n");
}

// Small files are written on other threads: a later entry that fails at once must not be
// reported ahead of an earlier one that fails only after its retries.
TEST(Unpack, FailureNamesTheFirstFailingEntryInArchiveOrder) {
  Unpacker unpacker;
  std::vector<ArchiveEntry> entries = {{L"main.exe", "MZ program"}};
  for (int i = 0; i < 12; ++i) entries.push_back({L"f" + std::to_wstring(i) + L".txt", "v1"});
  ASSERT_EQ(unpacker.run(entries).exit_code, 0u);
  for (size_t i = 1; i < entries.size(); ++i) entries[i].data = "v2";
  HANDLE held = CreateFileW(unpacker.path(L"f2.txt").c_str(), GENERIC_READ, 0, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  DeleteFileW(unpacker.path(L"f9.txt").c_str());
  CreateDirectoryW(unpacker.path(L"f9.txt").c_str(), nullptr);
  ProcessResult result = unpacker.run(entries);
  CloseHandle(held);
  EXPECT_EQ(result.exit_code, 2u);
  EXPECT_EQ(result.out, "");
  EXPECT_TRUE(is_open_message(result.err, unpacker.path(L"f2.txt"), ERROR_SHARING_VIOLATION));
  EXPECT_EQ(read_file(unpacker.path(L"f1.txt")), "v2");  // entries before it are written
}

TEST(Unpack, SmallAndLargeFilesMixedAreAllWrittenBeforeTheChildStarts) {
  Unpacker unpacker;
  std::string large(300000, 'L');
  std::vector<ArchiveEntry> entries = {{L"main.exe", std::string(131072, 'M')}};
  for (int i = 0; i < 40; ++i) {
    std::wstring name = L"d" + std::to_wstring(i % 5) + L"\\f" + std::to_wstring(i) + L".txt";
    entries.push_back({name, i % 10 == 3 ? large : std::string(100 + i * 997, 'a' + i % 26)});
  }
  // The probe fails unless it can open the child's program alone once unpacking returns.
  ProcessResult result = unpacker.run(entries);
  ASSERT_EQ(result.exit_code, 0u) << result.out << result.err;
  for (const auto& entry : entries) {
    EXPECT_EQ(read_file(unpacker.path(entry.name)), entry.data) << narrow_utf8(entry.name);
  }
}

// Small files are checked on other threads, and a file found out of date there is written
// only once the main thread allows it: before a large file of its own and after one, with
// folders that went missing since the first start, all in one start.
TEST(Unpack, LaterStartRewritesOnlyChangedFilesAmongManyCurrentOnes) {
  Unpacker unpacker;
  std::vector<ArchiveEntry> entries = {{L"main.exe", "MZ program"}};
  for (int i = 0; i < 60; ++i) {
    std::wstring name = L"d" + std::to_wstring(i % 7) + L"\\f" + std::to_wstring(i) + L".txt";
    entries.push_back({name, std::string(50 + i * 31, static_cast<char>('a' + i % 26))});
  }
  entries.insert(entries.begin() + 30, {L"large.bin", std::string(300000, 'L')});
  ASSERT_EQ(unpacker.run(entries).exit_code, 0u);
  std::vector<uint64_t> before;
  for (const auto& entry : entries) before.push_back(write_time(unpacker.path(entry.name)));
  Sleep(50);

  const std::vector<size_t> changed = {3, 30, 31, 44, 59};
  for (size_t i : changed) entries[i].data += "+";
  remove_tree(unpacker.path(L"d2"));
  ProcessResult result = unpacker.run(entries);
  ASSERT_EQ(result.exit_code, 0u) << result.out << result.err;
  for (size_t i = 0; i < entries.size(); ++i) {
    const auto& entry = entries[i];
    EXPECT_EQ(read_file(unpacker.path(entry.name)), entry.data) << narrow_utf8(entry.name);
    bool rewritten = std::find(changed.begin(), changed.end(), i) != changed.end() ||
                     entry.name.rfind(L"d2\\", 0) == 0;
    if (!rewritten) {
      EXPECT_EQ(write_time(unpacker.path(entry.name)), before[i]) << i;
    }
  }
}

TEST(Unpack, EmptyArchiveCreatesNothing) {
  Unpacker unpacker;
  ProcessResult result = unpacker.run(std::vector<ArchiveEntry>{});
  EXPECT_EQ(result.exit_code, 0u);
  EXPECT_EQ(result.out, "child=\n");
  EXPECT_FALSE(file_exists(unpacker.target));
}

// Only a damaged or foreign archive holds a name longer than the launcher takes.
TEST(Unpack, OverlongEntryNameIsDamageFoundBeforeWritingIt) {
  Unpacker unpacker;
  ProcessResult result = unpacker.run({{L"main.exe", "x"}, {std::wstring(1024, L'n'), "y"}});
  EXPECT_EQ(result.exit_code, 2u);
  EXPECT_EQ(result.err, decode_message);
  EXPECT_TRUE(file_exists(unpacker.path(L"main.exe")));  // entries before it stay
}

TEST(Unpack, BrokenBlocksEndWithTheirMessagesAndCreateNothingFirst) {
  std::string block = build_block(build_archive(sample_entries()));
  for (int i = 0; i < 3; ++i) {
    Unpacker unpacker;
    std::string bad_magic = block;
    bad_magic[i] = 'X';
    ProcessResult result = unpacker.run(bad_magic);
    EXPECT_EQ(result.exit_code, 2u);
    EXPECT_EQ(result.err, "Error, couldn't find attached data header.\n");
    EXPECT_EQ(result.out, "");
    EXPECT_FALSE(file_exists(unpacker.target));
  }
  Unpacker damaged_unpacker;
  std::string damaged = block;
  for (size_t i = 20; i < 60; ++i) damaged[i] = static_cast<char>(damaged[i] ^ 0x5A);
  ProcessResult result = damaged_unpacker.run(damaged);
  EXPECT_EQ(result.exit_code, 2u);
  EXPECT_EQ(result.err, "Error, couldn't decode attached data.\n");
  EXPECT_EQ(result.out, "");
}

}  // namespace
