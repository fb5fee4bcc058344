#pragma once
#include <cstdint>
#include <istream>
#include <string>

#include "pack/pack_error.h"

namespace pack {

// A fault of the frame as a whole, such as its content checksum, which the decoder finds
// wherever it stands: no entry's.
class FrameFault : public PackError {
 public:
  using PackError::PackError;
};

// What a payload's zstd frame header says about it.
struct FrameFacts {
  uint64_t window_size = 0;
  bool has_checksum = false;
  bool has_content_size = false;
  uint64_t content_size = 0;
};

struct EntryHeader {
  std::u16string name;
  uint64_t size = 0;
  uint32_t checksum = 0;
};

// Receives the archive's entries in order while the frame is decoded; may throw.
class EntryVisitor {
 public:
  virtual ~EntryVisitor() = default;
  virtual void begin(const EntryHeader& entry) = 0;
  virtual void data(const unsigned char* bytes, size_t size) = 0;
  virtual void end() = 0;
};

// Reads a payload block of length bytes from in ("QVJ", one zstd frame, zero fill,
// trailer), decoding as the launcher does: a default decoder, window at most 2^27.
// Nothing is held whole. Throws PackError naming the entry being read, or the frame,
// or the block's end, at the first fault.
FrameFacts read_payload(std::istream& in, uint64_t length, EntryVisitor& visitor);

// The frame header alone, from the block's first bytes.
FrameFacts read_frame_facts(std::istream& in, uint64_t length);

}  // namespace pack
