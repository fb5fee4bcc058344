#include "pack/cli/block_check.h"

#include <fstream>

#include "pack/inspect/checking_visitor.h"
#include "pack/pack_error.h"
#include "pack/scan/entry_name_check.h"
#include "pack/scan/utf.h"

namespace pack {
namespace {

class NameCheckingVisitor : public CheckingVisitor {
 public:
  void begin(const EntryHeader& entry) override {
    std::string problem = entry_name_problem(entry.name);
    if (!problem.empty()) {
      throw PackError("entry '" + utf16_to_utf8(entry.name) + "': " + problem);
    }
    if (first_.empty()) first_ = entry.name;
    CheckingVisitor::begin(entry);
  }
  const std::u16string& first() const { return first_; }

 private:
  std::u16string first_;
};

}  // namespace

std::u16string checked_block_main(const std::filesystem::path& block, uint64_t size) {
  std::ifstream in(block, std::ios::binary);
  if (!in) throw PackError(block.u8string() + ": cannot read the payload block");
  NameCheckingVisitor visitor;
  try {
    read_payload(in, size, visitor);
  } catch (const PackError& fault) {
    throw PackError(block.u8string() + ": " + visitor.where() + fault.what());
  }
  return visitor.first();
}

}  // namespace pack
