#pragma once
#include <filesystem>
#include <fstream>

#include "pack/inspect/checking_visitor.h"

namespace pack {

// Writes each entry below one fresh folder, never outside it: names are checked by
// the rules of a scanned folder, a name given twice is refused, and every CRC-32 is
// checked. A failure leaves what was written for the folder's owner to remove.
class EntryExtractor : public CheckingVisitor {
 public:
  explicit EntryExtractor(const std::filesystem::path& folder);
  void begin(const EntryHeader& entry) override;
  void data(const unsigned char* bytes, size_t size) override;
  void end() override;

 private:
  [[noreturn]] void fail_to_write() const;

  std::filesystem::path folder_;
  std::filesystem::path resolved_;  // with its links resolved, to check where files land
  std::filesystem::path target_;
  std::ofstream out_;
};

}  // namespace pack
