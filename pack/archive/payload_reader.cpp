#define ZSTD_STATIC_LINKING_ONLY  // ZSTD_getFrameHeader
#include "pack/archive/payload_reader.h"

#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "pack/pack_error.h"
#include "pack/scan/utf.h"

namespace pack {
namespace {

constexpr unsigned char magic[3] = {'Q', 'V', 'J'};
constexpr size_t max_name_units = 1023;

// The block's bytes in order, never past its length.
class BlockInput {
 public:
  BlockInput(std::istream& in, uint64_t length) : in_(in), left_(length) {}
  size_t read(unsigned char* to, size_t want) {
    if (want > left_) want = static_cast<size_t>(left_);
    in_.read(reinterpret_cast<char*>(to), static_cast<std::streamsize>(want));
    size_t got = static_cast<size_t>(in_.gcount());
    if (got != want) throw PackError("payload block: the file is shorter than its record says");
    left_ -= got;
    return got;
  }
  uint64_t left() const { return left_; }

 private:
  std::istream& in_;
  uint64_t left_;
};

// The frame's decompressed content, read by exact counts.
class FrameReader {
 public:
  explicit FrameReader(BlockInput& input)
      : input_(input), context_(ZSTD_createDCtx(), ZSTD_freeDCtx), in_(1 << 17), out_(1 << 17) {
    if (!context_) throw PackError("zstd: out of memory");
  }

  void prime(const unsigned char* bytes, size_t size) {
    std::copy(bytes, bytes + size, in_.begin());
    in_buffer_ = {in_.data(), size, 0};
  }

  // Whether size bytes could be read; false only at the frame's end.
  bool read(unsigned char* to, size_t size) {
    while (size > 0) {
      if (out_pos_ == out_end_ && !decode_more()) return false;
      size_t n = std::min(size, out_end_ - out_pos_);
      std::copy(out_.data() + out_pos_, out_.data() + out_pos_ + n, to);
      out_pos_ += n, to += n, size -= n;
    }
    return true;
  }

  // Decodes to the frame's end, which checks the content checksum; whether any
  // content was left.
  bool drain() {
    bool extra = out_pos_ != out_end_;
    while (decode_more()) extra = true;
    return extra;
  }

  // Bytes taken from the block but not part of the frame.
  std::vector<unsigned char> unread_input() const {
    const unsigned char* from = in_.data() + in_buffer_.pos;
    return std::vector<unsigned char>(from, in_.data() + in_buffer_.size);
  }

 private:
  bool decode_more() {
    out_pos_ = out_end_ = 0;
    while (out_end_ == 0) {
      if (ended_) return false;
      if (in_buffer_.pos == in_buffer_.size) {
        size_t got = input_.read(in_.data(), in_.size());
        if (got == 0) throw PackError("frame: cut short, the block ends inside it");
        in_buffer_ = {in_.data(), got, 0};
      }
      ZSTD_outBuffer output{out_.data(), out_.size(), 0};
      size_t result = ZSTD_decompressStream(context_.get(), &output, &in_buffer_);
      if (ZSTD_getErrorCode(result) == ZSTD_error_checksum_wrong) {
        throw FrameFault("frame: its content does not match its checksum");
      }
      if (ZSTD_isError(result)) {
        throw PackError(std::string("frame: damaged (") + ZSTD_getErrorName(result) + ")");
      }
      out_end_ = output.pos;
      if (result == 0) ended_ = true;
    }
    return true;
  }

