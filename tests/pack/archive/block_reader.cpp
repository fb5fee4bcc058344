#include "tests/pack/archive/block_reader.h"

#include <zlib.h>
#include <zstd.h>

#include "support/constants_record.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace pack_test {
namespace {

constexpr size_t kept_data_limit = 1 << 20;

uint64_t le64(const unsigned char* p) {
  uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = (value << 8) | p[i];
  return value;
}

// Pulls exact byte counts out of a zstd frame, whatever the decoder's chunking.
class FrameStream {
 public:
  FrameStream(const unsigned char* frame, size_t size)
      : context_(ZSTD_createDCtx(), ZSTD_freeDCtx), input_{frame, size, 0}, window_(1 << 17) {}

  // False when the frame ends (or fails) before count bytes.
  bool read(void* out, size_t count) {
    unsigned char* target = static_cast<unsigned char*>(out);
    while (count > 0) {
      if (available_ == 0 && !refill()) return false;
      size_t take = std::min(count, available_);
      if (target) std::memcpy(target, window_.data() + start_, take), target += take;
      start_ += take, available_ -= take, count -= take;
      total_ += take;
    }
    return true;
  }

  bool at_end() { return available_ == 0 && !refill(); }
  uint64_t total() const { return total_; }
  const std::string& error() const { return error_; }

 private:
  bool refill() {
    while (input_.pos < input_.size || !flushed_) {
      ZSTD_outBuffer output{window_.data(), window_.size(), 0};
      size_t result = ZSTD_decompressStream(context_.get(), &output, &input_);
      if (ZSTD_isError(result)) return error_ = ZSTD_getErrorName(result), false;
      flushed_ = result == 0 && output.pos < output.size;
      if (output.pos > 0) return start_ = 0, available_ = output.pos, true;
      if (input_.pos == input_.size) break;
    }
    return false;
  }

  std::unique_ptr<ZSTD_DCtx, size_t (*)(ZSTD_DCtx*)> context_;
  ZSTD_inBuffer input_;
  std::vector<unsigned char> window_;
  size_t start_ = 0;
  size_t available_ = 0;
  uint64_t total_ = 0;
  bool flushed_ = false;
  std::string error_;
};

bool read_entry(FrameStream& stream, ReadEntry& entry, bool& terminator) {
  for (;;) {
    unsigned char unit[2];
    if (!stream.read(unit, 2)) return false;
    char16_t c = static_cast<char16_t>(unit[0] | (unit[1] << 8));
    if (c == 0) break;
    entry.name += c;
  }
  if (entry.name.empty()) return terminator = true, true;
  unsigned char fields[12];
  if (!stream.read(fields, 12)) return false;
  entry.size = le64(fields);
  entry.stored_checksum = static_cast<uint32_t>(fields[8] | fields[9] << 8 | fields[10] << 16 |
                                                static_cast<uint32_t>(fields[11]) << 24);
  std::vector<unsigned char> chunk(1 << 20);
  uLong crc = crc32(0, nullptr, 0);
  for (uint64_t left = entry.size; left > 0;) {
    size_t take = static_cast<size_t>(std::min<uint64_t>(left, chunk.size()));
    if (!stream.read(chunk.data(), take)) return false;
    crc = crc32_z(crc, chunk.data(), take);
    if (entry.size <= kept_data_limit) entry.data.append(chunk.begin(), chunk.begin() + take);
    left -= take;
  }
  entry.data_crc = static_cast<uint32_t>(crc);
  return true;
}

// The frame header as RFC 8878 lays it out: the window a decoder must hold, and
// whether a content checksum follows the data.
bool read_frame_header(const unsigned char* frame, size_t size, ReadBlock& result) {
  if (size < 6) return false;
  unsigned descriptor = frame[4];
  bool single_segment = (descriptor & 0x20) != 0;
  result.has_checksum = (descriptor & 0x04) != 0;
  static const size_t dictionary_sizes[] = {0, 1, 2, 4};
  static const size_t content_sizes[] = {0, 2, 4, 8};
  size_t at = 5;
  uint64_t window = 0;
  if (!single_segment) {
    unsigned exponent = frame[at] >> 3, mantissa = frame[at] & 7;
    uint64_t base = uint64_t{1} << (10 + exponent);
    window = base + base / 8 * mantissa;
    ++at;
  }
  at += dictionary_sizes[descriptor & 3];
  size_t fcs_bytes = content_sizes[descriptor >> 6];
  if ((descriptor >> 6) == 0 && single_segment) fcs_bytes = 1;
  if (at + fcs_bytes > size) return false;
  if (single_segment) {
    for (size_t i = fcs_bytes; i-- > 0;) window = (window << 8) | frame[at + i];
    if (fcs_bytes == 2) window += 256;
  }
  while ((uint64_t{1} << result.window_log) < window) ++result.window_log;
  return true;
}

}  // namespace

