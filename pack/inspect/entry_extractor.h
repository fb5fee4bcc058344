#pragma once
#include <filesystem>
#include <fstream>

#include "pack/inspect/checking_visitor.h"

namespace pack {

// Writes each entry below one folder, never outside it: names are checked by the rules
// of a scanned folder, existing files are not replaced, and a file is only given its
// name once its CRC-32 is right.
class EntryExtractor : public CheckingVisitor {
 public:
  explicit EntryExtractor(const std::filesystem::path& folder);
  ~EntryExtractor() override;
  void begin(const EntryHeader& entry) override;
  void data(const unsigned char* bytes, size_t size) override;
  void end() override;

 private:
  std::filesystem::path folder_;
  std::filesystem::path target_;
  std::filesystem::path part_;
  std::ofstream out_;
};

}  // namespace pack