  BlockInput& input_;
  std::unique_ptr<ZSTD_DCtx, size_t (*)(ZSTD_DCtx*)> context_;
  std::vector<unsigned char> in_;
  std::vector<unsigned char> out_;
  ZSTD_inBuffer in_buffer_{nullptr, 0, 0};
  size_t out_pos_ = 0;
  size_t out_end_ = 0;
  bool ended_ = false;
};

uint64_t get_le64(const unsigned char* at, int bytes) {
  uint64_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | at[i];
  return value;
}

FrameFacts frame_facts(const unsigned char* head, size_t size) {
  if (size < sizeof magic || !std::equal(magic, magic + 3, head)) {
    throw PackError("payload block: no \"QVJ\" magic at its start");
  }
  ZSTD_frameHeader header{};
  size_t result = ZSTD_getFrameHeader(&header, head + 3, size - 3);
  if (ZSTD_isError(result) || result != 0 || header.frameType != ZSTD_frame) {
    throw PackError("frame: no zstd frame header after the magic");
  }
  FrameFacts facts;
  facts.window_size = header.windowSize;
  facts.has_checksum = header.checksumFlag != 0;
  facts.has_content_size = header.frameContentSize != ZSTD_CONTENTSIZE_UNKNOWN;
  facts.content_size = facts.has_content_size ? header.frameContentSize : 0;
  if (facts.window_size > (uint64_t{1} << 27)) {
    throw PackError("frame: window of " + std::to_string(facts.window_size) +
                    " bytes, more than the 2^27 the launcher's decoder accepts");
  }
  return facts;
}

std::u16string read_name(FrameReader& frame) {
  std::u16string name;
  for (;;) {
    unsigned char unit[2];
    if (!frame.read(unit, 2)) throw PackError("frame: the archive ends without its terminator");
    char16_t c = static_cast<char16_t>(unit[0] | (unit[1] << 8));
    if (c == 0) return name;
    if (name.size() == max_name_units) {
      throw PackError("archive: an entry name longer than " + std::to_string(max_name_units) +
                      " units");
    }
    name += c;
  }
}

void read_entry_data(FrameReader& frame, const EntryHeader& entry, EntryVisitor& visitor) {
  std::vector<unsigned char> chunk(1 << 16);
  for (uint64_t left = entry.size; left > 0;) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(left, chunk.size()));
    if (!frame.read(chunk.data(), n)) {
      throw PackError(utf16_to_utf8(entry.name) + ": the archive ends inside this entry");
    }
    visitor.data(chunk.data(), n);
    left -= n;
  }
}

// Zero fill of any length, then the trailer holding the number of bytes in front of it.
class BlockEnd {
 public:
  explicit BlockEnd(uint64_t size) : fill_(size - 8) {}
  void add(const unsigned char* bytes, size_t size) {
    for (size_t i = 0; i < size; ++i, ++seen_) {
      if (seen_ >= fill_) {
        trailer_[seen_ - fill_] = bytes[i];
      } else if (bytes[i] != 0) {
        throw PackError("payload block: bytes other than zero fill after the frame");
      }
    }
  }
  uint64_t trailer() const { return get_le64(trailer_, 8); }

 private:
  uint64_t fill_;
  uint64_t seen_ = 0;
  unsigned char trailer_[8] = {};
};

void check_block_end(FrameReader& frame, BlockInput& input, uint64_t length) {
  if (frame.drain()) throw PackError("frame: bytes after the archive's terminator");
  std::vector<unsigned char> rest = frame.unread_input();
  if (rest.size() + input.left() < 8) throw PackError("payload block: no trailer after the frame");
  BlockEnd end(rest.size() + input.left());
  end.add(rest.data(), rest.size());
  while (input.left() > 0) {
    rest.resize(static_cast<size_t>(std::min<uint64_t>(input.left(), 1 << 16)));
    end.add(rest.data(), input.read(rest.data(), rest.size()));
  }
  if (end.trailer() != length - 8) {
    throw PackError("payload block: the trailer does not hold the block's length");
  }
}

}  // namespace

FrameFacts read_frame_facts(std::istream& in, uint64_t length) {
  unsigned char head[3 + 18];
  BlockInput input(in, length);
  size_t got = input.read(head, sizeof head);
  return frame_facts(head, got);
}

FrameFacts read_payload(std::istream& in, uint64_t length, EntryVisitor& visitor) {
  BlockInput input(in, length);
  unsigned char head[3 + 18];
  size_t got = input.read(head, sizeof head);
  FrameFacts facts = frame_facts(head, got);
  FrameReader frame(input);
  frame.prime(head + 3, got - 3);
  for (;;) {
    EntryHeader entry;
    entry.name = read_name(frame);
    if (entry.name.empty()) break;
    unsigned char fields[12];
    if (!frame.read(fields, sizeof fields)) {
      throw PackError(utf16_to_utf8(entry.name) + ": the archive ends inside this entry");
    }
    entry.size = get_le64(fields, 8);
    entry.checksum = static_cast<uint32_t>(get_le64(fields + 8, 4));
    visitor.begin(entry);
    read_entry_data(frame, entry, visitor);
    visitor.end();
  }
  check_block_end(frame, input, length);
  return facts;
}

}  // namespace pack
