#include "payload/stream.h"

#include <gtest/gtest.h>

#include <string>

#include "payload/container.h"
#include "payload/decode_ahead_state.h"
#include "tests/payload/frames.h"

namespace {

constexpr size_t window = 131072;

// Opens the stream over a block that lives as long as the reader.
class Reader {
 public:
  explicit Reader(std::string block) : block_(std::move(block)) {
    payload_attach(stream, reinterpret_cast<const unsigned char*>(block_.data()), block_.size());
    EXPECT_TRUE(check_payload_header(stream));
    EXPECT_TRUE(payload_open(stream, ahead_));
  }
  ~Reader() { payload_close(stream); }

  std::string read(size_t count) {
    std::string bytes(count, '\0');
    EXPECT_TRUE(payload_read(stream, bytes.data(), count));
    return bytes;
  }
  size_t unread_in_window() const { return stream.output.size - stream.output.pos; }

  PayloadStream stream{};

 private:
  std::string block_;
  DecodeAhead ahead_{};
};

TEST(PayloadRead, DeliversACompressedArchiveInPiecesOfAnySize) {
  std::string archive = sample_bytes(3 * window + 1234);
  Reader reader(payload_block(compressed_frame(archive)));
  std::string read;
  // The unpacker's mix: name units, sizes, checksums and 32 KiB pieces of data.
  const size_t pieces[] = {2, 2, 8, 4, 32768, 1, 32768, 100000, 3};
  for (size_t i = 0; read.size() < archive.size(); ++i) {
    read += reader.read(std::min(pieces[i % 9], archive.size() - read.size()));
  }
  EXPECT_TRUE(read == archive);
}

TEST(PayloadRead, PutsTogetherFieldsThatStraddleTheWindowBoundary) {
  std::string archive = sample_bytes(3 * window, 2);
  Reader reader(payload_block(compressed_frame(archive)));

  EXPECT_EQ(reader.read(window - 1), archive.substr(0, window - 1));
  ASSERT_EQ(reader.unread_in_window(), 1u);  // the decoder fills whole windows
  EXPECT_EQ(reader.read(2), archive.substr(window - 1, 2));
  EXPECT_EQ(reader.unread_in_window(), window - 1);

  EXPECT_EQ(reader.read(window - 1 - 100), archive.substr(window + 1, window - 101));
  ASSERT_EQ(reader.unread_in_window(), 100u);
  EXPECT_EQ(reader.read(32768), archive.substr(2 * window - 100, 32768));
  EXPECT_EQ(reader.unread_in_window(), window - 32668);
}

TEST(PayloadRead, ReadsTheLastByteOfAnArchiveThatFillsWholeWindows) {
  std::string archive = sample_bytes(2 * window, 3);
  Reader reader(payload_block(raw_frame(archive)));
  EXPECT_EQ(reader.read(2 * window - 1), archive.substr(0, 2 * window - 1));
  EXPECT_EQ(reader.read(1), archive.substr(2 * window - 1));
}

TEST(PayloadRead, GoesOnAfterDecoderCallsThatProduceNothing) {
  // An empty frame and a skippable frame each end a decoder call without output.
  std::string frames = raw_frame("") + skippable_frame("ignored") + raw_frame("content");
  Reader reader(payload_block(frames));
  EXPECT_EQ(reader.read(7), "content");
}

TEST(PayloadRead, DrainsTheDecoderAfterItHasConsumedAllInput) {
  // A frame cut inside its second block, with nothing after it: the first decoder call
  // takes all input and keeps what does not fit the window, so the read has to call
  // the decoder again although no input is left.
  std::string archive = sample_bytes(window + 100000, 7);
  std::string frame = raw_frame(archive + std::string(window, 'x'));
  Reader reader("QVJ" + frame.substr(0, raw_frame_header_size + 3 + window + 3 + 100000));
  EXPECT_EQ(reader.read(archive.size()), archive);
  EXPECT_EQ(reader.stream.input.pos, reader.stream.input.size);
}

TEST(PayloadRead, DrainsTheDecoderWhenAReadEndsExactlyAtAFullWindow) {
  // As above, but the first read takes exactly the first window: what the decoder
  // still holds must be found by the next read, not taken for a cut archive.
  std::string archive = sample_bytes(window + 100000, 8);
  std::string frame = raw_frame(archive + std::string(window, 'x'));
  Reader reader("QVJ" + frame.substr(0, raw_frame_header_size + 3 + window + 3 + 100000));
  EXPECT_EQ(reader.read(window), archive.substr(0, window));
  EXPECT_EQ(reader.read(100000), archive.substr(window));
}

TEST(PayloadRead, NeedsNoZeroFillOrTrailerForAWellFormedArchive) {
  std::string archive = sample_bytes(5000, 4);
  std::string frame = compressed_frame(archive, 3, true);
  Reader reader("QVJ" + frame);
  EXPECT_EQ(reader.read(archive.size()), archive);
}

}  // namespace
