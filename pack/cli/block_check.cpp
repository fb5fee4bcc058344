#include "pack/cli/block_check.h"

#include <algorithm>
#include <fstream>
#include <vector>

#include "pack/cli/progress.h"
#include "pack/image/pe_probe.h"
#include "pack/inspect/checking_visitor.h"
#include "pack/pack_error.h"
#include "pack/scan/entry_name_check.h"
#include "pack/scan/utf.h"

namespace pack {
namespace {

class NameCheckingVisitor : public CheckingVisitor {
 public:
  NameCheckingVisitor(bool keep_entries, bool show_status)
      : keep_entries_(keep_entries), status_(show_status) {}

  void begin(const EntryHeader& entry) override {
    status_.show("checking the payload block: " + std::to_string(files()) + " files, " +
                 human_bytes(bytes()));
    std::string problem = entry_name_problem(entry.name);
    if (!problem.empty()) {
      throw PackError("entry '" + utf16_to_utf8(entry.name) + "': " + problem);
    }
    in_first_ = first_.empty();
    if (in_first_) first_ = entry.name;
    if (keep_entries_) entries_.push_back(entry);
    CheckingVisitor::begin(entry);
  }
  void data(const unsigned char* bytes, size_t size) override {
    CheckingVisitor::data(bytes, size);
    if (!in_first_) return;
    resources_.add(bytes, size);
    size_t take = std::min(size, program_probe_bytes - std::min(program_probe_bytes, head_.size()));
    head_.insert(head_.end(), bytes, bytes + take);
  }
  // The first entry is the program the launcher starts.
  void end() override {
    CheckingVisitor::end();
    if (!in_first_) return;
    in_first_ = false;
    ProgramKind kind = probe_program(head_.data(), head_.size());
    if (!kind.problem.empty()) {
      throw PackError("entry '" + utf16_to_utf8(first_) + "', the main executable, is " +
                      kind.problem);
    }
    main_kind_ = kind;
    identity_ = resources_.finish();
  }
  BlockMain main() { return {first_, main_kind_, std::move(identity_), std::move(entries_)}; }

 private:
  std::u16string first_;
  std::optional<ProgramKind> main_kind_;
  bool in_first_ = false;
  std::vector<unsigned char> head_;
  ResourceCapture resources_;
  ProgramIdentity identity_;
  bool keep_entries_;
  std::vector<EntryHeader> entries_;
  StatusLine status_;
};

}  // namespace

BlockMain checked_block_main(const std::filesystem::path& block, uint64_t size, bool keep_entries,
                             bool show_status) {
  std::ifstream in(block, std::ios::binary);
  if (!in) throw PackError(block.u8string() + ": cannot read the payload block");
  NameCheckingVisitor visitor(keep_entries, show_status);
  try {
    read_payload(in, size, visitor);
  } catch (const PackError& fault) {
    throw PackError(block.u8string() + ": " + visitor.where(fault) + fault.what());
  }
  return visitor.main();
}

}  // namespace pack