ReadBlock read_block(const std::vector<unsigned char>& block) {
  ReadBlock result;
  if (block.size() < 3 + 8) return result.error = "block too short", result;
  result.magic_ok = std::memcmp(block.data(), "QVJ", 3) == 0;
  const unsigned char* frame = block.data() + 3;
  size_t frame_room = block.size() - 3;
  size_t frame_size = ZSTD_findFrameCompressedSize(frame, frame_room);
  if (ZSTD_isError(frame_size)) return result.error = "no zstd frame", result;
  result.frame_size = frame_size;
  if (!read_frame_header(frame, frame_room, result))
    return result.error = "bad frame header", result;

  result.trailer_offset = block.size() - 8;
  result.trailer = le64(block.data() + result.trailer_offset);
  result.fill_is_zero = true;
  for (size_t i = 3 + frame_size; i < result.trailer_offset; ++i)
    result.fill_is_zero &= block[i] == 0;

  FrameStream stream(frame, frame_size);
  for (bool terminator = false; !terminator;) {
    ReadEntry entry;
    if (!read_entry(stream, entry, terminator)) {
      result.error = "archive ends early " + stream.error();
      return result;
    }
    if (!terminator) result.entries.push_back(std::move(entry));
  }
  result.archive_size = stream.total();
  result.ends_at_terminator = stream.at_end() && stream.error().empty();
  return result;
}

RecordInImage constants_in_executable(const std::vector<unsigned char>& exe) {
  const unsigned char* begin = exe.data();
  const unsigned char* end = begin + exe.size();
  const unsigned char* marker =
      std::search(begin, end, std::begin(constants_marker), std::end(constants_marker));
  if (marker == end) throw std::runtime_error("no constants record in the executable");
  if (std::search(marker + 1, end, std::begin(constants_marker), std::end(constants_marker)) !=
      end) {
    throw std::runtime_error("two constants records in the executable");
  }
  RecordInImage record;
  record.offset = static_cast<size_t>(marker - begin);
  if (record.offset + sizeof(ConstantsRecord) > exe.size()) throw std::runtime_error("cut short");
  record.payload_rva = static_cast<uint32_t>(le64(marker + 16) & 0xFFFFFFFFu);
  record.payload_length = le64(marker + 24);
  auto text = [&](size_t at, size_t capacity) {
    std::u16string out;
    for (size_t i = 0; i < capacity && (marker[at + 2 * i] | marker[at + 2 * i + 1]); ++i) {
      out += static_cast<char16_t>(marker[at + 2 * i] | marker[at + 2 * i + 1] << 8);
    }
    return out;
  };
  record.spec = text(offsetof(ConstantsRecord, target_spec), record_spec_capacity);
  record.version = text(offsetof(ConstantsRecord, version_string), record_version_capacity);
  return record;
}

std::vector<unsigned char> block_in_executable(const std::vector<unsigned char>& exe) {
  RecordInImage record = constants_in_executable(exe);
  auto u32 = [&](size_t at) -> uint64_t {
    if (at + 4 > exe.size()) throw std::runtime_error("headers cut short");
    return exe[at] | exe[at + 1] << 8 | exe[at + 2] << 16 | uint64_t{exe[at + 3]} << 24;
  };
  size_t pe = u32(0x3C);
  size_t sections = exe.at(pe + 6) | exe.at(pe + 7) << 8;
  size_t table = pe + 24 + (exe.at(pe + 20) | exe.at(pe + 21) << 8);
  for (size_t i = 0; i < sections; ++i) {
    size_t header = table + 40 * i;
    uint64_t virtual_size = u32(header + 8);
    uint64_t rva = u32(header + 12);
    uint64_t raw = u32(header + 20);
    if (record.payload_rva < rva ||
        record.payload_rva + record.payload_length > rva + virtual_size) {
      continue;
    }
    uint64_t at = raw + (record.payload_rva - rva);
    if (at + record.payload_length > exe.size()) throw std::runtime_error("payload past the file");
    return std::vector<unsigned char>(
        exe.begin() + static_cast<ptrdiff_t>(at),
        exe.begin() + static_cast<ptrdiff_t>(at + record.payload_length));
  }
  throw std::runtime_error("no section holds the payload");
}

}  // namespace pack_test
