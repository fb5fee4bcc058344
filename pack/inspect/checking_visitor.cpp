#include "pack/inspect/checking_visitor.h"

#include <zlib.h>

#include <cstdio>

#include "pack/pack_error.h"
#include "pack/scan/entry_name_check.h"
#include "pack/scan/utf.h"
#include "payload/stored_checksum.h"

namespace pack {

void CheckingVisitor::begin(const EntryHeader& entry) {
  current_ = entry;
  crc_ = 0;
  inside_ = true;
  // An archive that the launcher refuses is not listed, verified or extracted as good.
  std::string problem = entry_name_problem(entry.name);
  if (!problem.empty()) throw PackError("unsafe entry name: " + problem);
}

void CheckingVisitor::data(const unsigned char* bytes, size_t size) {
  crc_ = static_cast<uint32_t>(crc32_z(crc_, bytes, size));
}

void CheckingVisitor::end() {
  // The launcher's own rule, so that what passes here passes there.
  if (!stored_checksum_admits(current_.checksum, crc_)) {
    char text[96];
    std::snprintf(text, sizeof text, "data has CRC-32 %08x, the archive records %08x", crc_,
                  current_.checksum);
    throw PackError(text);
  }
  if (current_.checksum == 0 && crc_ != 0) ++unchecked_;
  inside_ = false;
  ++files_;
  bytes_ += current_.size;
}

std::string CheckingVisitor::where(const PackError& fault) const {
  if (dynamic_cast<const FrameFault*>(&fault) != nullptr) return "";
  return inside_ ? utf16_to_utf8(current_.name) + ": " : std::string();
}

}  // namespace pack
