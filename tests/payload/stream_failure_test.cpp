// Blocks that end the process: run in payload_probe.exe, watched from outside.
#include <gtest/gtest.h>

#include <string>

#include "support/failure_catalogue.h"
#include "tests/harness/process.h"
#include "tests/harness/temp_dir.h"
#include "tests/payload/frames.h"

namespace {

const std::string header_message = std::string(failure_entry(FailureKind::no_header).before) + "\n";
const std::string decode_message = std::string(failure_entry(FailureKind::damaged).before) + "\n";

ProcessResult read_block(const std::string& block, size_t count) {
  TempDir dir;
  write_file(dir.file(L"block.bin"), block);
  std::wstring line = quote_argument(this_program_directory() + L"\\payload_probe.exe") + L" " +
                      quote_argument(dir.file(L"block.bin")) + L" " + std::to_wstring(count);
  ProcessOptions options;
  options.timeout_ms = 30000;  // a reader that loops for ever would run into this
  return run_process(line, options);
}

void expect_exit_with(const ProcessResult& result, const std::string& message) {
  EXPECT_FALSE(result.timed_out);
  EXPECT_EQ(result.exit_code, 2u);
  EXPECT_EQ(result.out, message);
  EXPECT_EQ(result.err, "");
}

TEST(PayloadProbe, ReadsAWellFormedArchiveToItsEnd) {
  std::string archive = sample_bytes(70000);
  ProcessResult result = read_block(payload_block(compressed_frame(archive)), archive.size());
  EXPECT_EQ(result.exit_code, 0u);
  EXPECT_EQ(result.out, "read 70000\n");
  EXPECT_EQ(result.err, "");
}

TEST(PayloadHeader, RejectsAWrongByteAtAnyOfTheThreePlaces) {
  std::string block = payload_block(raw_frame("data"));
  for (size_t i = 0; i < 3; ++i) {
    std::string damaged = block;
    damaged[i] = static_cast<char>(damaged[i] ^ 0x20);  // "qVJ", "QvJ", "QVj"
    SCOPED_TRACE(i);
    expect_exit_with(read_block(damaged, 4), header_message);
  }
}

TEST(PayloadHeader, RejectsABlockShorterThanTheMagic) {
  expect_exit_with(read_block("QV", 1), header_message);
  expect_exit_with(read_block("", 1), header_message);
}

TEST(PayloadRead, StopsWithTheDecodeMessageOnAReadPastTheArchive) {
  std::string archive = sample_bytes(1000);
  expect_exit_with(read_block(payload_block(compressed_frame(archive)), 1001), decode_message);
  // Without zero fill and trailer all input is consumed before the read is complete.
  expect_exit_with(read_block("QVJ" + compressed_frame(archive), 1001), decode_message);
  expect_exit_with(read_block("QVJ" + raw_frame(archive), 1001), decode_message);
}

TEST(PayloadRead, StopsWithTheDecodeMessageOnADamagedFrame) {
  std::string archive = sample_bytes(3 * 131072, 5);
  std::string frame = raw_frame(archive);
  // The third block's header gets the reserved block type, after two whole windows.
  size_t third = raw_frame_header_size + 2 * (3 + 131072);
  frame[third] = static_cast<char>(frame[third] | 0x06);
  expect_exit_with(read_block(payload_block(frame), archive.size()), decode_message);

  std::string compressed = compressed_frame(archive, 3, true);
  compressed[compressed.size() / 2] = static_cast<char>(compressed[compressed.size() / 2] ^ 0x55);
  expect_exit_with(read_block(payload_block(compressed), archive.size()), decode_message);
}

TEST(PayloadRead, StopsWithTheDecodeMessageOnAWindowAboveTheDecoderLimit) {
  // Window descriptor 0x90: 2^28 bytes, past the default limit of 2^27.
  expect_exit_with(read_block(payload_block(raw_frame_with_window("data", 0x90)), 4),
                   decode_message);
}

TEST(PayloadRead, StopsWithTheDecodeMessageOnATruncatedFrameInsteadOfWaiting) {
  std::string archive = sample_bytes(200000, 6);
  std::string compressed = compressed_frame(archive);
  std::string raw = raw_frame(archive);
  // The decoder takes zero fill and trailer as part of the cut-off block and then waits
  // for input that never comes.
  expect_exit_with(
      read_block(payload_block(compressed.substr(0, compressed.size() / 2)), archive.size()),
      decode_message);
  expect_exit_with(read_block(payload_block(raw.substr(0, 150000)), archive.size()),
                   decode_message);
  expect_exit_with(read_block("QVJ" + compressed.substr(0, compressed.size() - 10), archive.size()),
                   decode_message);
}

}  // namespace
