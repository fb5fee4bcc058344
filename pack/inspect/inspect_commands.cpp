#include "pack/inspect/inspect_commands.h"

#include <cstdio>
#include <fstream>

#include "pack/archive/payload_reader.h"
#include "pack/cli/progress.h"
#include "pack/inspect/checking_visitor.h"
#include "pack/inspect/entry_extractor.h"
#include "pack/inspect/launcher_file.h"
#include "pack/pack_error.h"
#include "pack/scan/utf.h"

namespace pack {
namespace {

namespace fs = std::filesystem;

class ListingVisitor : public CheckingVisitor {
 public:
  void begin(const EntryHeader& entry) override {
    CheckingVisitor::begin(entry);
    std::printf("%08x %14llu  %s\n", entry.checksum, static_cast<unsigned long long>(entry.size),
                utf16_to_utf8(entry.name).c_str());
  }
};

struct OpenPayload {
  LauncherFacts facts;
  std::ifstream in;
};

void open_payload(const std::string& launcher, OpenPayload& open) {
  open.facts = read_launcher(fs::u8path(launcher));
  open.in.open(fs::u8path(launcher), std::ios::binary);
  if (!open.in) throw PackError(launcher + ": cannot read the file");
  open.in.seekg(static_cast<std::streamoff>(open.facts.payload_offset));
}

FrameFacts decode(const std::string& launcher, CheckingVisitor& visitor) {
  OpenPayload open;
  open_payload(launcher, open);
  try {
    return read_payload(open.in, open.facts.payload_length, visitor);
  } catch (const PackError& fault) {
    throw PackError(launcher + ": " + visitor.where() + fault.what());
  }
}

std::string window_text(uint64_t window) {
  int log = 0;
  while ((uint64_t{1} << log) < window) ++log;
  if ((uint64_t{1} << log) == window)
    return "2^" + std::to_string(log) + " (" + human_bytes(window) + ")";
  return human_bytes(window);
}

}  // namespace

void run_list(const std::string& launcher) {
  ListingVisitor visitor;
  decode(launcher, visitor);
}

void run_verify(const std::string& launcher) {
  CheckingVisitor visitor;
  FrameFacts frame = decode(launcher, visitor);
  std::string unchecked;
  if (visitor.unchecked() > 0) {
    unchecked = "; " + std::to_string(visitor.unchecked()) + " of them stored without a CRC-32";
  }
  std::printf("%s: OK, %llu files, %s, every CRC-32%s intact%s\n", launcher.c_str(),
              static_cast<unsigned long long>(visitor.files()),
              human_bytes(visitor.bytes()).c_str(),
              frame.has_checksum ? " and the frame's checksum" : "", unchecked.c_str());
}

void run_extract(const std::string& launcher, const std::string& folder) {
  OpenPayload open;
  open_payload(launcher, open);
  EntryExtractor extractor(fs::u8path(folder));
  try {
    read_payload(open.in, open.facts.payload_length, extractor);
  } catch (const PackError& fault) {
    throw PackError(launcher + ": " + extractor.where() + fault.what());
  }
  std::printf("extracted %llu files, %s, into %s\n",
              static_cast<unsigned long long>(extractor.files()),
              human_bytes(extractor.bytes()).c_str(), folder.c_str());
}

void run_info(const std::string& launcher) {
  CheckingVisitor visitor;
  FrameFacts frame = decode(launcher, visitor);
  OpenPayload open;
  open_payload(launcher, open);
  const LauncherFacts& facts = open.facts;
  std::printf("target directory: %s\n", utf16_to_utf8(facts.spec).c_str());
  std::printf("app version:      %s\n", utf16_to_utf8(facts.version).c_str());
  std::printf("file:             %s\n", human_bytes(facts.file_size).c_str());
  std::printf("payload:          %s compressed, %s in %llu files\n",
              human_bytes(facts.payload_length).c_str(), human_bytes(visitor.bytes()).c_str(),
              static_cast<unsigned long long>(visitor.files()));
  std::printf("compression:      zstd, level not recorded in the frame; window %s, %s\n",
              window_text(frame.window_size).c_str(),
              frame.has_checksum ? "content checksum" : "no content checksum");
}

}  // namespace pack
