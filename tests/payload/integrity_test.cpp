// What unpacking leaves is what the archive holds, or the start fails: writes cut short by
// the system, entries whose bytes differ from their CRC-32, frames whose checksum does not
// match, and no file made out of turn left behind an earlier failure.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "payload/crc32.h"
#include "tests/harness/archive_builder.h"
#include "tests/harness/process.h"
#include "tests/harness/temp_dir.h"
#include "tests/harness/zero_crc.h"
#include "tests/payload/frames.h"
#include "tests/payload/unpacker.h"

namespace {

const std::string write_message = "Error, couldn't unpack file to target path. ([Error ";

// A block whose frame carries no content checksum: only the entries' CRC-32s can tell.
std::string block_without_frame_checksum(const std::vector<ArchiveEntry>& entries) {
  return payload_block(compressed_frame(build_archive(entries), 3, false));
}

ArchiveEntry with_checksum(ArchiveEntry entry, uint32_t checksum) {
  entry.checksum_override = true;
  entry.checksum = checksum;
  return entry;
}

std::wstring wine_loader() {
  wchar_t value[MAX_PATH];
  DWORD length = GetEnvironmentVariableW(L"WINELOADER", value, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::wstring(value, length) : L"";
}

bool file_size_limits_available() {
  return !wine_loader().empty() && file_exists(L"Z:\\bin\\bash") &&
         file_exists(L"Z:\\usr\\bin\\env") && file_exists(L"Z:\\usr\\bin\\prlimit");
}

// LIMIT OUT ERR STATUS COMMAND...: COMMAND with a file-size limit and SIGXFSZ ignored, so that
// a write past the limit is cut short or fails instead of ending the process; its output
// through pipes, since files it wrote itself would be cut as well; its status written last.
const char limit_script[] = R"(PATH=/usr/bin:/bin
limit=$1 out=$2 err=$3 status=$4
shift 4
{ { env --ignore-signal=XFSZ prlimit --fsize="$limit" "$@"; echo $? >"$status.part"; } \
  2>&1 1>&3 3>&- | cat >"$err"; } 3>&1 | cat >"$out"
mv "$status.part" "$status"
)";

std::string without_carriage_returns(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

// The unpack probe under a file-size limit, the way a full disk cuts writes short, in a
// nested Wine started by a Unix shell. Wine does not wait for Unix programs, so the
// status file is waited for instead; the shared folder lies where both sides see it.
ProcessResult run_with_file_size_limit(Unpacker& unpacker, const std::string& block,
                                       uint64_t limit) {
  std::wstring name = L"kovran-limit-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                      std::to_wstring(GetTickCount());
  std::wstring shared = L"Z:\\tmp\\" + name, unix_shared = L"/tmp/" + name;
  CreateDirectoryW(shared.c_str(), nullptr);
  write_file(shared + L"\\limit.sh", limit_script);
  std::wstring line = L"Z:\\bin\\bash " + unix_shared + L"/limit.sh " + std::to_wstring(limit) +
                      L" " + unix_shared + L"/out " + unix_shared + L"/err " + unix_shared +
                      L"/status " + wine_loader() + L" " + unpacker.command_line(block);
  ProcessResult result = run_process(line);
  for (int waited = 0; !file_exists(shared + L"\\status") && waited < 600; ++waited) Sleep(100);
  if (file_exists(shared + L"\\status")) {
    result.exit_code = std::stoul(read_file(shared + L"\\status"));
    result.out = without_carriage_returns(read_file(shared + L"\\out"));
    result.err = without_carriage_returns(read_file(shared + L"\\err"));
  } else {
    result.timed_out = true;
    result.exit_code = 0xFFFFFFFF;
  }
  remove_tree(shared);
  return result;
}

void expect_write_failure(const ProcessResult& result) {
  EXPECT_EQ(result.exit_code, 2u) << result.out << result.err;
  EXPECT_EQ(result.out, "");  // no "child=": the child would not start
  EXPECT_EQ(result.err.rfind(write_message, 0), 0u) << result.err;
  EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
}

void expect_decode_failure(const ProcessResult& result) {
  EXPECT_EQ(result.exit_code, 2u);
  EXPECT_EQ(result.err, decode_message);
  EXPECT_EQ(result.out, "");
}

TEST(UnpackIntegrity, WritesCutShortByTheSystemFailWithTheWriteMessage) {
  if (!file_size_limits_available()) GTEST_SKIP() << "needs Wine's Unix programs env, prlimit";
  {
    SCOPED_TRACE("a small file, written by a worker in one call");
    Unpacker unpacker;
    // An out-of-date file behind it is not opened once the write has failed.
    ASSERT_TRUE(CreateDirectoryW(unpacker.target.c_str(), nullptr));
    write_file(unpacker.path(L"old.txt"), "old");
    ProcessResult result = run_with_file_size_limit(
        unpacker,
        build_block(build_archive(
            {{L"main.exe", noise(100000, 1)}, {L"after.txt", "after"}, {L"old.txt", "new"}})),
        65536);
    expect_write_failure(result);
    EXPECT_EQ(result.err.rfind(write_message + "112] ", 0), 0u) << result.err;
    EXPECT_FALSE(file_exists(unpacker.path(L"after.txt")));
    EXPECT_EQ(read_file(unpacker.path(L"old.txt")), "old");
  }
  {
    SCOPED_TRACE("a large file, written by the main thread in pieces");
    Unpacker unpacker;
    ProcessResult result = run_with_file_size_limit(
        unpacker,
        build_block(build_archive(
            {{L"main.exe", "MZ"}, {L"big.bin", noise(300000, 2)}, {L"after.txt", "after"}})),
        280 * 1024);
    expect_write_failure(result);
    EXPECT_EQ(read_file(unpacker.path(L"main.exe")), "MZ");
    EXPECT_FALSE(file_exists(unpacker.path(L"after.txt")));
  }
}

// Under the stamp rule a file gets the stamp only once it is written whole: one cut short
// is left without it, for the next start to check and rewrite.
TEST(UnpackIntegrity, UnderTheStampRuleAWriteCutShortLeavesNoStamp) {
  if (!file_size_limits_available()) GTEST_SKIP() << "needs Wine's Unix programs env, prlimit";
  constexpr uint64_t stamp = 119916288000000000ULL + 2 * 10000000ULL * 1234567;
  for (size_t size : {100000, 300000}) {  // a worker's file, the main thread's
    SCOPED_TRACE(size);
    Unpacker unpacker;
    unpacker.stamp = stamp;
    ProcessResult result = run_with_file_size_limit(
        unpacker, build_block(build_archive({{L"main.exe", "MZ"}, {L"cut.bin", noise(size, 10)}})),
        65536);
    expect_write_failure(result);
    EXPECT_EQ(write_time(unpacker.path(L"main.exe")), stamp);
    EXPECT_TRUE(file_exists(unpacker.path(L"cut.bin")));
    EXPECT_NE(write_time(unpacker.path(L"cut.bin")), stamp);
  }
}

// With nothing writable every write fails, those of the files made out of turn for the
// entries behind the first as well; and the failure may first be seen when the main thread
// itself ends the process, here at a name too long for its buffer.
TEST(UnpackIntegrity, NoFileMadeOutOfTurnOutlivesAnEarlierFailedWrite) {
  if (!file_size_limits_available()) GTEST_SKIP() << "needs Wine's Unix programs env, prlimit";
  std::vector<ArchiveEntry> entries = {
      {L"main.exe", "MZ program"}, {L"a.txt", "a"}, {L"d\\b.txt", "b"}, {L"c.txt", "c"}};
  std::vector<ArchiveEntry> then_aborted = entries;
  then_aborted.push_back({std::wstring(1024, L'n'), "never"});
  for (const auto& archive : {entries, then_aborted}) {
    SCOPED_TRACE(archive.size());
    Unpacker unpacker;
    // Under a limit of 0 the captured output cannot be written either; the status tells.
    ProcessResult result =
        run_with_file_size_limit(unpacker, build_block(build_archive(archive)), 0);
    EXPECT_EQ(result.exit_code, 2u);
    EXPECT_TRUE(file_exists(unpacker.path(L"main.exe")));
    for (const wchar_t* later : {L"a.txt", L"d\\b.txt", L"c.txt"}) {
      EXPECT_FALSE(file_exists(unpacker.path(later))) << narrow_utf8(later);
    }
  }
}

// An out-of-date file is written after its turn to open has passed, so later entries may
// be done before its write fails; their new files go all the same. A race: a few rounds.
TEST(UnpackIntegrity, NoNewFileOutlivesAFailedRewriteOfAnEarlierFile) {
  if (!file_size_limits_available()) GTEST_SKIP() << "needs Wine's Unix programs env, prlimit";
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    Unpacker unpacker;
    std::vector<ArchiveEntry> entries = {{L"main.exe", "MZ program"}, {L"grows.bin", "small"}};
    ProcessResult first = unpacker.run(entries);
    ASSERT_EQ(first.exit_code, 0u) << first.out << first.err;
    entries[1].data = noise(120000, 3);
    for (int i = 0; i < 40; ++i) entries.push_back({L"new" + std::to_wstring(i) + L".txt", "n"});
    ProcessResult result =
        run_with_file_size_limit(unpacker, build_block(build_archive(entries)), 65536);
    expect_write_failure(result);
    EXPECT_EQ(read_file(unpacker.path(L"main.exe")), "MZ program");
    for (size_t i = 2; i < entries.size(); ++i) {
      ASSERT_FALSE(file_exists(unpacker.path(entries[i].name))) << narrow_utf8(entries[i].name);
    }
  }
}

TEST(UnpackIntegrity, EntryWhoseBytesDifferFromItsChecksumEndsTheStartBeforeTheChild) {
  const std::string big = noise(300000, 4);
  {
    SCOPED_TRACE("a small entry: not written, nor anything after it");
    Unpacker unpacker;
    ProcessResult result = unpacker.run(
        block_without_frame_checksum({{L"main.exe", "MZ program"},
                                      {L"a.txt", "before"},
                                      with_checksum({L"bad.txt", "damaged"}, 0x12345678),
                                      {L"c.txt", "after"},
                                      {L"d\\e.txt", "after"}}));
    expect_decode_failure(result);
    EXPECT_EQ(read_file(unpacker.path(L"a.txt")), "before");
    for (const wchar_t* name : {L"bad.txt", L"c.txt", L"d\\e.txt"}) {
      EXPECT_FALSE(file_exists(unpacker.path(name))) << narrow_utf8(name);
    }
  }
  {
    SCOPED_TRACE("a large entry, written as it is decoded: removed again");
    Unpacker unpacker;
    ProcessResult result =
        unpacker.run(block_without_frame_checksum({{L"main.exe", "MZ program"},
                                                   with_checksum({L"big.bin", big}, 0x12345678),
                                                   {L"c.txt", "after"}}));
    expect_decode_failure(result);
    EXPECT_EQ(read_file(unpacker.path(L"main.exe")), "MZ program");
    EXPECT_FALSE(file_exists(unpacker.path(L"big.bin")));
    EXPECT_FALSE(file_exists(unpacker.path(L"c.txt")));
  }
  {
    SCOPED_TRACE("over files of an earlier start: the small one stays, the large one goes");
    Unpacker unpacker;
    ASSERT_EQ(
        unpacker.run({{L"main.exe", "MZ"}, {L"old.txt", "old"}, {L"big.bin", "old"}}).exit_code,
        0u);
    ProcessResult result = unpacker.run(block_without_frame_checksum(
        {{L"main.exe", "MZ"}, with_checksum({L"old.txt", "new"}, 0x12345678), {L"big.bin", big}}));
    expect_decode_failure(result);
    EXPECT_EQ(read_file(unpacker.path(L"old.txt")), "old");
    ProcessResult large = unpacker.run(block_without_frame_checksum(
        {{L"main.exe", "MZ"}, {L"old.txt", "old"}, with_checksum({L"big.bin", big}, 7)}));
    expect_decode_failure(large);
    EXPECT_FALSE(file_exists(unpacker.path(L"big.bin")));
  }
  {
    SCOPED_TRACE("the main program itself");
    Unpacker unpacker;
    ProcessResult result = unpacker.run(block_without_frame_checksum(
        {with_checksum({L"main.exe", "MZ program"}, 1), {L"a.txt", "after"}}));
    expect_decode_failure(result);
    EXPECT_FALSE(file_exists(unpacker.path(L"main.exe")));
    EXPECT_FALSE(file_exists(unpacker.path(L"a.txt")));
  }
}

// Only bytes that are written are checked: a file kept because it matches the stored
// checksum costs no CRC-32 of its entry, so a warm start is no slower.
TEST(UnpackIntegrity, FilesKeptByTheirChecksumAreNotCheckedAgainstTheEntrysBytes) {
  Unpacker unpacker;
  std::string big = noise(300000, 5);
  ASSERT_EQ(
      unpacker.run({{L"main.exe", "MZ"}, {L"small.txt", "kept"}, {L"big.bin", big}}).exit_code, 0u);
  uint32_t small_crc = crc32_buffer("kept", 4);
  uint32_t big_crc = crc32_buffer(big.data(), big.size());
  std::string other_big = big;
  other_big[1000] ^= 1;
  ProcessResult result =
      unpacker.run(block_without_frame_checksum({{L"main.exe", "MZ"},
                                                 with_checksum({L"small.txt", "evil"}, small_crc),
                                                 with_checksum({L"big.bin", other_big}, big_crc)}));
  EXPECT_EQ(result.exit_code, 0u) << result.out << result.err;
  EXPECT_EQ(read_file(unpacker.path(L"small.txt")), "kept");
  EXPECT_TRUE(read_file(unpacker.path(L"big.bin")) == big);
}

// Writers store 1 for data whose CRC-32 is 0, and 0 when they stored no checksum; both
// have always been unpacked, by a worker and by the main thread alike.
TEST(UnpackIntegrity, StoredOneForACrcOfZeroAndZeroForNoChecksumAreWritten) {
  Unpacker unpacker;
  std::vector<ArchiveEntry> entries = {
      {L"main.exe", "MZ program"},
      with_checksum({L"zero-small.bin", bytes_with_zero_crc(64)}, 1),
      with_checksum({L"zero-large.bin", bytes_with_zero_crc(200000)}, 1),
      with_checksum({L"none-small.txt", "no checksum stored"}, 0),
      with_checksum({L"none-large.bin", noise(200000, 6)}, 0),
      with_checksum({L"empty.txt", ""}, 0)};
  ProcessResult result = unpacker.run(block_without_frame_checksum(entries));
  ASSERT_EQ(result.exit_code, 0u) << result.out << result.err;
  for (const auto& entry : entries) {
    EXPECT_TRUE(read_file(unpacker.path(entry.name)) == entry.data) << narrow_utf8(entry.name);
  }
}

TEST(UnpackIntegrity, FrameIsReadToItsEndAndItsChecksumChecked) {
  std::string archive = build_archive({{L"main.exe", "MZ program"}, {L"a.txt", "intact"}});
  {
    SCOPED_TRACE("a frame checksum that does not match, after the archive's terminator");
    std::string frame = compressed_frame(archive, 3, true);
    frame[frame.size() - 2] ^= 0x10;
    Unpacker unpacker;
    expect_decode_failure(unpacker.run(payload_block(frame)));
  }
  {
    SCOPED_TRACE("content after the terminator");
    Unpacker unpacker;
    expect_decode_failure(unpacker.run(payload_block(compressed_frame(archive + "more", 3, true))));
  }
  {
    SCOPED_TRACE("a frame cut after the block that ends with the terminator");
    // 30 bytes of entry header and 2 of terminator fill the first raw block exactly.
    std::string whole_block = build_archive({{L"main.exe", noise(131072 - 32, 8)}});
    std::string frame = raw_frame(whole_block + "next block");
    Unpacker unpacker;
    expect_decode_failure(
        unpacker.run(payload_block(frame.substr(0, raw_frame_header_size + 3 + 131072))));
  }
}

// An archive that fills whole windows ends its frame in a window of its own, empty.
TEST(UnpackIntegrity, ArchiveEndingWithAWindowIsReadToItsFrameEnd) {
  constexpr size_t window = 131072;
  // Name of 8 units, its terminator, size and checksum: 30 bytes; the archive's terminator 2.
  std::vector<ArchiveEntry> entries = {{L"main.exe", noise(2 * window - 32, 7)}};
  std::string archive = build_archive(entries);
  ASSERT_EQ(archive.size(), 2 * window);
  for (bool checksum : {false, true}) {
    SCOPED_TRACE(checksum);
    Unpacker unpacker;
    ProcessResult result = unpacker.run(payload_block(compressed_frame(archive, 3, checksum)));
    ASSERT_EQ(result.exit_code, 0u) << result.out << result.err;
    EXPECT_TRUE(read_file(unpacker.path(L"main.exe")) == entries[0].data);
  }
}

}  // namespace
