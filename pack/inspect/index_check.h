#pragma once
#include <cstdint>
#include <filesystem>
#include <vector>

#include "pack/archive/payload_reader.h"
#include "pack/inspect/checking_visitor.h"
#include "pack/inspect/launcher_file.h"

namespace pack {

// The entries of a launcher's entry index; none when it has no index. Throws PackError
// when the index is not as the pack tool writes it.
std::vector<EntryHeader> read_launcher_index(const std::filesystem::path& path,
                                             const LauncherFacts& facts);

// Checks, while the payload is decoded, that the index names the same entries in the same
// order with the same sizes and checksums: a start trusts it in place of the payload.
class IndexMatchingVisitor : public CheckingVisitor {
 public:
  // An empty index: a launcher without one, nothing to match.
  explicit IndexMatchingVisitor(std::vector<EntryHeader> index) : index_(std::move(index)) {}
  void begin(const EntryHeader& entry) override;
  // After the payload's last entry.
  void finish() const;

 private:
  void match(const EntryHeader& entry);

  std::vector<EntryHeader> index_;
  size_t next_ = 0;
};

}  // namespace pack
