#include "pack/inspect/inspect_commands.h"

#include <cstdio>
#include <fstream>

#include "pack/archive/payload_reader.h"
#include "pack/archive/prune_rule.h"
#include "pack/archive/reuse_rule.h"
#include "pack/cli/progress.h"
#include "pack/image/pe_subsystem.h"
#include "pack/inspect/checking_visitor.h"
#include "pack/inspect/entry_extractor.h"
#include "pack/inspect/extract_target.h"
#include "pack/inspect/image_check.h"
#include "pack/inspect/index_check.h"
#include "pack/inspect/launcher_file.h"
#include "pack/pack_error.h"
#include "pack/platform/interrupt_cleanup.h"
#include "pack/scan/utf.h"
#include "support/constants_record.h"

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

// The launcher's file, at the first byte of its payload.
std::ifstream open_payload(const std::string& launcher, const LauncherFacts& facts) {
  std::ifstream in(fs::u8path(launcher), std::ios::binary);
  if (!in) throw PackError(launcher + ": cannot read the file");
  in.seekg(static_cast<std::streamoff>(facts.payload_offset));
  return in;
}

FrameFacts decode(const std::string& launcher, const LauncherFacts& facts,
                  CheckingVisitor& visitor) {
  std::ifstream in = open_payload(launcher, facts);
  try {
    return read_payload(in, facts.payload_length, visitor);
  } catch (const PackError& fault) {
    throw PackError(launcher + ": " + visitor.where(fault) + fault.what());
  }
}

// How a later start keeps files, as list and info show it.
std::string reuse_text(const LauncherFacts& facts) {
  return reuse_description(facts.reuse_rule, facts.stamp);
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
  LauncherFacts facts = read_launcher(fs::u8path(launcher));
  std::printf("reuse: %s\n", reuse_text(facts).c_str());
  ListingVisitor visitor;
  decode(launcher, facts, visitor);
}

// The image first, which is quick and names a fault precisely; then the payload; then
// the checksum, which catches any other changed byte but cannot say which.
void run_verify(const std::string& launcher) {
  fs::path path = fs::u8path(launcher);
  LauncherFacts facts = read_launcher(path);
  ImageFacts image;
  std::vector<EntryHeader> index;
  try {
    image = check_launcher_image(path, facts);
    index = read_launcher_index(path, facts);
  } catch (const PackError& fault) {
    throw PackError(launcher + ": " + fault.what());
  }
  bool has_index = !index.empty();
  IndexMatchingVisitor visitor(std::move(index));
  FrameFacts frame = decode(launcher, facts, visitor);
  try {
    visitor.finish();
    check_entry_count(facts, visitor.files());
    check_image_sums(path, facts, image);
  } catch (const PackError& fault) {
    throw PackError(launcher + ": " + fault.what());
  }
  std::string unchecked;
  if (visitor.unchecked() > 0) {
    unchecked = " (" + counted(visitor.unchecked(), "file") + " stored without one)";
  }
  std::printf(
      "%s: OK, %s, %s, every CRC-32%s intact%s; headers, sections, resources%s and PE "
      "checksum as packed\n",
      launcher.c_str(), counted(visitor.files(), "file").c_str(),
      human_bytes(visitor.bytes()).c_str(), frame.has_checksum ? " and the frame's checksum" : "",
      unchecked.c_str(), has_index ? ", entry index" : "");
  if (!image.digests) {
    std::printf(
        "%s: made by an older kovran-onefile, with no SHA-256 digest of its image: a change "
        "that keeps its PE checksum would pass\n",
        launcher.c_str());
  }
  if (image.is_signed) {
    std::printf(
        "%s: signed after packing (a certificate table of %s), which this check leaves "
        "to a signing tool\n",
        launcher.c_str(), human_bytes(image.certificate_bytes).c_str());
  }
}

void run_extract(const std::string& launcher, const std::string& folder) {
  try {
    LauncherFacts facts = read_launcher(fs::u8path(launcher));
    std::ifstream in = open_payload(launcher, facts);
    ExtractTarget target(folder);
    defer_interrupts();
    EntryExtractor extractor(target.staging());
    try {
      read_payload(in, facts.payload_length, extractor);
    } catch (const PackError& fault) {
      throw PackError(launcher + ": " + extractor.where(fault) + fault.what() +
                      "; nothing was extracted");
    }
    target.commit();
    std::printf("extracted %s, %s, into %s\n", counted(extractor.files(), "file").c_str(),
                human_bytes(extractor.bytes()).c_str(), folder.c_str());
  } catch (...) {
    // The staging folder is gone by now.
    end_if_interrupted();
    throw;
  }
}

// What the record and headers tell comes first, so that a payload that fails to decode
// still leaves them shown.
void run_info(const std::string& launcher) {
  LauncherFacts facts = read_launcher(fs::u8path(launcher));
  std::printf("target directory: %s\n", utf16_to_utf8(facts.spec).c_str());
  std::printf("app version:      %s\n", utf16_to_utf8(facts.version).c_str());
  std::printf("subsystem:        %s (%u)\n", subsystem_name(facts.headers.subsystem).c_str(),
              static_cast<unsigned>(facts.headers.subsystem));
  std::printf("file:             %s\n", human_bytes(facts.headers.file_size).c_str());
  std::fflush(stdout);
  CheckingVisitor visitor;
  FrameFacts frame = decode(launcher, facts, visitor);
  std::printf("payload:          %s compressed, %s in %s\n",
              human_bytes(facts.payload_length).c_str(), human_bytes(visitor.bytes()).c_str(),
              counted(visitor.files(), "file").c_str());
  std::printf("compression:      zstd, level not recorded in the frame; window %s, %s\n",
              window_text(frame.window_size).c_str(),
              frame.has_checksum ? "content checksum" : "no content checksum");
  std::string index =
      facts.reuse_rule != reuse_by_stamp ? ""
      : facts.index_length > 0
          ? "; an entry index, so a start that finds every file current decodes nothing"
          : "; no entry index, so every start decodes";
  std::printf("reuse:            %s%s\n", reuse_text(facts).c_str(), index.c_str());
  std::printf("removes:          %s\n", prune_description(facts.prune_after_days).c_str());
  std::printf("unpack progress:  %s\n",
              facts.options & option_unpack_progress
                  ? "shown after a second of writing (window, or console line)"
                  : "not shown");
}

}  // namespace pack
