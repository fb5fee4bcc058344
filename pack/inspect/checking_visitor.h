#pragma once
#include <cstdint>
#include <string>

#include "pack/archive/payload_reader.h"

namespace pack {

// Checks every entry's name by the rule the launcher unpacks by, and its data against
// its stored CRC-32 as it is decoded, and counts.
class CheckingVisitor : public EntryVisitor {
 public:
  void begin(const EntryHeader& entry) override;
  void data(const unsigned char* bytes, size_t size) override;
  void end() override;
  // "NAME: " while inside an entry, to name where a decoding fault happened; nothing for
  // a fault of the whole frame.
  std::string where(const PackError& fault) const;
  uint64_t files() const { return files_; }
  uint64_t bytes() const { return bytes_; }
  // Entries whose writer stored no checksum (0), so that their data was not checked.
  uint64_t unchecked() const { return unchecked_; }

 protected:
  const EntryHeader& current() const { return current_; }

 private:
  EntryHeader current_;
  uint32_t crc_ = 0;
  bool inside_ = false;
  uint64_t files_ = 0;
  uint64_t bytes_ = 0;
  uint64_t unchecked_ = 0;
};

}  // namespace pack
