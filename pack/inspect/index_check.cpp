#include "pack/inspect/index_check.h"

#include <fstream>

#include "pack/archive/entry_index.h"
#include "pack/cli/progress.h"
#include "pack/pack_error.h"
#include "pack/platform/file_reader.h"
#include "pack/scan/utf.h"

namespace pack {

std::vector<EntryHeader> read_launcher_index(const std::filesystem::path& path,
                                             const LauncherFacts& facts) {
  if (facts.index_length == 0) return {};
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> bytes = read_range(in, facts.index_offset, facts.index_length);
  if (bytes.size() != facts.index_length) throw PackError("its entry index is cut short");
  return read_entry_index(bytes.data(), bytes.size());
}

void IndexMatchingVisitor::begin(const EntryHeader& entry) {
  if (!index_.empty()) match(entry);
  CheckingVisitor::begin(entry);
}

void IndexMatchingVisitor::match(const EntryHeader& entry) {
  if (next_ == index_.size()) {
    throw PackError("its entry index ends before the payload's entries do");
  }
  const EntryHeader& listed = index_[next_++];
  if (listed.name != entry.name || listed.size != entry.size || listed.checksum != entry.checksum) {
    throw PackError("its entry index names entry " + std::to_string(next_) + " '" +
                    utf16_to_utf8(listed.name) + "' (" + counted(listed.size, "byte") +
                    ") otherwise than the payload");
  }
}

void IndexMatchingVisitor::finish() const {
  if (next_ != index_.size()) {
    throw PackError("its entry index lists " + std::to_string(index_.size()) +
                    " entries, the payload " + std::to_string(next_));
  }
}

}  // namespace pack
